#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The texts the display unit puts into its reply columns, and the values it reads out of its commands. Times are
// whole milliseconds; a time of day runs from 0 to one day less a millisecond.
namespace DeviceFormat {

constexpr std::int64_t kDayMs = 24LL * 60 * 60 * 1000;
// A time in milliseconds as a time of day: 0 to kDayMs - 1, counted on from midnight or back from it.
std::int64_t WrapDay(std::int64_t nMs);
constexpr int kLongestInterval = 99 * 60 + 59; // seconds; "9959" is the longest time that fits four columns

// The text right-aligned in a field of nWidth characters; a longer text keeps its last nWidth characters.
std::string RightAlign(std::string_view text, std::size_t nWidth);
// Decimal with leading zeros to nWidth digits ("0007").
std::string ZeroPadded(int nValue, std::size_t nWidth);

// Time still to go as the large display shows it: whole seconds rounded up, "m:ss" or "h:mm:ss".
std::string CountdownText(std::int64_t nRemainingMs);
// Time of day "HH:MM:SS".
std::string ClockText(std::int64_t nTimeOfDayMs);
// Time of day to the hundredth "HH:MM:SS.hh" (11 characters).
std::string StartTimeText(std::int64_t nTimeOfDayMs);
// Time between two starts "h:mm:ss" (7 characters), whole seconds; 9:59:59 at most.
std::string LeadTimeText(std::int64_t nLeadMs);
// A countdown interval in four columns: "0:00" for a break, "m:ss" below ten minutes, and from ten minutes on the
// four digits without the colon ("1000" for 10:00), the form in which the interval is uploaded.
std::string IntervalColumns(int nSeconds);

// Time of day from "hhmmss" (six digits, 00:00:00 to 23:59:59).
std::optional<std::int64_t> ParseClock(std::string_view text);
// An uploaded interval in seconds: "Break" (any letter case) is 0, otherwise one to four digits minutes and
// seconds without the colon ("130" = 1:30, "1000" = 10:00, "45" = 0:45); colons are ignored; seconds above 59 fail.
std::optional<int> ParseInterval(std::string_view text);
// A decimal number of 1 to nMaxDigits digits, nothing else.
std::optional<int> ParseDigits(std::string_view text, std::size_t nMaxDigits);

} // namespace DeviceFormat
