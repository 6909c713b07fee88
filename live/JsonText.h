#pragma once

#include <string>
#include <string_view>

// JSON strings for the live page. Both escape what JSON must (quote, backslash, control characters) and also "<",
// ">" and "&", so that the text may stand inside a page's <script> block; the result is ASCII.

// 8-bit data, one byte one character: the byte's code is the character's ("\u00e9" for 0xE9).
std::string JsonStringOfBytes(std::string_view bytes);
// UTF-8 text; a byte that begins no valid sequence becomes U+FFFD.
std::string JsonStringOfUtf8(std::string_view text);
