#include "base/ExecutableDirectory.h"

#include "base/WidePathWin.h"

#include <windows.h>

namespace {

// Far beyond any path the system hands out (32767 characters with the long-path prefix).
constexpr DWORD kLongestPath = 65536;

// The part of a Windows path before its last separator; empty when it has none.
std::wstring DirectoryPart(const std::wstring& path) {
    const std::size_t nSeparator = path.find_last_of(L"\\/");
    return nSeparator == std::wstring::npos ? std::wstring() : path.substr(0, nSeparator);
}

std::wstring CurrentDirectory() {
    std::wstring directory(MAX_PATH, L'\0');
    DWORD nLength = GetCurrentDirectoryW(static_cast<DWORD>(directory.size()), directory.data());
    if (nLength > directory.size()) { // the size it needs, terminator included
        directory.resize(nLength);
        nLength = GetCurrentDirectoryW(nLength, directory.data());
    }
    directory.resize(nLength < directory.size() ? nLength : 0);
    return directory;
}

} // namespace

std::string RunningExecutableDirectory() {
    // The module's full path as the system names it, in UTF-8 (base/WidePathWin.h); a path that does not fit is
    // retried with a larger buffer.
    std::wstring directory;
    for (DWORD nSize = MAX_PATH; nSize <= kLongestPath && directory.empty(); nSize *= 2) {
        std::wstring path(nSize, L'\0');
        const DWORD nLength = GetModuleFileNameW(nullptr, path.data(), nSize);
        if (nLength == 0)
            break;
        if (nLength < nSize) {
            path.resize(nLength);
            directory = DirectoryPart(path);
            break;
        }
    }
    if (directory.empty())
        directory = CurrentDirectory();
    return NarrowPath(directory).value_or(std::string());
}
