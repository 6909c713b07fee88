#include "base/JsonText.h"

#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendHex4(std::string& out, unsigned nUnit) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\u";
    for (int nShift = 12; nShift >= 0; nShift -= 4)
        out += kDigits[(nUnit >> nShift) & 0xF];
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (c & 0x3F));
}

void AppendCharacter(std::string& out, char32_t c, EJsonOutput output) {
    switch (c) {
    case '"':
        out += "\\\"";
        return;
    case '\\':
        out += "\\\\";
        return;
    case '\n':
        out += "\\n";
        return;
    case '\r':
        out += "\\r";
        return;
    case '\t':
        out += "\\t";
        return;
    case '<':
    case '>':
    case '&':
        if (output == EJsonOutput::Ascii) {
            AppendHex4(out, c);
            return;
        }
        break;
    default:
        break;
    }
    if (c >= 0x20 && c < 0x7F) {
        out += static_cast<char>(c);
    } else if (c > 0x7F && output == EJsonOutput::Utf8) {
        AppendUtf8(out, c);
    } else if (c < 0x10000) {
        AppendHex4(out, c);
    } else { // a surrogate pair
        const char32_t nValue = c - 0x10000;
        AppendHex4(out, 0xD800 + (nValue >> 10));
        AppendHex4(out, 0xDC00 + (nValue & 0x3FF));
    }
}

// The character that begins at text[i] and how many bytes it takes; U+FFFD and 1 for a byte that begins no valid
// sequence (overlong forms, surrogates and values past U+10FFFF included).
std::pair<char32_t, std::size_t> DecodeUtf8(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
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
        return {kReplacement, 1};
    }
    if (i + nLength > text.size())
        return {kReplacement, 1};
    for (std::size_t k = 1; k < nLength; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return {kReplacement, 1};
        c = (c << 6) | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return {kReplacement, 1};
    return {c, nLength};
}

} // namespace

std::string JsonStringOfBytes(std::string_view bytes, EJsonOutput output) {
    std::string out = "\"";
    for (const char c : bytes)
        AppendCharacter(out, static_cast<unsigned char>(c), output);
    out += '"';
    return out;
}

std::string JsonStringOfUtf8(std::string_view text, EJsonOutput output) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto [c, nLength] = DecodeUtf8(text, i);
        AppendCharacter(out, c, output);
        i += nLength;
    }
    out += '"';
    return out;
}
