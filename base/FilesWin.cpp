#include "base/Files.h"

#include "base/WidePathWin.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

// The rules of Files.h on Windows. Narrow paths are UTF-8 (WidePathWin.h) and reach the system as UTF-16, through
// its W functions only. The read-only attribute is the write protection. A symbolic link is followed to the file it
// leads to; one that leads nowhere is left as it is, and the save fails (under Wine such a link of the Unix file system
// below looks like no file at all, and the save puts a file in its place).

namespace {

constexpr DWORD kChunkBytes = 65536;
constexpr std::size_t kWriteChunkBytes = std::size_t{1} << 30;
constexpr int kTemporaryAttempts = 32;
constexpr DWORD kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// A left-behind temporary file younger than this may belong to a save that has just closed it and is about to move
// it into place: it stays for a later save to remove.
constexpr std::uint64_t kStaleAfter100ns = 60ull * 10'000'000ull; // one minute in FILETIME units

struct CHandleCloser {
    void operator()(HANDLE hHandle) const {
        if (hHandle != nullptr && hHandle != INVALID_HANDLE_VALUE)
            CloseHandle(hHandle);
    }
};
using CHandle = std::unique_ptr<void, CHandleCloser>;

CHandle MakeHandle(HANDLE hHandle) {
    return CHandle(hHandle == INVALID_HANDLE_VALUE ? nullptr : hHandle);
}

wchar_t Upper(wchar_t ch) {
    return ch >= L'a' && ch <= L'z' ? static_cast<wchar_t>(ch - L'a' + L'A') : ch;
}

bool IsSeparator(wchar_t ch) {
    return ch == L'\\' || ch == L'/';
}

// Whether the path names a device rather than a file: the device namespace ("\\.\COM7", "\\?\pipe\..." but not
// "\\?\C:\..."), or a last part that the system takes for a device in any directory (CON, NUL, COM1, LPT1, also
// with an extension or trailing blanks: "nul.txt", "COM7 "). Opening a device can act on it (a serial line raises
// its control lines) or wait for ever (a pipe, the console): such a path is never opened.
bool IsDevicePath(const std::wstring& path) {
    if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == L'.' || path[2] == L'?') &&
        IsSeparator(path[3])) {
        const bool bDrive = path.size() >= 6 && path[5] == L':' && Upper(path[4]) >= L'A' && Upper(path[4]) <= L'Z';
        if (!bDrive)
            return true;
    }
    const std::size_t nStart = path.find_last_of(L"\\/:");
    std::wstring name = path.substr(nStart == std::wstring::npos ? 0 : nStart + 1);
    name = name.substr(0, name.find(L'.'));
    while (!name.empty() && name.back() == L' ')
        name.pop_back();
    std::transform(name.begin(), name.end(), name.begin(), Upper);
    if (name == L"CON" || name == L"PRN" || name == L"AUX" || name == L"NUL" || name == L"CONIN$" || name == L"CONOUT$")
        return true;
    // COM0 to COM9 and LPT0 to LPT9, and with the superscript digits 1, 2 and 3.
    if (name.size() == 4 && (name.starts_with(L"COM") || name.starts_with(L"LPT"))) {
        const wchar_t digit = name[3];
        return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
    }
    return false;
}

std::wstring DirectoryOf(const std::wstring& path) {
    const std::size_t nSeparator = path.find_last_of(L"\\/");
    if (nSeparator == std::wstring::npos)
        return path.size() >= 2 && path[1] == L':' ? path.substr(0, 2) : L".";
    return path.substr(0, nSeparator + 1); // with its separator, so that "C:\" stays the root
}

std::wstring NameOf(const std::wstring& path) {
    const std::size_t nSeparator = path.find_last_of(L"\\/:");
    return nSeparator == std::wstring::npos ? path : path.substr(nSeparator + 1);
}

std::wstring Join(const std::wstring& directory, const std::wstring& name) {
    if (directory.empty() || IsSeparator(directory.back()) || directory.back() == L':')
        return directory + name;
    return directory + L"\\" + name;
}

std::uint64_t Ticks(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool WriteAll(HANDLE hFile, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD nWant = static_cast<DWORD>(std::min(bytes.size(), kWriteChunkBytes));
        DWORD nWritten = 0;
        if (!WriteFile(hFile, bytes.data(), nWant, &nWritten, nullptr) || nWritten == 0)
            return false;
        bytes.remove_prefix(nWritten);
    }
    return true;
}

// A temporary file beside the one it replaces, removed unless it was moved into place. While it is open nobody else
// may open or delete it, so that the clean-up of another save leaves it alone.
class CTemporaryFile {
public:
    CTemporaryFile(std::wstring path, CHandle file) : m_path(std::move(path)), m_file(std::move(file)) {}
    ~CTemporaryFile() {
        m_file.reset();
        if (!m_path.empty())
            DeleteFileW(m_path.c_str());
    }
    CTemporaryFile(const CTemporaryFile&) = delete;
    CTemporaryFile& operator=(const CTemporaryFile&) = delete;

    const std::wstring& Path() const { return m_path; }
    HANDLE Get() const { return m_file.get(); }
    // Flushes and closes the file; false when its bytes may not all be on the disk.
    bool Finish() {
        const bool bFlushed = FlushFileBuffers(m_file.get()) != FALSE;
        return CloseHandle(m_file.release()) != FALSE && bFlushed;
    }
    void Moved() { m_path.clear(); }

private:
    std::wstring m_path;
    CHandle m_file;
};

// A fresh temporary file in the directory (TemporaryFileName), or nothing with the system's error left for
// GetLastError.
std::unique_ptr<CTemporaryFile> CreateTemporaryFile(const std::wstring& directory, const std::wstring& name) {
    const std::string strName = NarrowPath(name).value_or(std::string());
    for (int nAttempt = 0; nAttempt < kTemporaryAttempts; ++nAttempt) {
        const std::optional<std::wstring> temporaryName =
            strName.empty() ? std::nullopt : WidePath(TemporaryFileName(strName));
        if (!temporaryName) {
            SetLastError(ERROR_INVALID_NAME);
            return nullptr;
        }
        std::wstring path = Join(directory, *temporaryName);
        CHandle file = MakeHandle(
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file)
            return std::make_unique<CTemporaryFile>(std::move(path), std::move(file));
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            return nullptr;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return nullptr;
}

// Removes the temporary files that earlier saves of this file left behind when they were killed. One that a running
// save holds open cannot be deleted, and one written in the last minute is left alone; no file of another form is
// ever touched.
void RemoveStaleTemporaryFiles(const std::wstring& directory, const std::wstring& name) {
    const std::optional<std::string> strName = NarrowPath(name);
    if (!strName)
        return;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    WIN32_FIND_DATAW found{};
    const HANDLE hFind = FindFirstFileW(Join(directory, L"." + name + L".*").c_str(), &found);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring foundName = found.cFileName;
        const bool bFile = (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
        const std::uint64_t nWritten = Ticks(found.ftLastWriteTime);
        const bool bStale = Ticks(now) >= nWritten && Ticks(now) - nWritten >= kStaleAfter100ns;
        if (bFile && bStale && IsTemporaryFileName(*strName, NarrowPath(foundName).value_or(std::string())))
            DeleteFileW(Join(directory, foundName).c_str());
    } while (FindNextFileW(hFind, &found));
    FindClose(hFind);
}

// Where an existing file really is, past every symbolic link: the replacement goes there, and a link stays a link.
// Nothing when the system cannot tell, as for a link that leads nowhere.
std::optional<std::wstring> FinalPath(const std::wstring& path) {
    const CHandle file = MakeHandle(
        CreateFileW(path.c_str(), 0, kAnyShare, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file)
        return std::nullopt;
    std::wstring final(MAX_PATH, L'\0');
    DWORD nLength = GetFinalPathNameByHandleW(file.get(), final.data(), static_cast<DWORD>(final.size()), 0);
    if (nLength >= final.size()) {
        final.resize(nLength);
        nLength = GetFinalPathNameByHandleW(file.get(), final.data(), static_cast<DWORD>(final.size()), 0);
    }
    if (nLength == 0 || nLength >= final.size())
        return std::nullopt;
    final.resize(nLength);
    return final;
}

// Write protection: a regular file on a disk, without the read-only attribute, that this user may open for writing
// (which changes nothing in it). A file that another program holds open against writers is not written either.
bool MayWrite(const std::wstring& path, DWORD nAttributes) {
    if ((nAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DEVICE)) != 0)
        return false;
    const CHandle file =
        MakeHandle(CreateFileW(path.c_str(), GENERIC_WRITE, kAnyShare, nullptr, OPEN_EXISTING, 0, nullptr));
    return file && GetFileType(file.get()) == FILE_TYPE_DISK;
}

// Writes the new bytes over the old ones and cuts the file to their length: the file keeps its name, attributes and
// permissions, but a crash during the write can leave it torn.
bool WriteInPlace(const std::wstring& path, std::string_view bytes) {
    const CHandle file =
        MakeHandle(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file || GetFileType(file.get()) != FILE_TYPE_DISK)
        return false;
    return WriteAll(file.get(), bytes) && SetEndOfFile(file.get()) && FlushFileBuffers(file.get());
}

// The bytes of a regular file: all of them, or with bWholeOnly false its first nLimit. Nothing for a file over the
// limit when bWholeOnly is set.
std::optional<std::string> ReadRegularFile(const std::string& strPath, bool bWholeOnly,
                                           std::size_t nLimit = kReadLimitBytes) {
    const std::optional<std::wstring> path = WidePath(strPath);
    if (!path || IsDevicePath(*path))
        return std::nullopt;
    const DWORD nAttributes = GetFileAttributesW(path->c_str());
    if (nAttributes == INVALID_FILE_ATTRIBUTES || (nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return std::nullopt;
    // Shared for every use, so that a save of the same file meanwhile is not refused.
    const CHandle file = MakeHandle(CreateFileW(path->c_str(), GENERIC_READ, kAnyShare, nullptr, OPEN_EXISTING,
                                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    // The open file decides: a file on a disk, not a directory.
    BY_HANDLE_FILE_INFORMATION information{};
    if (!file || GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return std::nullopt;
    const std::uint64_t nSize =
        (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    if (bWholeOnly && nSize > nLimit)
        return std::nullopt;

    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(nSize, nLimit)));
    std::array<char, kChunkBytes> buffer{};
    for (;;) {
        const DWORD nWanted = static_cast<DWORD>(std::min<std::size_t>(kChunkBytes, nLimit + 1 - bytes.size()));
        DWORD nRead = 0;
        if (!ReadFile(file.get(), buffer.data(), nWanted, &nRead, nullptr))
            return std::nullopt; // an input/output error, or a part that another program has locked
        bytes.append(buffer.data(), nRead);
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
    const std::optional<std::wstring> path = WidePath(strPath);
    if (!path)
        return false;
    const DWORD nAttributes = GetFileAttributesW(path->c_str());
    if (nAttributes == INVALID_FILE_ATTRIBUTES)
        return false;
    // A link of Windows counts by what it leads to.
    return (nAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 || FinalPath(*path).has_value();
}

std::string FileNameOf(const std::string& strPath) {
    // In UTF-8 no byte of a letter beyond ASCII is a separator.
    const std::size_t nSeparator = strPath.find_last_of("\\/:");
    return nSeparator == std::string::npos ? strPath : strPath.substr(nSeparator + 1);
}

bool RemoveFile(const std::string& strPath) {
    const std::optional<std::wstring> path = WidePath(strPath);
    return path && !IsDevicePath(*path) && DeleteFileW(path->c_str()) != FALSE;
}

std::string TemporaryDirectory() {
    std::wstring directory(MAX_PATH + 1, L'\0');
    DWORD nLength = GetTempPathW(static_cast<DWORD>(directory.size()), directory.data());
    if (nLength > directory.size()) {
        directory.resize(nLength);
        nLength = GetTempPathW(static_cast<DWORD>(directory.size()), directory.data());
    }
    if (nLength == 0 || nLength > directory.size())
        return {};
    directory.resize(nLength);
    const DWORD nAttributes = GetFileAttributesW(directory.c_str());
    if (nAttributes == INVALID_FILE_ATTRIBUTES || (nAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return {};
    // Without its trailing separator, but for a drive's root ("C:\").
    while (directory.size() > 1 && IsSeparator(directory.back()) && directory[directory.size() - 2] != L':')
        directory.pop_back();
    return NarrowPath(directory).value_or(std::string());
}

std::filesystem::path FileSystemPath(const std::string& strPath) {
    return std::filesystem::path(WidePath(strPath).value_or(std::wstring()));
}

std::string NarrowPathOf(const std::filesystem::path& path) {
    return NarrowPath(path.native()).value_or(std::string());
}

void ResetFileAttributes(const std::string& strPath) {
    const std::optional<std::wstring> path = WidePath(strPath);
    if (!path || IsDevicePath(*path))
        return;
    const DWORD nAttributes = GetFileAttributesW(path->c_str());
    if (nAttributes == INVALID_FILE_ATTRIBUTES || (nAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return;
    SetFileAttributesW(path->c_str(), FILE_ATTRIBUTE_NORMAL);
}

bool WriteFileReplacing(const std::string& strPath, std::string_view bytes) {
    const std::optional<std::wstring> given = WidePath(strPath);
    if (!given || IsDevicePath(*given))
        return false;
    std::wstring path = *given;
    DWORD nAttributes = GetFileAttributesW(path.c_str());
    if (nAttributes == INVALID_FILE_ATTRIBUTES && GetLastError() != ERROR_FILE_NOT_FOUND)
        return false; // no such directory, or a path that cannot be looked at
    const bool bExists = nAttributes != INVALID_FILE_ATTRIBUTES;
    if (bExists) {
        // A link of Windows shows as a reparse point; one of the Unix file system under Wine does not, and is
        // followed all the same.
        const std::optional<std::wstring> final = FinalPath(path);
        if (!final && (nAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            return false;
        if (final) {
            path = *final;
            nAttributes = GetFileAttributesW(path.c_str());
            if (nAttributes == INVALID_FILE_ATTRIBUTES)
                return false;
        }
    }
    const std::wstring directory = DirectoryOf(path);
    const std::wstring name = NameOf(path);
    if (name.empty() || name == L"." || name == L"..")
        return false;
    if (bExists && !MayWrite(path, nAttributes))
        return false;

    std::unique_ptr<CTemporaryFile> temporary = CreateTemporaryFile(directory, name);
    if (!temporary) {
        // A directory the user may not write holds no temporary file, but a file in it may still be the user's to
        // write.
        return bExists && GetLastError() == ERROR_ACCESS_DENIED && WriteInPlace(path, bytes);
    }
    if (!WriteAll(temporary->Get(), bytes) || !temporary->Finish())
        return false;
    // The old file's hidden, system and archive attributes come along with the new bytes (ReplaceFileW carries them
    // over too, but Wine's does not).
    if (bExists)
        SetFileAttributesW(temporary->Path().c_str(), (nAttributes & kKeptAttributes) | FILE_ATTRIBUTE_NORMAL);

    bool bReplaced = false;
    if (bExists) {
        // The new file takes the old one's attributes, permissions and creation time.
        bReplaced =
            ReplaceFileW(path.c_str(), temporary->Path().c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr) != FALSE;
        // The old file is gone and the new one still has its temporary name: it only has to be moved.
        if (!bReplaced && GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT)
            bReplaced = MoveFileExW(temporary->Path().c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
    } else {
        bReplaced = MoveFileExW(temporary->Path().c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
    }
    if (!bReplaced)
        return false;
    temporary->Moved();
    RemoveStaleTemporaryFiles(directory, name);
    return true;
}
