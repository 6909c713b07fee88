#include "window/Text.h"

#include "base/Utf8.h"

#include <cstdint>
#include <optional>

namespace {

// The characters of valid UTF-8 as UTF-16; nothing when the bytes are not valid UTF-8.
std::optional<std::u16string> Utf16Of(std::string_view text) {
    std::u16string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto [c, nLength] = DecodeUtf8(text, i);
        if (c == kReplacementCharacter && nLength == 1)
            return std::nullopt;
        if (c >= 0x10000) {
            c -= 0x10000;
            decoded += static_cast<char16_t>(0xD800 + (c >> 10));
            decoded += static_cast<char16_t>(0xDC00 + (c & 0x3FFu));
        } else {
            decoded += static_cast<char16_t>(c);
        }
        i += nLength;
    }
    return decoded;
}

} // namespace

std::u16string WidenData(std::string_view bytes) {
    std::u16string wide;
    wide.reserve(bytes.size());
    for (const char c : bytes)
        wide += static_cast<char16_t>(static_cast<unsigned char>(c));
    return wide;
}

std::u16string WidenShown(std::string_view text) {
    if (auto decoded = Utf16Of(text))
        return std::move(*decoded);
    return WidenData(text);
}

std::string NarrowToData(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        // A character beyond U+FFFF is one '?' for its two halves.
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            ++i;
        bytes += c <= 0xFF ? static_cast<char>(c) : '?';
    }
    return bytes;
}

std::string ShownAsData(std::string_view text) {
    return NarrowToData(WidenShown(text));
}

std::u16string WithoutMnemonics(std::u16string_view text) {
    std::u16string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    return shown;
}
