#include "console/ClockOffset.h"

#include "startlist/TimeOfDay.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr CClockOffset::Duration kDay = std::chrono::milliseconds{kDayMilliseconds};

// A difference of two times of day folded around zero (-12 h up to 12 h): a line that arrived just after midnight
// for a start the unit timed just before it is a few seconds, not a day.
CClockOffset::Duration AroundZero(CClockOffset::Duration difference) {
    difference %= kDay;
    if (difference > kDay / 2)
        difference -= kDay;
    else if (difference <= -kDay / 2)
        difference += kDay;
    return difference;
}

// How finely a time of day is given: a second without decimals, a hundredth with two.
CClockOffset::Duration ResolutionOf(std::string_view time) {
    const std::size_t nMark = time.find_first_of(".,");
    if (nMark == std::string_view::npos)
        return std::chrono::seconds{1};
    std::size_t nDigits = 0;
    while (nMark + 1 + nDigits < time.size() && time[nMark + 1 + nDigits] >= '0' && time[nMark + 1 + nDigits] <= '9')
        ++nDigits;
    CClockOffset::Duration resolution = std::chrono::seconds{1};
    for (std::size_t i = 0; i < nDigits; ++i)
        resolution /= 10;
    return resolution;
}

} // namespace

bool CClockOffset::Take(std::string_view line, Duration arrivedOfDay, int nBaudRate) {
    return Take(ParseMonitorLine(line), line.size(), arrivedOfDay, nBaudRate);
}

bool CClockOffset::Take(const CMonitorLine& parsed, std::size_t nLineBytes, Duration arrivedOfDay, int nBaudRate) {
    if (nBaudRate <= 0)
        return false;
    const Duration byteTime{1'000'000LL * kBitsPerByte / nBaudRate};
    // The carriage return too.
    const Duration sending{1'000'000LL * kBitsPerByte * static_cast<long long>(nLineBytes + 1) / nBaudRate};
    const Duration began = arrivedOfDay - sending;
    const std::optional<Duration> previousEnd = m_previousEnd;
    m_previousEnd = arrivedOfDay;

    if (!parsed.m_bStart)
        return false;
    const std::optional<std::int64_t> unitMs = ParseTimeOfDay(parsed.m_strStartTime);
    if (!unitMs)
        return false;
    // The unit's time to the hundredth is the hundredth the start fell in, as a counter reads: the start was in its
    // middle on average.
    const Duration resolution = ResolutionOf(parsed.m_strStartTime);
    if (previousEnd && AroundZero(began - *previousEnd) < byteTime + kQueueMargin)
        return false; // it may have waited behind the previous line
    m_samples.push_back(AroundZero(std::chrono::milliseconds{*unitMs} + resolution / 2 - began));
    if (m_samples.size() > kSamples)
        m_samples.pop_front();
    return true;
}

void CClockOffset::Reset() {
    m_samples.clear();
}

std::optional<CClockOffset::Duration> CClockOffset::Offset() const {
    if (m_samples.empty())
        return std::nullopt;
    std::vector<Duration> sorted(m_samples.begin(), m_samples.end());
    std::sort(sorted.begin(), sorted.end());
    const std::size_t nMiddle = sorted.size() / 2;
    if (sorted.size() % 2 == 1)
        return sorted[nMiddle];
    return (sorted[nMiddle - 1] + sorted[nMiddle]) / 2;
}

bool CClockOffset::IsBeyondWarning() const {
    const std::optional<Duration> offset = Offset();
    return offset && (*offset > kWarnAbove || *offset < -kWarnAbove);
}

std::string ClockOffsetText(CClockOffset::Duration offset) {
    const long long nHundredths = (std::llabs(offset.count()) + 5000) / 10000;
    if (nHundredths == 0)
        return "the unit's clock is in step with this computer";
    char szSeconds[32];
    std::snprintf(szSeconds, sizeof szSeconds, "%lld.%02lld", nHundredths / 100, nHundredths % 100);
    std::string text = "the unit's clock is " + std::string(szSeconds) + " s " +
                       (offset.count() < 0 ? "behind" : "ahead of") + " this computer";
    if (offset > CClockOffset::kWarnAbove || offset < -CClockOffset::kWarnAbove)
        text += ": Set PC Time";
    return text;
}

std::string ClockOffsetSeconds(CClockOffset::Duration offset) {
    const long long nMs = (std::llabs(offset.count()) + 500) / 1000;
    char szText[32];
    std::snprintf(szText, sizeof szText, "%c%lld.%03lld", offset.count() < 0 && nMs > 0 ? '-' : '+', nMs / 1000,
                  nMs % 1000);
    return szText;
}

CClockOffset::Duration TimeSinceLocalMidnight(WallTime moment) {
    const CLocalTime local = LocalTimeOf(moment);
    const auto sinceSecond =
        std::chrono::duration_cast<CClockOffset::Duration>(moment - std::chrono::floor<std::chrono::seconds>(moment));
    return std::chrono::seconds{(local.m_nHour * 60LL + local.m_nMinute) * 60 + local.m_nSecond} + sinceSecond;
}
