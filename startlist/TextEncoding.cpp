#include "startlist/TextEncoding.h"

#include "base/Utf8.h"

#include <array>
#include <cstdint>

namespace {

// Windows-1252's bytes 0x80 to 0x9F; 0 where the code page assigns nothing.
constexpr std::array<std::uint16_t, 32> kWindows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

} // namespace

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
