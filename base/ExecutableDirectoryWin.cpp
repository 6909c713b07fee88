#include "base/ExecutableDirectory.h"

#include <windows.h>

namespace {

// Far beyond any path the system hands out (32767 characters with the long-path prefix).
constexpr DWORD kLongestPath = 65536;

// The part of a Windows path before its last separator; empty when it has none.
std::string DirectoryPart(const std::string& strPath) {
    const std::size_t nSeparator = strPath.find_last_of("\\/");
    return nSeparator == std::string::npos ? std::string() : strPath.substr(0, nSeparator);
}

std::string CurrentDirectory() {
    std::string strDirectory(MAX_PATH, '\0');
    DWORD nLength = GetCurrentDirectoryA(static_cast<DWORD>(strDirectory.size()), strDirectory.data());
    if (nLength > strDirectory.size()) { // the size it needs, terminator included
        strDirectory.resize(nLength);
        nLength = GetCurrentDirectoryA(nLength, strDirectory.data());
    }
    strDirectory.resize(nLength < strDirectory.size() ? nLength : 0);
    return strDirectory;
}

} // namespace

std::string RunningExecutableDirectory() {
    // The module's full path in the ANSI code page, the form every narrow path of the program takes; a path that
    // does not fit is retried with a larger buffer.
    for (DWORD nSize = MAX_PATH; nSize <= kLongestPath; nSize *= 2) {
        std::string strPath(nSize, '\0');
        const DWORD nLength = GetModuleFileNameA(nullptr, strPath.data(), nSize);
        if (nLength == 0)
            break;
        if (nLength < nSize) {
            strPath.resize(nLength);
            if (std::string strDirectory = DirectoryPart(strPath); !strDirectory.empty())
                return strDirectory;
            break;
        }
    }
    return CurrentDirectory();
}
