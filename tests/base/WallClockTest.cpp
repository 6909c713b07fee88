// The computer's clock: the texts of a moment, the next second's start, the local time, and a wait that ends on
// its moment.

#include "base/WallClock.h"

#include "tests/support/Environment.h"

#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <string>

using namespace std::chrono_literals;

namespace {

struct STextRow {
    CLocalTime time;
    const char* pszClock;
    const char* pszIso;
};

TEST(WallClockTexts, ClockTextAndIsoTimestamp) {
    const STextRow rows[] = {
        {{2024, 5, 1, 14, 3, 27, 45, 120}, "14:03:27", "2024-05-01T14:03:27.045+02:00"},
        {{2024, 12, 31, 23, 59, 59, 999, 0}, "23:59:59", "2024-12-31T23:59:59.999+00:00"},
        {{2025, 1, 2, 0, 0, 0, 0, -300}, "00:00:00", "2025-01-02T00:00:00.000-05:00"},
        {{2025, 7, 9, 9, 5, 3, 7, 330}, "09:05:03", "2025-07-09T09:05:03.007+05:30"},   // half-hour zones
        {{2025, 7, 9, 9, 5, 3, 7, -570}, "09:05:03", "2025-07-09T09:05:03.007-09:30"},  // west of Greenwich
        {{1999, 3, 4, 5, 6, 7, 890, 345}, "05:06:07", "1999-03-04T05:06:07.890+05:45"}, // a quarter-hour zone
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ClockText(row.time), row.pszClock) << row.pszIso;
        EXPECT_EQ(IsoTimestamp(row.time), row.pszIso);
    }
}

struct SNextRow {
    const char* pszName;
    std::chrono::microseconds after; // since a whole second
    std::chrono::seconds next;       // the next second's start, since that whole second
};

TEST(WallClock, NextSecondStartIsTheFirstWholeSecondAfterTheMoment) {
    const WallTime second = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    const SNextRow rows[] = {
        {"on a second's start: the next one", 0us, 1s},
        {"just after", 1us, 1s},
        {"mid-second", 500'000us, 1s},
        {"just before the next", 999'999us, 1s},
        {"on the next second's start", 1'000'000us, 2s},
    };
    for (const auto& row : rows)
        EXPECT_EQ(NextSecondStart(second + row.after), second + row.next) << row.pszName;
}

// The computer's local time for a time zone given as the TZ variable, which the test sets and restores. The C
// runtime of Windows reads these forms as POSIX does: a name, hours west of UTC (and minutes).
class LocalTimeTest : public ::testing::Test {
protected:
    void SetUp() override { m_strSavedZone = ProcessVariable("TZ"); }
    void TearDown() override {
        SetProcessVariable("TZ", m_strSavedZone);
        ReadZone();
    }
    static void UseZone(const char* pszZone) {
        SetProcessVariable("TZ", std::string(pszZone));
        ReadZone();
    }
    static void ReadZone() {
#ifdef _WIN32
        ::_tzset();
#else
        ::tzset();
#endif
    }
    std::optional<std::string> m_strSavedZone;
};

struct SZoneRow {
    const char* pszZone;
    std::time_t nUtcSeconds;
    int nMilliseconds;
    CLocalTime expected;
};

TEST_F(LocalTimeTest, TheLocalTimeOfAMomentInItsZone) {
    constexpr std::time_t kMay1st2024Noon = 1714564800; // 2024-05-01T12:00:00Z
    const SZoneRow rows[] = {
        {"UTC0", kMay1st2024Noon, 0, {2024, 5, 1, 12, 0, 0, 0, 0}},
        {"UTC0", kMay1st2024Noon + 3599, 999, {2024, 5, 1, 12, 59, 59, 999, 0}},
        {"CET-1", kMay1st2024Noon, 45, {2024, 5, 1, 13, 0, 0, 45, 60}},
        {"EST5", kMay1st2024Noon - 12 * 3600 - 1, 500, {2024, 4, 30, 18, 59, 59, 500, -300}}, // the day before
        {"IST-5:30", kMay1st2024Noon + 12 * 3600, 1, {2024, 5, 2, 5, 30, 0, 1, 330}},
    };
    for (const auto& row : rows) {
        UseZone(row.pszZone);
        const WallTime moment =
            std::chrono::system_clock::from_time_t(row.nUtcSeconds) + std::chrono::milliseconds{row.nMilliseconds};
        EXPECT_EQ(LocalTimeOf(moment), row.expected) << row.pszZone << " " << IsoTimestamp(row.expected);
    }
}

TEST(WallClock, TheComputersSleepEndsOnItsMomentAndNotLongAfter) {
    const CWallClock clock;
    for (const auto wait : {0ms, 3ms, 40ms}) {
        const WallTime moment = std::chrono::system_clock::now() + wait;
        clock.SleepUntil(moment);
        const auto late = std::chrono::system_clock::now() - moment;
        EXPECT_GE(late, 0us) << wait.count();
        EXPECT_LT(late, 50ms) << wait.count(); // a busy machine may wake a sleeper late; never before its moment
    }
}

TEST(WallClock, AScriptedClockTakesThePlaceOfTheComputers) {
    WallTime now = std::chrono::system_clock::from_time_t(1714564800);
    WallTime slept{};
    const CWallClock clock{[&] { return now; },
                           [&](WallTime moment) {
                               slept = moment;
                           }};
    EXPECT_EQ(clock.Now(), now);
    clock.SleepUntil(now + 5s);
    EXPECT_EQ(slept, now + 5s);
}

} // namespace
