#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Whole-file reading and writing shared by the settings, language, program and export files. Every call returns at
// once: nothing here waits for a writer, a reader or a device.
//
// Paths are the program's narrow paths: the bytes of the file system on POSIX systems, UTF-8 on Windows, where they
// reach the system as UTF-16 (base/WidePathWin.h) and never pass through the ANSI code page.

// The most bytes a file may hold to be read: far above any settings, language or program file, low enough that a
// file that is not one of ours (a log, a disk image) costs the window no time and little memory.
inline constexpr std::size_t kReadLimitBytes = std::size_t{1} << 20;

// The bytes of a regular file of at most kReadLimitBytes, or nothing. Nothing as well for a missing or unreadable
// file and for whatever is not a regular file (a FIFO, a device, a socket, a directory), which reads as no file and
// is not even opened when it can be told beforehand. A larger file reads as nothing, not as its first part: a
// settings file cut short would lose its later keys at the next write, while a file that exists but does not read
// is never replaced by the settings and INI writers.
std::optional<std::string> ReadFileBytes(const std::string& strPath);
// The same with a limit of the caller's, for the files from outside that may be larger (a start list).
std::optional<std::string> ReadFileBytesUpTo(const std::string& strPath, std::size_t nLimitBytes);

// The same rules for a reader that never writes the file back and needs only its beginning (the language files, of
// whose sections only the first 16000 characters count): a larger file gives its first kReadLimitBytes.
std::optional<std::string> ReadFileStart(const std::string& strPath);

// Replaces the file at strPath with the bytes: true when it holds them, false when it is as it was.
// - Write protection: an existing file is written only when it is a regular file that the effective user may write
//   and that has at least one write permission bit. A file without any write bit is protected even from the
//   superuser, who passes every other permission check, the way the read-only attribute protects a file on Windows.
// - A symbolic link stays a link and the file it leads to is replaced (links followed one by one, a relative one
//   from the link's directory); a link that leads nowhere creates the file it names.
// - The bytes go to a new temporary file beside the file (TemporaryFileName), which is flushed to disk, given the
//   file's owner, group and mode and renamed over it, and the directory is flushed: a crash or a full disk leaves the
//   old file or the new one, never a torn one, and any failure removes the temporary file.
// - The file is written over in place, and a crash during that write can tear it, in the two cases where a
//   replacement cannot be made: the directory may not be written (a file the user may write, in a directory the
//   user may not), and the temporary file cannot take the file's owner or group (a replacement would change them).
// - After a save, the temporary files of this file's earlier saves that a killed program left behind are removed:
//   a save keeps its temporary file locked while it runs, so one that is locked belongs to a running save and stays.
//   No other file is ever removed.
// On Windows (FilesWin.cpp) the same rules in its terms: the read-only attribute is the write protection, and a file
// the user may not open for writing is not written either; the replacement is made by ReplaceFileW, which gives the
// new file the old one's attributes and permissions, and a new file is moved in by MoveFileExW; a link that leads
// nowhere is left alone and the save fails; a temporary file that a running save holds open cannot be removed, and
// one written in the last minute is not.
bool WriteFileReplacing(const std::string& strPath, std::string_view bytes);

// Resets a file's attributes to normal, as each language file gets before it is read: on Windows read-only, hidden
// and system are cleared; on POSIX systems, which have no such attributes, the owner may then read and write it.
// Nothing happens to what is not a regular file, and a failure (no such file, not the owner) is ignored.
void ResetFileAttributes(const std::string& strPath);

// A fresh name for a temporary file of WriteFileReplacing beside the file named targetName: "." + targetName +
// ".kalvora-" + six random letters or digits.
std::string TemporaryFileName(std::string_view targetName);

// Whether name has the form of TemporaryFileName for targetName (and so may be one of ours).
bool IsTemporaryFileName(std::string_view targetName, std::string_view name);

// Whether something exists at the path (a link counts by what it leads to); false when that cannot be told.
bool PathExists(const std::string& strPath);
// The last part of a path, the file's own name: what follows the last separator, empty after a trailing one. On
// POSIX systems only "/" separates (a backslash is part of a name); on Windows "\\", "/" and a drive's ":" do.
std::string FileNameOf(const std::string& strPath);
// Removes the file (a link itself, not what it leads to): true when it is gone, false when it stays or was not there.
// Never a directory.
bool RemoveFile(const std::string& strPath);
// The system's directory for temporary files as a narrow path, without a trailing separator unless it is a root;
// empty when there is none or it cannot be named so.
std::string TemporaryDirectory();

// A narrow path as std::filesystem takes it, and back. The library's own narrow form is no such path on Windows
// (mingw-w64's reads a narrow path byte for character): the program's paths go to it only through these. An empty
// path for one that cannot be converted, on which every operation fails.
std::filesystem::path FileSystemPath(const std::string& strPath);
std::string NarrowPathOf(const std::filesystem::path& path);

// Splits text into lines the way the program files are read: a line ends at LF, a CR directly before the LF is
// dropped with it, any other CR stays in the line. A last line without LF still counts; an empty text has no lines.
std::vector<std::string> SplitTextLines(std::string_view text);
