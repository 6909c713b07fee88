#include "sim/DeviceFormat.h"

#include <algorithm>
#include <cstdio>

namespace DeviceFormat {

std::int64_t WrapDay(std::int64_t nMs) {
    nMs %= kDayMs;
    return nMs < 0 ? nMs + kDayMs : nMs;
}

std::string RightAlign(std::string_view text, std::size_t nWidth) {
    if (text.size() >= nWidth)
        return std::string(text.substr(text.size() - nWidth));
    return std::string(nWidth - text.size(), ' ') + std::string(text);
}

std::string ZeroPadded(int nValue, std::size_t nWidth) {
    std::string strDigits = std::to_string(nValue);
    if (strDigits.size() < nWidth)
        strDigits.insert(0, nWidth - strDigits.size(), '0');
    return strDigits;
}

std::string CountdownText(std::int64_t nRemainingMs) {
    const std::int64_t nSeconds = std::max<std::int64_t>(0, (nRemainingMs + 999) / 1000);
    char buffer[32];
    if (nSeconds >= 3600)
        std::snprintf(buffer, sizeof buffer, "%d:%02d:%02d", static_cast<int>(nSeconds / 3600),
                      static_cast<int>(nSeconds / 60 % 60), static_cast<int>(nSeconds % 60));
    else
        std::snprintf(buffer, sizeof buffer, "%d:%02d", static_cast<int>(nSeconds / 60),
                      static_cast<int>(nSeconds % 60));
    return buffer;
}

std::string ClockText(std::int64_t nTimeOfDayMs) {
    const std::int64_t nSeconds = WrapDay(nTimeOfDayMs) / 1000;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", static_cast<int>(nSeconds / 3600),
                  static_cast<int>(nSeconds / 60 % 60), static_cast<int>(nSeconds % 60));
    return buffer;
}

std::string StartTimeText(std::int64_t nTimeOfDayMs) {
    const std::int64_t nMs = WrapDay(nTimeOfDayMs);
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, ".%02d", static_cast<int>(nMs % 1000 / 10));
    return ClockText(nMs) + buffer;
}

std::string LeadTimeText(std::int64_t nLeadMs) {
    constexpr std::int64_t kLongestLead = 10LL * 3600 - 1;
    const std::int64_t nSeconds = std::clamp<std::int64_t>(nLeadMs / 1000, 0, kLongestLead);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%d:%02d:%02d", static_cast<int>(nSeconds / 3600),
                  static_cast<int>(nSeconds / 60 % 60), static_cast<int>(nSeconds % 60));
    return buffer;
}

std::string IntervalColumns(int nSeconds) {
    nSeconds = std::clamp(nSeconds, 0, kLongestInterval);
    char buffer[16];
    if (nSeconds < 600)
        std::snprintf(buffer, sizeof buffer, "%d:%02d", nSeconds / 60, nSeconds % 60);
    else
        std::snprintf(buffer, sizeof buffer, "%02d%02d", nSeconds / 60, nSeconds % 60);
    return buffer;
}

std::optional<int> ParseDigits(std::string_view text, std::size_t nMaxDigits) {
    if (text.empty() || text.size() > nMaxDigits || nMaxDigits > 9)
        return std::nullopt;
    int nValue = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        nValue = nValue * 10 + (c - '0');
    }
    return nValue;
}

std::optional<std::int64_t> ParseClock(std::string_view text) {
    if (text.size() != 6)
        return std::nullopt;
    const auto hours = ParseDigits(text.substr(0, 2), 2);
    const auto minutes = ParseDigits(text.substr(2, 2), 2);
    const auto seconds = ParseDigits(text.substr(4, 2), 2);
    if (!hours || !minutes || !seconds || *hours > 23 || *minutes > 59 || *seconds > 59)
        return std::nullopt;
    return ((*hours * 60LL + *minutes) * 60 + *seconds) * 1000;
}

std::optional<int> ParseInterval(std::string_view text) {
    std::string strLower;
    for (char c : text)
        strLower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (strLower == "break")
        return 0;
    std::string strDigits;
    for (char c : text)
        if (c != ':')
            strDigits += c;
    const auto value = ParseDigits(strDigits, 4);
    if (!value || *value % 100 > 59)
        return std::nullopt;
    return *value / 100 * 60 + *value % 100;
}

} // namespace DeviceFormat
