#include "base/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::size_t kReadChunkBytes = 65536;

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

bool HasNul(const std::string& strPath) {
    return strPath.find('\0') != std::string::npos;
}

// The bytes of a regular file: all of them, or with bWholeOnly false its first kReadLimitBytes. Nothing for a file
// over the limit when bWholeOnly is set.
std::optional<std::string> ReadRegularFile(const std::string& strPath, bool bWholeOnly) {
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
    if (bWholeOnly && static_cast<std::uintmax_t>(status.st_size) > kReadLimitBytes)
        return std::nullopt;

    std::string bytes;
    bytes.reserve(std::min(static_cast<std::size_t>(status.st_size), kReadLimitBytes));
    char buffer[kReadChunkBytes];
    for (;;) {
        const std::size_t nWanted = std::min(sizeof buffer, kReadLimitBytes + 1 - bytes.size());
        const ssize_t nRead = ::read(file.Get(), buffer, nWanted);
        if (nRead < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt; // an I/O error, or a file that would make us wait
        }
        bytes.append(buffer, static_cast<std::size_t>(nRead));
        if (bytes.size() > kReadLimitBytes) { // it grew past the limit while it was read
            if (bWholeOnly)
                return std::nullopt;
            bytes.resize(kReadLimitBytes);
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

bool WriteFileReplacing(const std::string& strPath, std::string_view bytes) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path target(strPath);
    // A file that is a symbolic link stays one: the new content goes where the link points.
    if (fs::is_symlink(target, error)) {
        const fs::path resolved = fs::canonical(target, error);
        if (!error)
            target = resolved;
    }
    if (fs::is_directory(target, error))
        return false;
    const fs::file_status oldStatus = fs::status(target, error);
    const bool bExisted = !error && fs::exists(oldStatus);

    // A name of our own in the same directory, so that the rename never crosses a file system.
    std::random_device random;
    fs::path temporary = target;
    temporary += ".tmp" + std::to_string(random() % 1000000);
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file)
            return false;
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        file.flush();
        if (!file) {
            file.close();
            fs::remove(temporary, error);
            return false;
        }
    }
    if (bExisted) // keep the permissions the user gave the file
        fs::permissions(temporary, oldStatus.permissions(), error);
    fs::rename(temporary, target, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}
