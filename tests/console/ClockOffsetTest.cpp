// The unit's clock against the computer's, from the start lines of the stream: samples, the lines that give none,
// the running median and the texts.

#include "console/ClockOffset.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

using Duration = CClockOffset::Duration;

constexpr Duration At(int nHours, int nMinutes, int nSeconds, int nMs = 0) {
    return std::chrono::hours{nHours} + std::chrono::minutes{nMinutes} + std::chrono::seconds{nSeconds} +
           std::chrono::milliseconds{nMs};
}

// A start line as the unit sends it: the next start number, " ST ", the time in twelve columns.
std::string StartLine(const char* pszTime) {
    std::string strTime = pszTime;
    return "0002 ST " + std::string(12 - strTime.size(), ' ') + strTime;
}

// The 21 bytes of a start line (with its carriage return) take 87.5 ms at 2400 baud, 5.47 ms at 38400.
constexpr Duration kStartLine2400 = 87500us;
// A time to the hundredth stands for the middle of its hundredth.
constexpr Duration kHalf = 5ms;

struct CLine {
    std::string text;
    Duration arrived;
    int nBaud;
    bool bSample; // it gives a sample
};

} // namespace

TEST(ClockOffset, SamplesFromStartLines) {
    struct CRow {
        const char* pszName;
        std::vector<CLine> lines;
        std::optional<Duration> offset;
    };
    const std::vector<CRow> rows{
        {"in step", {{StartLine("10:00:00.00"), At(10, 0, 0) + kStartLine2400, 2400, true}}, 0us + kHalf},
        {"behind", {{StartLine("10:00:00.00"), At(10, 0, 0, 620) + kStartLine2400, 2400, true}}, -620ms + kHalf},
        // A unit that counts tenths or thousandths: the middle of its tenth, of its thousandth.
        {"tenths", {{"0002 ST   10:00:00.1", At(10, 0, 0, 100) + kStartLine2400, 2400, true}}, 50ms},
        {"thousandths", {{"0002 ST 10:00:00.125", At(10, 0, 0, 125) + kStartLine2400, 2400, true}}, 500us},
        {"ahead, fast line",
         {{StartLine("10:00:01.30"), At(10, 0, 0) + 21 * 10'000'000us / 38400, 38400, true}},
         1300ms + kHalf},
        {"the unit's twelve columns with a blank",
         {{StartLine(" 9:05:01.25"), At(9, 5, 1, 250) + kStartLine2400, 2400, true}},
         0us + kHalf},
        // A start line that began right where the previous line ended may have waited behind it: no sample.
        {"behind a display line",
         {{"D?     0:30    3  4", At(10, 0, 0), 2400, false},
          {StartLine("10:00:00.00"), At(10, 0, 0) + kStartLine2400, 2400, false}},
         std::nullopt},
        // With a gap of a few bytes it did not wait.
        {"after a pause",
         {{"D?     0:30    3  4", At(9, 59, 59, 950), 2400, false},
          {StartLine("10:00:00.00"), At(10, 0, 0) + kStartLine2400, 2400, true}},
         0us + kHalf},
        // Other lines and start lines whose time is none give nothing.
        {"no start",
         {{"  LEAD TIME  0:00:30", At(10, 0, 0), 2400, false},
          {"0002 ST garbage", At(10, 0, 5), 2400, false},
          {StartLine("10:00:00.00"), At(10, 0, 10), 0, false}},
         std::nullopt},
        // Around midnight a sample is a fraction of a second, not a day.
        {"midnight", {{StartLine("23:59:59.90"), At(0, 0, 0, 100) + kStartLine2400, 2400, true}}, -200ms + kHalf},
        {"midnight ahead",
         {{StartLine("00:00:00.10"), At(23, 59, 59, 900) + kStartLine2400, 2400, true}},
         200ms + kHalf},
        // The median of five: two stray samples change nothing.
        {"median",
         {{StartLine("10:00:00.00"), At(10, 0, 0, 100) + kStartLine2400, 2400, true},
          {StartLine("10:00:30.00"), At(10, 0, 30, 900) + kStartLine2400, 2400, true},
          {StartLine("10:01:00.00"), At(10, 1, 0, 110) + kStartLine2400, 2400, true},
          {StartLine("10:01:30.00"), At(10, 1, 30, 105) + kStartLine2400, 2400, true},
          {StartLine("10:02:00.00"), At(10, 1, 50) + kStartLine2400, 2400, true}},
         -105ms + kHalf},
        // Only the last five count: a sixth pushes the first out.
        {"last five",
         {{StartLine("10:00:00.00"), At(10, 0, 5) + kStartLine2400, 2400, true},
          {StartLine("10:00:30.00"), At(10, 0, 30, 10) + kStartLine2400, 2400, true},
          {StartLine("10:01:00.00"), At(10, 1, 0, 10) + kStartLine2400, 2400, true},
          {StartLine("10:01:30.00"), At(10, 1, 35) + kStartLine2400, 2400, true},
          {StartLine("10:02:00.00"), At(10, 2, 5) + kStartLine2400, 2400, true},
          {StartLine("10:02:30.00"), At(10, 2, 35) + kStartLine2400, 2400, true}},
         -5000ms + kHalf},
        {"two samples: the mean of the middle",
         {{StartLine("10:00:00.00"), At(10, 0, 0, 100) + kStartLine2400, 2400, true},
          {StartLine("10:00:30.00"), At(10, 0, 30, 300) + kStartLine2400, 2400, true}},
         -200ms + kHalf},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        CClockOffset clock;
        for (const CLine& line : row.lines)
            EXPECT_EQ(clock.Take(line.text, line.arrived, line.nBaud), line.bSample) << line.text;
        EXPECT_EQ(clock.Offset(), row.offset);
    }
}

TEST(ClockOffset, ResetForgetsTheSamples) {
    CClockOffset clock;
    ASSERT_TRUE(clock.Take(StartLine("10:00:00.00"), At(10, 0, 1) + kStartLine2400, 2400));
    EXPECT_EQ(clock.Offset(), -1000ms + kHalf);
    EXPECT_TRUE(clock.IsBeyondWarning());
    clock.Reset();
    EXPECT_EQ(clock.Offset(), std::nullopt);
    EXPECT_FALSE(clock.IsBeyondWarning());
    EXPECT_EQ(clock.SampleCount(), 0U);
}

TEST(ClockOffset, Texts) {
    struct CRow {
        Duration offset;
        const char* pszText;
        const char* pszSeconds;
    };
    const std::vector<CRow> rows{
        {-620ms, "the unit's clock is 0.62 s behind this computer: Set PC Time", "-0.620"},
        {1300ms, "the unit's clock is 1.30 s ahead of this computer: Set PC Time", "+1.300"},
        {-500ms, "the unit's clock is 0.50 s behind this computer", "-0.500"},
        {500ms + 1us, "the unit's clock is 0.50 s ahead of this computer: Set PC Time", "+0.500"},
        {80ms, "the unit's clock is 0.08 s ahead of this computer", "+0.080"},
        {-4999us, "the unit's clock is in step with this computer", "-0.005"},
        {0us, "the unit's clock is in step with this computer", "+0.000"},
        {-400us, "the unit's clock is in step with this computer", "+0.000"},
        {-3600s, "the unit's clock is 3600.00 s behind this computer: Set PC Time", "-3600.000"},
    };
    for (const CRow& row : rows) {
        EXPECT_EQ(ClockOffsetText(row.offset), row.pszText);
        EXPECT_EQ(ClockOffsetSeconds(row.offset), row.pszSeconds);
    }
}
