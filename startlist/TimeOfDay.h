#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Times of day as start lists and the unit write them, in milliseconds since midnight.

inline constexpr std::int64_t kDayMilliseconds = 24LL * 60 * 60 * 1000;

// "H:MM:SS" or "HH:MM:SS" with an optional fraction of one to three digits after "." or "," ("10:15:30.25"),
// blanks around it allowed: hours 0 to 23, minutes and seconds 0 to 59. Nothing for any other text.
std::optional<std::int64_t> ParseTimeOfDay(std::string_view text);

// "HH:MM:SS", then the fraction only as far as it is not zero: "10:15:00", "10:15:30.25", "10:15:30.125".
std::string TimeOfDayText(std::int64_t nMs);

// A difference of two times of day with its sign, in hundredths (thousandths where the milliseconds need them):
// "+0:02.25", "-0:00.50", "+12:03.00", "+1:02:03.00".
std::string DifferenceText(std::int64_t nMs);

// The difference of two times of day folded into one day around zero (-12 h up to 12 h): a start just after
// midnight planned just before it is a few seconds late, not a day early.
std::int64_t TimeOfDayDifference(std::int64_t nLaterMs, std::int64_t nEarlierMs);

// Days since 1970-01-01 of a date of the Gregorian calendar, and back.
std::int64_t DaysFromCivil(int nYear, int nMonth, int nDay);
void CivilFromDays(std::int64_t nDays, int& nYear, int& nMonth, int& nDay);
