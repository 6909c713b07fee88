#include "base/WidePathWin.h"

#include <windows.h>

namespace {

// The longest text the conversion functions take in one call.
constexpr std::size_t kLargestText = 0x7fffffff;

} // namespace

std::optional<std::wstring> WidePath(std::string_view path) {
    if (path.empty() || path.size() > kLargestText || path.find('\0') != std::string_view::npos)
        return std::nullopt;
    const int nSize = static_cast<int>(path.size());
    const int nWide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), nSize, nullptr, 0);
    if (nWide <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(nWide), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), nSize, wide.data(), nWide);
    return wide;
}

std::optional<std::string> NarrowPath(std::wstring_view path) {
    if (path.empty() || path.size() > kLargestText)
        return std::nullopt;
    const int nSize = static_cast<int>(path.size());
    const int nNarrow =
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path.data(), nSize, nullptr, 0, nullptr, nullptr);
    if (nNarrow <= 0)
        return std::nullopt;
    std::string narrow(static_cast<std::size_t>(nNarrow), '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path.data(), nSize, narrow.data(), nNarrow, nullptr, nullptr);
    return narrow;
}
