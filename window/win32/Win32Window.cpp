#include "window/win32/Win32Window.h"

#include <algorithm>

namespace {

// Windows 10's per-monitor resolution, found at run time so that the program still starts on Windows 7.
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetDpiForSystemFunction = UINT(WINAPI*)();

int ScreenDpi() {
    const HDC hScreen = GetDC(nullptr);
    const int nDpi = hScreen ? GetDeviceCaps(hScreen, LOGPIXELSY) : kDefaultDpi;
    if (hScreen)
        ReleaseDC(nullptr, hScreen);
    return nDpi > 0 ? nDpi : kDefaultDpi;
}

} // namespace

std::vector<HWND> ChildWindows(HWND hParent) {
    std::vector<HWND> children;
    for (HWND hChild = GetWindow(hParent, GW_CHILD); hChild; hChild = GetWindow(hChild, GW_HWNDNEXT))
        children.push_back(hChild);
    return children;
}

HWND RootWindowOf(const CWnd* pWnd) {
    const HWND hWnd = pWnd && pWnd->GetImpl() ? pWnd->GetImpl()->hWnd : nullptr;
    return hWnd ? GetAncestor(hWnd, GA_ROOT) : nullptr;
}

bool ShowsOwnText(EControlKind kind) {
    switch (kind) {
    case EControlKind::PushButton:
    case EControlKind::CheckBox:
    case EControlKind::GroupBox:
    case EControlKind::Label:
    case EControlKind::Edit:
    case EControlKind::DropDown:
        return true;
    default:
        return false;
    }
}

std::wstring WindowTextOf(HWND hWnd) {
    const int nLength = GetWindowTextLengthW(hWnd);
    if (nLength <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(nLength) + 1, L'\0');
    const int nCopied = GetWindowTextW(hWnd, text.data(), nLength + 1);
    text.resize(static_cast<std::size_t>(std::max(nCopied, 0)));
    return text;
}

std::string Utf8Of(std::wstring_view text) {
    if (text.empty())
        return {};
    const int nSize = static_cast<int>(text.size());
    const int nBytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), nSize, nullptr, 0, nullptr, nullptr);
    if (nBytes <= 0)
        return {};
    std::string bytes(static_cast<std::size_t>(nBytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), nSize, bytes.data(), nBytes, nullptr, nullptr);
    return bytes;
}

int DpiOf(HWND hWnd) {
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    if (hWnd && getDpiForWindow) {
        if (const UINT nDpi = getDpiForWindow(hWnd); nDpi > 0)
            return static_cast<int>(nDpi);
    }
    return ScreenDpi();
}

int SystemDpi() {
    static const auto getDpiForSystem = User32Function<GetDpiForSystemFunction>("GetDpiForSystem");
    if (getDpiForSystem) {
        if (const UINT nDpi = getDpiForSystem(); nDpi > 0)
            return static_cast<int>(nDpi);
    }
    return ScreenDpi();
}

UINT VirtualKeyOf(EKey key) {
    switch (key) {
    case EKey::Enter:
    case EKey::KeypadEnter:
        return VK_RETURN;
    case EKey::Escape:
        return VK_ESCAPE;
    case EKey::Tab:
    case EKey::BackTab:
        return VK_TAB;
    case EKey::Up:
        return VK_UP;
    case EKey::Down:
        return VK_DOWN;
    case EKey::Left:
        return VK_LEFT;
    case EKey::Right:
        return VK_RIGHT;
    case EKey::Space:
        return VK_SPACE;
    case EKey::F1:
        return VK_F1;
    case EKey::F2:
        return VK_F2;
    case EKey::None:
        break;
    }
    return 0;
}
