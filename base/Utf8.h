#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

// UTF-8, read and written in one place for the JSON strings, the start lists and the exports.

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The character that begins at text[nAt] and how many bytes it takes; U+FFFD and 1 for a byte that begins no valid
// sequence (overlong forms, surrogates, values past U+10FFFF and sequences cut short included).
std::pair<char32_t, std::size_t> DecodeUtf8(std::string_view text, std::size_t nAt);
// The character's bytes in UTF-8 after the text.
void AppendUtf8(std::string& text, char32_t c);
// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing beyond U+10FFFF).
bool IsValidUtf8(std::string_view bytes);
// The bytes as text in UTF-8, each byte the character of the same number: the unit's 8-bit texts (byte 0xE9 is
// "é"), as the program shows them.
std::string Utf8Text(std::string_view bytes);
