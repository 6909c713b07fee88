#include "base/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace {

constexpr int kMaxLinkHops = 40;       // the system's own limit for a chain of symbolic links
constexpr int kTemporaryAttempts = 32; // fresh names to try before a save gives up
constexpr std::size_t kReadChunkBytes = 65536;
constexpr std::size_t kWriteChunkBytes = std::size_t{1} << 30;
constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr mode_t kNewFileMode = 0666; // narrowed by the umask, as for any file the program creates
constexpr mode_t kTemporaryMode = 0600;

// An open file descriptor, closed when it goes.
class CFileHandle {
public:
    explicit CFileHandle(int hFile = -1) : m_hFile(hFile) {}
    ~CFileHandle() { Close(); }
    CFileHandle(CFileHandle&& other) noexcept : m_hFile(std::exchange(other.m_hFile, -1)) {}
    CFileHandle& operator=(CFileHandle&& other) noexcept {
        if (this != &other) {
            Close();
            m_hFile = std::exchange(other.m_hFile, -1);
        }
        return *this;
    }
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;

    explicit operator bool() const { return m_hFile >= 0; }
    int Get() const { return m_hFile; }
    // Closes now and tells whether the close succeeded; a later close does nothing.
    bool Close() {
        if (m_hFile < 0)
            return true;
        return ::close(std::exchange(m_hFile, -1)) == 0;
    }

private:
    int m_hFile;
};

// A temporary file that is removed unless it was renamed into place.
class CTemporaryFile {
public:
    CTemporaryFile(std::string strPath, CFileHandle file) : m_strPath(std::move(strPath)), m_file(std::move(file)) {}
    ~CTemporaryFile() {
        if (!m_strPath.empty())
            ::unlink(m_strPath.c_str());
    }
    CTemporaryFile(const CTemporaryFile&) = delete;
    CTemporaryFile& operator=(const CTemporaryFile&) = delete;

    const std::string& Path() const { return m_strPath; }
    int Get() const { return m_file.Get(); }
    void Renamed() { m_strPath.clear(); }

private:
    std::string m_strPath;
    CFileHandle m_file; // closed after the name is removed: the lock is held until the name is gone
};

bool HasNul(const std::string& strPath) {
    return strPath.find('\0') != std::string::npos;
}

bool SameFile(const struct stat& first, const struct stat& second) {
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// The directory part of a path ("." for a bare name) and the name after the last "/".
std::string DirectoryOf(const std::string& strPath) {
    const std::size_t nSlash = strPath.rfind('/');
    if (nSlash == std::string::npos)
        return ".";
    return nSlash == 0 ? "/" : strPath.substr(0, nSlash);
}

std::string NameOf(const std::string& strPath) {
    const std::size_t nSlash = strPath.rfind('/');
    return nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
}

std::string JoinPath(const std::string& strDirectory, const std::string& strName) {
    return strDirectory == "/" ? "/" + strName : strDirectory + "/" + strName;
}

std::optional<std::string> ReadLink(const std::string& strPath) {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t nLength = ::readlink(strPath.c_str(), target.data(), target.size());
        if (nLength < 0)
            return std::nullopt;
        if (static_cast<std::size_t>(nLength) < target.size()) {
            target.resize(static_cast<std::size_t>(nLength));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// The file a save replaces: the path itself, or where its chain of symbolic links ends, which need not exist yet.
// Nothing for a loop of links or a path that cannot be looked at.
std::optional<std::string> FollowLinks(std::string strPath) {
    for (int nHop = 0; nHop <= kMaxLinkHops; ++nHop) {
        struct stat status {};
        if (::lstat(strPath.c_str(), &status) != 0)
            return errno == ENOENT ? std::optional<std::string>(strPath) : std::nullopt;
        if (!S_ISLNK(status.st_mode))
            return strPath;
        std::optional<std::string> target = ReadLink(strPath);
        if (!target || target->empty())
            return std::nullopt;
        strPath = target->front() == '/' ? *target : JoinPath(DirectoryOf(strPath), *target);
    }
    return std::nullopt;
}

bool WriteAll(int hFile, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t nWritten = ::write(hFile, bytes.data(), std::min(bytes.size(), kWriteChunkBytes));
        if (nWritten < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(nWritten));
    }
    return true;
}

void SyncDirectory(const std::string& strDirectory) {
    // The rename is done; a directory that cannot be flushed (some file systems refuse) leaves it to the system.
    const CFileHandle directory(::open(strDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory)
        ::fsync(directory.Get());
}

// Makes a fresh temporary file beside the target, opened for writing and locked for as long as it is open, so that
// another save's clean-up can tell it from one a killed program left behind. Nothing, with errno set, when the
// directory refuses it.
std::optional<CTemporaryFile> CreateTemporaryFile(const std::string& strDirectory, const std::string& strName,
                                                  mode_t nMode) {
    for (int nAttempt = 0; nAttempt < kTemporaryAttempts; ++nAttempt) {
        std::string strPath = JoinPath(strDirectory, TemporaryFileName(strName));
        CFileHandle file(::open(strPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, nMode));
        if (!file) {
            if (errno == EEXIST)
                continue;
            return std::nullopt;
        }
        // Between the create and the lock another save's clean-up may have taken the file for a stale one: then it
        // holds the lock or has removed the name, and this save starts again with a new name.
        struct stat opened {};
        struct stat named {};
        if (::flock(file.Get(), LOCK_EX | LOCK_NB) == 0 && ::fstat(file.Get(), &opened) == 0 &&
            ::lstat(strPath.c_str(), &named) == 0 && SameFile(opened, named))
            return std::optional<CTemporaryFile>(std::in_place, std::move(strPath), std::move(file));
    }
    errno = EEXIST;
    return std::nullopt;
}

// Removes the temporary files of earlier saves of strName that nobody holds any longer: a save that is still running
// holds the lock on its own, and files of other names or of other users are never touched.
void RemoveStaleTemporaryFiles(const std::string& strDirectory, const std::string& strName) {
    DIR* directory = ::opendir(strDirectory.c_str());
    if (!directory)
        return;
    while (const dirent* entry = ::readdir(directory)) {
        if (!IsTemporaryFileName(strName, entry->d_name))
            continue;
        const std::string strPath = JoinPath(strDirectory, entry->d_name);
        struct stat named {};
        if (::lstat(strPath.c_str(), &named) != 0 || !S_ISREG(named.st_mode))
            continue;
        const CFileHandle file(::open(strPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat opened {};
        if (!file || ::fstat(file.Get(), &opened) != 0 || !SameFile(opened, named) ||
            ::flock(file.Get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        ::unlink(strPath.c_str()); // under the lock, so no new save can be using this name
    }
    ::closedir(directory);
}

// May the effective user write this existing file? Its permission bits and the system's own check both have to
// agree, so that a file without any write bit stays protected from the superuser as well.
bool MayWrite(const std::string& strPath, const struct stat& status) {
    if (!S_ISREG(status.st_mode) || (status.st_mode & kAnyWriteBit) == 0)
        return false;
    return ::faccessat(AT_FDCWD, strPath.c_str(), W_OK, AT_EACCESS) == 0;
}

// Writes the new bytes over the old ones and cuts the file to their length: the file keeps its owner, group, mode
// and links, and it is never empty on the way, but a crash during the write can leave it torn.
bool WriteInPlace(const std::string& strPath, std::string_view bytes) {
    CFileHandle file(::open(strPath.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat status {};
    if (!file || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    const int nFlags = ::fcntl(file.Get(), F_GETFL);
    if (nFlags < 0 || ::fcntl(file.Get(), F_SETFL, nFlags & ~O_NONBLOCK) != 0)
        return false;
    if (!WriteAll(file.Get(), bytes) || ::ftruncate(file.Get(), static_cast<off_t>(bytes.size())) != 0 ||
        ::fsync(file.Get()) != 0)
        return false;
    return file.Close();
}

// Gives the temporary file the owner, group and mode of the file it replaces. False when owner or group cannot be
// carried over (not the superuser, and the file belongs to another user or to a group we are not in).
bool TakeOwnerAndMode(int hFile, const struct stat& old, bool& bOwnerKept) {
    struct stat status {};
    if (::fstat(hFile, &status) != 0)
        return false;
    bOwnerKept =
        (status.st_uid == old.st_uid && status.st_gid == old.st_gid) || ::fchown(hFile, old.st_uid, old.st_gid) == 0;
    if (!bOwnerKept)
        return false;
    return ::fchmod(hFile, old.st_mode & 07777) == 0; // after the owner, whose change clears set-user bits
}

// The bytes of a regular file: all of them, or with bWholeOnly false its first nLimit. Nothing for a file over the
// limit when bWholeOnly is set.
std::optional<std::string> ReadRegularFile(const std::string& strPath, bool bWholeOnly,
                                           std::size_t nLimit = kReadLimitBytes) {
    if (HasNul(strPath))
        return std::nullopt;
    // Opening a device can act on it (a serial line raises its control lines, a tape rewinds), and opening a FIFO
    // for blocking reads waits for a writer: what is no regular file by its name is not opened at all.
    struct stat status {};
    if (::stat(strPath.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    const CFileHandle file(::open(strPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    // The open file decides: the name may have been given to something else since it was looked at.
    if (!file || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0)
        return std::nullopt;
    if (bWholeOnly && static_cast<std::uintmax_t>(status.st_size) > nLimit)
        return std::nullopt;

    std::string bytes;
    bytes.reserve(std::min(static_cast<std::size_t>(status.st_size), nLimit));
    char buffer[kReadChunkBytes];
    for (;;) {
        const std::size_t nWanted = std::min(sizeof buffer, nLimit + 1 - bytes.size());
        const ssize_t nRead = ::read(file.Get(), buffer, nWanted);
        if (nRead < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt; // an I/O error, or a file that would make us wait
        }
        bytes.append(buffer, static_cast<std::size_t>(nRead));
        if (bytes.size() > nLimit) { // it grew past the limit while it was read
            if (bWholeOnly)
                return std::nullopt;
            bytes.resize(nLimit);
            return bytes;
        }
        if (nRead == 0)
            return bytes;
    }
}

} // namespace

std::optional<std::string> ReadFileBytes(const std::string& strPath) {
    return ReadRegularFile(strPath, true);
}

std::optional<std::string> ReadFileStart(const std::string& strPath) {
    return ReadRegularFile(strPath, false);
}

std::optional<std::string> ReadFileBytesUpTo(const std::string& strPath, std::size_t nLimitBytes) {
    return ReadRegularFile(strPath, true, nLimitBytes);
}

bool PathExists(const std::string& strPath) {
    struct stat status {};
    return !HasNul(strPath) && ::stat(strPath.c_str(), &status) == 0;
}

std::string FileNameOf(const std::string& strPath) {
    return NameOf(strPath);
}

bool RemoveFile(const std::string& strPath) {
    return !HasNul(strPath) && ::unlink(strPath.c_str()) == 0;
}

std::string TemporaryDirectory() {
    std::error_code error;
    std::string strDirectory = std::filesystem::temp_directory_path(error).string();
    if (error)
        return {};
    while (strDirectory.size() > 1 && strDirectory.back() == '/')
        strDirectory.pop_back();
    return strDirectory;
}

std::filesystem::path FileSystemPath(const std::string& strPath) {
    return std::filesystem::path(strPath);
}

std::string NarrowPathOf(const std::filesystem::path& path) {
    return path.native();
}

void ResetFileAttributes(const std::string& strPath) {
    constexpr mode_t kOwnerReadWrite = S_IRUSR | S_IWUSR;
    struct stat status {};
    if (HasNul(strPath) || ::stat(strPath.c_str(), &status) != 0 || !S_ISREG(status.st_mode) ||
        (status.st_mode & kOwnerReadWrite) == kOwnerReadWrite)
        return;
    ::chmod(strPath.c_str(), (status.st_mode & 07777) | kOwnerReadWrite);
}

bool WriteFileReplacing(const std::string& strPath, std::string_view bytes) {
    if (HasNul(strPath))
        return false;
    const std::optional<std::string> target = FollowLinks(strPath);
    if (!target)
        return false;
    const std::string strDirectory = DirectoryOf(*target);
    const std::string strName = NameOf(*target);
    if (strName.empty() || strName == "." || strName == "..")
        return false;

    struct stat old {};
    const bool bExists = ::lstat(target->c_str(), &old) == 0;
    if (!bExists && errno != ENOENT)
        return false;
    if (bExists && !MayWrite(*target, old))
        return false;

    std::optional<CTemporaryFile> temporary =
        CreateTemporaryFile(strDirectory, strName, bExists ? kTemporaryMode : kNewFileMode);
    if (!temporary) {
        // A directory the user may not write holds no temporary file, but a file in it may still be the user's to
        // write.
        if (bExists && (errno == EACCES || errno == EPERM))
            return WriteInPlace(*target, bytes);
        return false;
    }
    if (!WriteAll(temporary->Get(), bytes) || ::fsync(temporary->Get()) != 0)
        return false;
    if (bExists) {
        bool bOwnerKept = true;
        if (!TakeOwnerAndMode(temporary->Get(), old, bOwnerKept)) {
            if (bOwnerKept)
                return false;
            temporary.reset(); // the replacement would give the file to us: it is written where it is instead
            return WriteInPlace(*target, bytes);
        }
    }
    if (::rename(temporary->Path().c_str(), target->c_str()) != 0)
        return false;
    temporary->Renamed();
    temporary.reset();
    SyncDirectory(strDirectory);
    RemoveStaleTemporaryFiles(strDirectory, strName);
    return true;
}
