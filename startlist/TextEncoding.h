#pragma once

#include <string>
#include <string_view>

// The encodings start lists come in, and the texts the exports write. Every text of a start list is kept in UTF-8.

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Windows-1252 (the code page Windows spreadsheets save "CSV" in) as UTF-8. The five bytes that code page leaves
// unassigned become the characters of the same number, as Windows itself converts them.
std::string Utf8FromWindows1252(std::string_view bytes);
// UTF-8 that an XML 1.0 file can hold: the control characters it forbids (all below U+0020 but tab, CR and LF)
// left out.
std::string XmlCharacters(std::string_view utf8);
// The text in XML, for element content and attribute values alike: &, <, >, " and ' escaped.
std::string XmlEscaped(std::string_view utf8);
