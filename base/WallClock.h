#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

// The computer's clock: the local time of a moment, its texts, and waits until a moment. A clock set on the unit
// and the clock field of the main window both name seconds of this clock.

using WallTime = std::chrono::system_clock::time_point;

// A moment as the computer's local time shows it.
struct CLocalTime {
    int m_nYear = 1970;
    int m_nMonth = 1; // 1 to 12
    int m_nDay = 1;   // 1 to 31
    int m_nHour = 0;
    int m_nMinute = 0;
    int m_nSecond = 0;
    int m_nMillisecond = 0;
    int m_nUtcOffsetMinutes = 0; // east of Greenwich positive

    bool operator==(const CLocalTime&) const = default;
};

// The local time of a moment, in the computer's time zone.
CLocalTime LocalTimeOf(WallTime moment);
// The calendar of a second in the computer's time zone and its offset from UTC in minutes, east positive: the part
// of each platform (WallClockPosix.cpp, WallClockWin.cpp). False when the system cannot tell.
bool LocalCalendarOf(std::time_t nSeconds, std::tm& local, int& nUtcOffsetMinutes);

// The milliseconds since the local midnight of a time (the clock of a simulated unit started now).
std::int64_t MillisecondsOfDay(const CLocalTime& time);

// "HH:MM:SS", two digits each, hours 00 to 23: the time of day as the clock field shows it and the unit is set.
std::string ClockText(const CLocalTime& time);
// ISO 8601 with milliseconds and the offset from UTC: "2024-05-01T14:03:27.045+02:00".
std::string IsoTimestamp(const CLocalTime& time);

// The start of the first whole second after `moment` (a moment on a second's start gives the next one).
WallTime NextSecondStart(WallTime moment);

// The clock as a caller that waits for a moment sees it; tests put a scripted one in its place. An empty member is
// the computer's own: m_now the system clock, m_sleepUntil a sleep that ends just after the moment.
struct CWallClock {
    std::function<WallTime()> m_now;
    std::function<void(WallTime)> m_sleepUntil;

    WallTime Now() const;
    void SleepUntil(WallTime moment) const;
};
