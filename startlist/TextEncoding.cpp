#include "startlist/TextEncoding.h"

#include <array>
#include <cstdint>

namespace {

// Windows-1252's bytes 0x80 to 0x9F; 0 where the code page assigns nothing.
constexpr std::array<std::uint16_t, 32> kWindows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

void AppendUtf8(std::string& text, std::uint32_t nCode) {
    if (nCode < 0x80) {
        text += static_cast<char>(nCode);
    } else if (nCode < 0x800) {
        text += static_cast<char>(0xC0 | (nCode >> 6));
        text += static_cast<char>(0x80 | (nCode & 0x3F));
    } else {
        text += static_cast<char>(0xE0 | (nCode >> 12));
        text += static_cast<char>(0x80 | ((nCode >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (nCode & 0x3F));
    }
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t nFollow = 0;
        std::uint32_t nCode = 0;
        std::uint32_t nLeast = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            nFollow = 1;
            nCode = lead & 0x1F;
            nLeast = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            nFollow = 2;
            nCode = lead & 0x0F;
            nLeast = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            nFollow = 3;
            nCode = lead & 0x07;
            nLeast = 0x10000;
        } else {
            return false;
        }
        if (bytes.size() - i <= nFollow)
            return false;
        for (std::size_t k = 1; k <= nFollow; ++k) {
            const auto follow = static_cast<unsigned char>(bytes[i + k]);
            if ((follow & 0xC0) != 0x80)
                return false;
            nCode = (nCode << 6) | (follow & 0x3F);
        }
        if (nCode < nLeast || nCode > 0x10FFFF || (nCode >= 0xD800 && nCode <= 0xDFFF))
            return false;
        i += nFollow + 1;
    }
    return true;
}

std::string Utf8FromWindows1252(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte < 0xA0 && kWindows1252High[byte - 0x80] != 0)
            AppendUtf8(text, kWindows1252High[byte - 0x80]);
        else
            AppendUtf8(text, byte);
    }
    return text;
}

std::string Utf8FromDeviceBytes(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes)
        AppendUtf8(text, static_cast<unsigned char>(c));
    return text;
}

std::string XmlCharacters(std::string_view utf8) {
    std::string text;
    text.reserve(utf8.size());
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r')
            continue;
        text += c;
    }
    return text;
}

std::string XmlEscaped(std::string_view utf8) {
    std::string text;
    text.reserve(utf8.size());
    for (const char c : XmlCharacters(utf8)) {
        switch (c) {
        case '&':
            text += "&amp;";
            break;
        case '<':
            text += "&lt;";
            break;
        case '>':
            text += "&gt;";
            break;
        case '"':
            text += "&quot;";
            break;
        case '\'':
            text += "&apos;";
            break;
        default:
            text += c;
        }
    }
    return text;
}
