#include "base/WallClock.h"

#include <ctime>

CLocalTime LocalTimeOf(WallTime moment) {
    const auto seconds = std::chrono::floor<std::chrono::seconds>(moment);
    const std::time_t nSeconds = std::chrono::system_clock::to_time_t(seconds);
    std::tm local{};
    CLocalTime time;
    if (::localtime_r(&nSeconds, &local) == nullptr)
        return time;
    time.m_nYear = local.tm_year + 1900;
    time.m_nMonth = local.tm_mon + 1;
    time.m_nDay = local.tm_mday;
    time.m_nHour = local.tm_hour;
    time.m_nMinute = local.tm_min;
    time.m_nSecond = local.tm_sec;
    time.m_nMillisecond =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(moment - seconds).count());
    time.m_nUtcOffsetMinutes = static_cast<int>(local.tm_gmtoff / 60);
    return time;
}
