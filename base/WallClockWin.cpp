#include "base/WallClock.h"

bool LocalCalendarOf(std::time_t nSeconds, std::tm& local, int& nUtcOffsetMinutes) {
    if (::localtime_s(&local, &nSeconds) != 0)
        return false;
    // The local time read as if it were UTC lies the offset from UTC ahead of the moment (daylight saving included).
    std::tm asUtc = local;
    const std::time_t nLocalAsUtc = ::_mkgmtime(&asUtc);
    nUtcOffsetMinutes =
        nLocalAsUtc != static_cast<std::time_t>(-1) ? static_cast<int>((nLocalAsUtc - nSeconds) / 60) : 0;
    return true;
}
