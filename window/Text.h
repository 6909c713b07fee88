#pragma once

#include <QString>

#include <string>
#include <string_view>

// Conversions between the core's byte strings and the windows' QString.

// Text from files (language, settings): UTF-8 when the bytes are valid UTF-8, else one character per byte
// (Latin-1), so that no byte turns into a replacement character.
QString ToQString(std::string_view text);
// UTF-8 bytes of a text typed or shown in a window.
std::string ToStdString(const QString& strText);

// Device data that goes back out unchanged (memory lists, program rows): exactly one character per byte and back.
// Characters beyond U+00FF, which no byte produces, become '?'.
QString FromBytes(std::string_view bytes);
std::string ToBytes(const QString& strText);
