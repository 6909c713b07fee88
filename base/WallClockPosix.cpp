#include "base/WallClock.h"

bool LocalCalendarOf(std::time_t nSeconds, std::tm& local, int& nUtcOffsetMinutes) {
    if (::localtime_r(&nSeconds, &local) == nullptr)
        return false;
    nUtcOffsetMinutes = static_cast<int>(local.tm_gmtoff / 60);
    return true;
}
