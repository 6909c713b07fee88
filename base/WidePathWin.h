#pragma once

// The program's narrow paths on Windows are UTF-8, the form every other text of the program's own has; a path
// crosses to the system as UTF-16, through WidePath, and comes back through NarrowPath. Nothing goes through the
// ANSI code page, which cannot spell every user's name and whose best-fit conversion would name another folder
// ("Łukasz" as "Lukasz"). The standard library's std::filesystem is no way across either: mingw-w64's reads a narrow
// path byte for character and writes one as UTF-8, so it is handed only the wide paths made here.

#include <optional>
#include <string>
#include <string_view>

// The UTF-16 form of a path; nothing for an empty one, one with a NUL inside or one that is not valid UTF-8.
std::optional<std::wstring> WidePath(std::string_view path);
// The UTF-8 form of a path the system gave; nothing for an empty one, or one that UTF-8 cannot hold (half of a
// UTF-16 pair alone, which Windows allows in a name and no keyboard gives).
std::optional<std::string> NarrowPath(std::wstring_view path);
