#pragma once

#include <QString>

#include <string>
#include <string_view>

// Conversions between the core's byte strings and the windows' QString.

// The one rule for data: the device, config.ini's values, the program files, the exports and every field whose
// text goes to one of them are 8-bit, one byte one character (ISO 8859-1), the same way in both directions, so
// that a byte read from the unit or a file goes back out as that byte. Characters beyond U+00FF, which no byte
// gives, become '?' on the way out.
QString FromBytes(std::string_view bytes);
std::string ToBytes(const QString& strText);

// Texts that are only shown, never written back: the language files and the program's own templates and messages.
// UTF-8 when the bytes are valid UTF-8 (as the program's own files are), else one byte per character as above, so
// that a language file saved by an 8-bit editor shows its letters as well.
QString ShownText(std::string_view text);
