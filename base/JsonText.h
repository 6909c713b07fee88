#pragma once

#include <string>
#include <string_view>

// JSON strings. Each escapes what JSON must: the quote, the backslash and the control characters (DEL too).

// How a string carries the characters past ASCII.
enum class EJsonOutput {
    Utf8,  // as UTF-8, as a reader of the file sees them
    Ascii, // as \u escapes, "<", ">" and "&" too: the text may stand inside a page's <script> block
};

// 8-bit data, one byte one character: the byte's code is the character's ("\u00e9" for 0xE9).
std::string JsonStringOfBytes(std::string_view bytes, EJsonOutput output);
// UTF-8 text; a byte that begins no valid sequence becomes U+FFFD.
std::string JsonStringOfUtf8(std::string_view text, EJsonOutput output);
