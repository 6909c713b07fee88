#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Whole-file reading and writing shared by the settings, language, program and export files. Every call returns at
// once: nothing here waits for a writer, a reader or a device.

// The most bytes a file may hold to be read: far above any settings, language or program file, low enough that a
// file that is not one of ours (a log, a disk image) costs the window no time and little memory.
inline constexpr std::size_t kReadLimitBytes = std::size_t{1} << 20;

// The bytes of a regular file of at most kReadLimitBytes, or nothing. Nothing as well for a missing or unreadable
// file and for whatever is not a regular file (a FIFO, a device, a socket, a directory), which reads as no file and
// is not even opened when it can be told beforehand. A larger file reads as nothing, not as its first part: a
// settings file cut short would lose its later keys at the next write, while a file that exists but does not read
// is never replaced by the settings and INI writers.
std::optional<std::string> ReadFileBytes(const std::string& strPath);

// The same rules for a reader that never writes the file back and needs only its beginning (the language files, of
// whose sections only the first 16000 characters count): a larger file gives its first kReadLimitBytes.
std::optional<std::string> ReadFileStart(const std::string& strPath);

// Writes the bytes to a temporary file beside strPath and renames it over strPath, so that a crash or a full
// disk leaves either the old file or the new one, never a torn one. False when any step fails; the old file is
// then untouched.
bool WriteFileReplacing(const std::string& strPath, std::string_view bytes);

// Splits text into lines the way the program files are read: a line ends at LF, a CR directly before the LF is
// dropped with it, any other CR stays in the line. A last line without LF still counts; an empty text has no lines.
std::vector<std::string> SplitTextLines(std::string_view text);
