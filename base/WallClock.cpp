#include "base/WallClock.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

constexpr auto kAwakeStretch = std::chrono::milliseconds{2};

} // namespace

CLocalTime LocalTimeOf(WallTime moment) {
    const auto seconds = std::chrono::floor<std::chrono::seconds>(moment);
    std::tm local{};
    CLocalTime time;
    if (!LocalCalendarOf(std::chrono::system_clock::to_time_t(seconds), local, time.m_nUtcOffsetMinutes))
        return time;
    time.m_nYear = local.tm_year + 1900;
    time.m_nMonth = local.tm_mon + 1;
    time.m_nDay = local.tm_mday;
    time.m_nHour = local.tm_hour;
    time.m_nMinute = local.tm_min;
    time.m_nSecond = local.tm_sec;
    time.m_nMillisecond =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(moment - seconds).count());
    return time;
}

std::string ClockText(const CLocalTime& time) {
    char szText[16];
    std::snprintf(szText, sizeof szText, "%02d:%02d:%02d", time.m_nHour % 100, time.m_nMinute % 100,
                  time.m_nSecond % 100);
    return szText;
}

std::string IsoTimestamp(const CLocalTime& time) {
    const int nOffset = std::abs(time.m_nUtcOffsetMinutes);
    char szText[48];
    std::snprintf(szText, sizeof szText, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", time.m_nYear % 10000,
                  time.m_nMonth % 100, time.m_nDay % 100, time.m_nHour % 100, time.m_nMinute % 100,
                  time.m_nSecond % 100, time.m_nMillisecond % 1000, time.m_nUtcOffsetMinutes < 0 ? '-' : '+',
                  nOffset / 60 % 100, nOffset % 60);
    return szText;
}

WallTime NextSecondStart(WallTime moment) {
    return std::chrono::floor<std::chrono::seconds>(moment) + std::chrono::seconds{1};
}

WallTime CWallClock::Now() const {
    return m_now ? m_now() : std::chrono::system_clock::now();
}

void CWallClock::SleepUntil(WallTime moment) const {
    if (m_sleepUntil) {
        m_sleepUntil(moment);
        return;
    }
    // A sleep on a busy machine ends up to some milliseconds late, so it ends this early and the rest is waited out
    // awake. Giving the processor away meanwhile (a yield) could cost a time slice of another process.
    std::this_thread::sleep_until(moment - kAwakeStretch);
    while (std::chrono::system_clock::now() < moment) {
    }
}

std::int64_t MillisecondsOfDay(const CLocalTime& time) {
    return ((time.m_nHour * 60LL + time.m_nMinute) * 60 + time.m_nSecond) * 1000 + time.m_nMillisecond;
}
