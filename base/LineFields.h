#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Reply lines are read by fixed character columns counted from 0. Every reader goes through these helpers, so a
// field beyond the end of a short line is shorter or empty, never an error.

// nCount characters from column nFirst; fewer when the line ends sooner, empty when it ends before nFirst.
std::string Field(std::string_view line, std::size_t nFirst, std::size_t nCount);

// True when the line begins with the prefix (case counts).
bool HasPrefix(std::string_view line, std::string_view prefix);

// The decimal integer at the start of the text: leading white space skipped, an optional sign, then digits up to
// the first other character; 0 without digits. A number beyond 32 bits saturates at INT_MIN or INT_MAX.
int ParseLeadingInt(std::string_view text);
