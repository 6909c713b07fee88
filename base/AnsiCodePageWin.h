#pragma once

// Narrow paths on Windows are in the ANSI code page, the form that GetModuleFileNameA and every A function of the
// system take; the W functions want them widened.

#include <optional>
#include <string>
#include <string_view>

// Nothing for an empty text, one with a NUL or one the system cannot convert.
std::optional<std::wstring> WidenAnsi(std::string_view text);
// Empty for a text the system cannot convert.
std::string NarrowAnsi(std::wstring_view text);
// Nothing for an empty text, one the system cannot convert or one with a character the code page has no exact form
// of (no best fit: a path spelt with a look-alike character would name another file).
std::optional<std::string> NarrowAnsiExact(std::wstring_view text);
