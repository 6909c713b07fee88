#include "base/AnsiCodePageWin.h"

#include <windows.h>

namespace {

constexpr std::size_t kLargestText = 0x7fffffff;

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
    if (text.empty() || text.size() > kLargestText)
        return {};
    const int nSize = static_cast<int>(text.size());
    const int nNarrow = WideCharToMultiByte(CP_ACP, 0, text.data(), nSize, nullptr, 0, nullptr, nullptr);
    if (nNarrow <= 0)
        return {};
    std::string narrow(static_cast<std::size_t>(nNarrow), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), nSize, narrow.data(), nNarrow, nullptr, nullptr);
    return narrow;
}
