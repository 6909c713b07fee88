#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Whole-file reading and writing shared by the settings, program and export files.

// The file's bytes, or nothing when it cannot be opened or read.
std::optional<std::string> ReadFileBytes(const std::string& strPath);

// Writes the bytes to a temporary file beside strPath and renames it over strPath, so that a crash or a full
// disk leaves either the old file or the new one, never a torn one. False when any step fails; the old file is
// then untouched.
bool WriteFileReplacing(const std::string& strPath, std::string_view bytes);

// Splits text into lines the way the program files are read: a line ends at LF, a CR directly before the LF is
// dropped with it, any other CR stays in the line. A last line without LF still counts; an empty text has no lines.
std::vector<std::string> SplitTextLines(std::string_view text);
