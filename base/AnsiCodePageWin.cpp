#include "base/AnsiCodePageWin.h"

#include <windows.h>

namespace {

constexpr std::size_t kLargestText = 0x7fffffff;

// The text in the ANSI code page, converted with the flags; nothing for an empty text or one the system cannot
// convert, and with WC_NO_BEST_FIT_CHARS for one with a character the code page lacks.
std::optional<std::string> Narrow(std::wstring_view text, DWORD nFlags) {
    if (text.empty() || text.size() > kLargestText)
        return std::nullopt;
    const int nSize = static_cast<int>(text.size());
    const bool bExact = (nFlags & WC_NO_BEST_FIT_CHARS) != 0;
    BOOL bLost = FALSE;
    const int nNarrow =
        WideCharToMultiByte(CP_ACP, nFlags, text.data(), nSize, nullptr, 0, nullptr, bExact ? &bLost : nullptr);
    if (nNarrow <= 0 || bLost)
        return std::nullopt;
    std::string narrow(static_cast<std::size_t>(nNarrow), '\0');
    WideCharToMultiByte(CP_ACP, nFlags, text.data(), nSize, narrow.data(), nNarrow, nullptr, nullptr);
    return narrow;
}

} // namespace

std::optional<std::wstring> WidenAnsi(std::string_view text) {
    if (text.empty() || text.find('\0') != std::string_view::npos || text.size() > kLargestText)
        return std::nullopt;
    const int nSize = static_cast<int>(text.size());
    const int nWide = MultiByteToWideChar(CP_ACP, 0, text.data(), nSize, nullptr, 0);
    if (nWide <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(nWide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), nSize, wide.data(), nWide);
    return wide;
}

std::string NarrowAnsi(std::wstring_view text) {
    return Narrow(text, 0).value_or(std::string());
}

std::optional<std::string> NarrowAnsiExact(std::wstring_view text) {
    return Narrow(text, WC_NO_BEST_FIT_CHARS);
}
