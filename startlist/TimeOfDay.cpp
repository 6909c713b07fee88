#include "startlist/TimeOfDay.h"

#include "base/TextRules.h"

#include <cstdio>
#include <cstdlib>

std::optional<std::int64_t> ParseTimeOfDay(std::string_view text) {
    text = TrimBlanks(text);
    const std::size_t nColon = text.find(':');
    if (nColon != 1 && nColon != 2)
        return std::nullopt;
    const int nHours = Digits(text, 0, nColon);
    if (nHours < 0 || nHours > 23 || text.size() < nColon + 6 || text[nColon + 3] != ':')
        return std::nullopt;
    const int nMinutes = Digits(text, nColon + 1, 2);
    const int nSeconds = Digits(text, nColon + 4, 2);
    if (nMinutes < 0 || nMinutes > 59 || nSeconds < 0 || nSeconds > 59)
        return std::nullopt;
    std::int64_t nMs = ((nHours * 60LL + nMinutes) * 60 + nSeconds) * 1000;
    const std::string_view rest = text.substr(nColon + 6);
    if (rest.empty())
        return nMs;
    if ((rest[0] != '.' && rest[0] != ',') || rest.size() < 2 || rest.size() > 4)
        return std::nullopt;
    int nScale = 100;
    for (const char c : rest.substr(1)) {
        if (!IsDigit(c))
            return std::nullopt;
        nMs += (c - '0') * nScale;
        nScale /= 10;
    }
    return nMs;
}

std::string TimeOfDayText(std::int64_t nMs) {
    nMs %= kDayMilliseconds;
    if (nMs < 0)
        nMs += kDayMilliseconds;
    const std::int64_t nSeconds = nMs / 1000;
    const int nFraction = static_cast<int>(nMs % 1000);
    char szText[32];
    std::snprintf(szText, sizeof szText, "%02d:%02d:%02d", static_cast<int>(nSeconds / 3600),
                  static_cast<int>(nSeconds / 60 % 60), static_cast<int>(nSeconds % 60));
    std::string text = szText;
    if (nFraction == 0)
        return text;
    char szFraction[8];
    if (nFraction % 100 == 0)
        std::snprintf(szFraction, sizeof szFraction, ".%d", nFraction / 100);
    else if (nFraction % 10 == 0)
        std::snprintf(szFraction, sizeof szFraction, ".%02d", nFraction / 10);
    else
        std::snprintf(szFraction, sizeof szFraction, ".%03d", nFraction);
    return text + szFraction;
}

std::string DifferenceText(std::int64_t nMs) {
    const char cSign = nMs < 0 ? '-' : '+';
    const std::int64_t nAbs = std::llabs(nMs);
    const std::int64_t nSeconds = nAbs / 1000;
    const int nFraction = static_cast<int>(nAbs % 1000);
    char szFraction[8];
    if (nFraction % 10 == 0)
        std::snprintf(szFraction, sizeof szFraction, ".%02d", nFraction / 10);
    else
        std::snprintf(szFraction, sizeof szFraction, ".%03d", nFraction);
    char szText[48];
    if (nSeconds >= 3600)
        std::snprintf(szText, sizeof szText, "%c%lld:%02d:%02d%s", cSign, static_cast<long long>(nSeconds / 3600),
                      static_cast<int>(nSeconds / 60 % 60), static_cast<int>(nSeconds % 60), szFraction);
    else
        std::snprintf(szText, sizeof szText, "%c%d:%02d%s", cSign, static_cast<int>(nSeconds / 60),
                      static_cast<int>(nSeconds % 60), szFraction);
    return szText;
}

// Days since 1970-01-01 of a date of the Gregorian calendar.
std::int64_t DaysFromCivil(int nYear, int nMonth, int nDay) {
    nYear -= nMonth <= 2 ? 1 : 0;
    const std::int64_t nEra = (nYear >= 0 ? nYear : nYear - 399) / 400;
    const int nYearOfEra = static_cast<int>(nYear - nEra * 400);
    const int nDayOfYear = (153 * (nMonth + (nMonth > 2 ? -3 : 9)) + 2) / 5 + nDay - 1;
    const int nDayOfEra = nYearOfEra * 365 + nYearOfEra / 4 - nYearOfEra / 100 + nDayOfYear;
    return nEra * 146097 + nDayOfEra - 719468;
}

void CivilFromDays(std::int64_t nDays, int& nYear, int& nMonth, int& nDay) {
    nDays += 719468;
    const std::int64_t nEra = (nDays >= 0 ? nDays : nDays - 146096) / 146097;
    const int nDayOfEra = static_cast<int>(nDays - nEra * 146097);
    const int nYearOfEra = (nDayOfEra - nDayOfEra / 1460 + nDayOfEra / 36524 - nDayOfEra / 146096) / 365;
    const int nDayOfYear = nDayOfEra - (365 * nYearOfEra + nYearOfEra / 4 - nYearOfEra / 100);
    const int nMonthIndex = (5 * nDayOfYear + 2) / 153;
    nDay = nDayOfYear - (153 * nMonthIndex + 2) / 5 + 1;
    nMonth = nMonthIndex < 10 ? nMonthIndex + 3 : nMonthIndex - 9;
    nYear = static_cast<int>(nYearOfEra + nEra * 400 + (nMonth <= 2 ? 1 : 0));
}

std::int64_t TimeOfDayDifference(std::int64_t nLaterMs, std::int64_t nEarlierMs) {
    std::int64_t nDifference = (nLaterMs - nEarlierMs) % kDayMilliseconds;
    if (nDifference > kDayMilliseconds / 2)
        nDifference -= kDayMilliseconds;
    else if (nDifference <= -kDayMilliseconds / 2)
        nDifference += kDayMilliseconds;
    return nDifference;
}
