#include "base/JsonText.h"

#include "base/Utf8.h"

#include <cstdint>

namespace {

void AppendHex4(std::string& out, unsigned nUnit) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\u";
    for (int nShift = 12; nShift >= 0; nShift -= 4)
        out += kDigits[(nUnit >> nShift) & 0xF];
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
