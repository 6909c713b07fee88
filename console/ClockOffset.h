#pragma once

#include "base/WallClock.h"
#include "console/ConsoleProtocol.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

// The unit's clock against the computer's, seen from the start lines of the live stream. A start line carries the
// unit's time of the start and leaves the unit as the start happens, so its carriage return arrives one line's
// sending time later (10 bits a byte at the baud rate): the start time less the moment the line began, by the
// computer's clock, is one sample of the unit's clock minus the computer's. The unit's time stands for the whole
// hundredth (or whatever its last digit counts) the start fell in, so the sample takes its middle. The figure is the
// median of the last kSamples samples.
//
// A line that began within one byte and kQueueMargin of the previous line's end may have waited behind that line in
// the unit's transmitter (a "D?" line on its way when the start came): its start was earlier than its sending
// says, so it gives no sample.
class CClockOffset {
public:
    using Duration = std::chrono::microseconds;

    // Five samples: their median stands two stray ones (a line read late on a busy computer, a start the unit sent
    // late) and settles within five starts, while a clock that drifts, even by a second an hour, moves less than a
    // tenth of a second over five starts of a usual start interval.
    static constexpr std::size_t kSamples = 5;
    // Beyond this the unit's clock is worth setting again ("Set PC Time").
    static constexpr auto kWarnAbove = std::chrono::milliseconds{500};
    static constexpr int kBitsPerByte = 10;
    static constexpr auto kQueueMargin = std::chrono::milliseconds{2};

    // Every line of the stream, in the order they came: the line without its carriage return, when that arrived
    // (since the computer's local midnight), and the line's baud rate. True when the line gave a sample.
    bool Take(std::string_view line, Duration arrivedOfDay, int nBaudRate);
    // The same for a line the caller has parsed already (ParseMonitorLine of the line, nLineBytes long).
    bool Take(const CMonitorLine& parsed, std::size_t nLineBytes, Duration arrivedOfDay, int nBaudRate);
    // Forgets every sample (the unit's clock was set).
    void Reset();

    // The unit's clock minus the computer's: the median of the samples; nothing before the first.
    std::optional<Duration> Offset() const;
    bool IsBeyondWarning() const;
    std::size_t SampleCount() const { return m_samples.size(); }

private:
    std::deque<Duration> m_samples; // oldest first
    std::optional<Duration> m_previousEnd;
};

// What the offset means, as the program says it: "the unit's clock is 0.62 s behind this computer", "... 1.30 s
// ahead of this computer", "the unit's clock is in step with this computer" (within half a hundredth); beyond
// kWarnAbove followed by ": Set PC Time".
std::string ClockOffsetText(CClockOffset::Duration offset);
// Seconds with their sign and three decimals, for the machine forms: "-0.620", "+1.300".
std::string ClockOffsetSeconds(CClockOffset::Duration offset);
// The moment a line arrived as the time since the computer's local midnight.
CClockOffset::Duration TimeSinceLocalMidnight(WallTime moment);
