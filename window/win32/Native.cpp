// The services window/common asks of the window system (window/common/Native.h) that belong to no class here.

#include "window/common/Native.h"

#include "window/win32/Win32Window.h"

std::string NativeExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD nLength = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (nLength == 0)
            return {};
        if (nLength < path.size()) {
            path.resize(nLength);
            break;
        }
        path.resize(path.size() * 2); // cut short: a longer path than MAX_PATH
    }
    // UTF-8, so that the program's name shows every letter of the file name (a shown text, window/Text.h).
    return Utf8Of(path);
}
