#include "window/Text.h"

#include <cstdint>
#include <optional>

namespace {

// The code points of valid UTF-8 (shortest forms only, no surrogates, at most U+10FFFF) as UTF-16; nothing when
// the bytes are not valid UTF-8.
std::optional<std::u16string> DecodeUtf8(std::string_view text) {
    std::u16string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::uint32_t nCode = 0;
        std::size_t nLength = 0;
        if (lead < 0x80) {
            nCode = lead;
            nLength = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            nCode = lead & 0x1Fu;
            nLength = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            nCode = lead & 0x0Fu;
            nLength = 3;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            nCode = lead & 0x07u;
            nLength = 4;
        } else {
            return std::nullopt;
        }
        if (i + nLength > text.size())
            return std::nullopt;
        for (std::size_t k = 1; k < nLength; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0u) != 0x80u)
                return std::nullopt;
            nCode = (nCode << 6) | (next & 0x3Fu);
        }
        const bool bOverlong = (nLength == 3 && nCode < 0x800) || (nLength == 4 && nCode < 0x10000);
        if (bOverlong || nCode > 0x10FFFF || (nCode >= 0xD800 && nCode <= 0xDFFF))
            return std::nullopt;
        if (nCode >= 0x10000) {
            nCode -= 0x10000;
            decoded += static_cast<char16_t>(0xD800 + (nCode >> 10));
            decoded += static_cast<char16_t>(0xDC00 + (nCode & 0x3FFu));
        } else {
            decoded += static_cast<char16_t>(nCode);
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
    if (auto decoded = DecodeUtf8(text))
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
