#pragma once

#include "startlist/IofStartList.h"
#include "startlist/StartList.h"

#include <cstddef>
#include <string>
#include <string_view>

// A start list file of either kind, told apart by its contents: XML (its first character, after a byte-order mark
// and white space, is "<") is read as IOF XML 3.0, anything else as CSV.

// Far above the start list of the largest event (an IOF file of 20000 starters is about 12 MB).
inline constexpr std::size_t kStartListLimitBytes = std::size_t{32} << 20;

bool LooksLikeXml(std::string_view bytes);
CStartListRead ReadStartList(std::string_view bytes, const UtcOffsetRule& utcOffset = ComputerUtcOffsetMinutes);
// The file at the path: a missing file, one that cannot be read or one over kStartListLimitBytes is a clear error.
CStartListRead ReadStartListFile(const std::string& strPath);
