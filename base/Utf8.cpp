#include "base/Utf8.h"

std::pair<char32_t, std::size_t> DecodeUtf8(std::string_view text, std::size_t nAt) {
    const auto lead = static_cast<unsigned char>(text[nAt]);
    if (lead < 0x80)
        return {lead, 1};
    std::size_t nLength = 0;
    char32_t c = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        nLength = 2;
        c = lead & 0x1F;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        nLength = 3;
        c = lead & 0x0F;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        nLength = 4;
        c = lead & 0x07;
        least = 0x10000;
    } else {
        return {kReplacementCharacter, 1};
    }
    if (nAt + nLength > text.size())
        return {kReplacementCharacter, 1};
    for (std::size_t k = 1; k < nLength; ++k) {
        const auto next = static_cast<unsigned char>(text[nAt + k]);
        if ((next & 0xC0) != 0x80)
            return {kReplacementCharacter, 1};
        c = (c << 6) | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return {kReplacementCharacter, 1};
    return {c, nLength};
}

void AppendUtf8(std::string& text, char32_t c) {
    if (c < 0x80) {
        text += static_cast<char>(c);
        return;
    }
    if (c < 0x800) {
        text += static_cast<char>(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (c >> 18));
        text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    text += static_cast<char>(0x80 | (c & 0x3F));
}

bool IsValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto [c, nLength] = DecodeUtf8(bytes, i);
        if (c == kReplacementCharacter && nLength == 1)
            return false;
        i += nLength;
    }
    return true;
}

std::string Utf8Text(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes)
        AppendUtf8(text, static_cast<unsigned char>(c));
    return text;
}
