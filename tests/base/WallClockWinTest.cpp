// The computer's local time on Windows, for time zones given as the TZ variable, which the C runtime of Windows
// reads as POSIX does for these forms: name, hours west of UTC (and minutes).

#include "base/WallClock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace {

class LocalTimeWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* pszZone = std::getenv("TZ"))
            m_strSavedZone = pszZone;
    }
    void TearDown() override {
        ::_putenv_s("TZ", m_strSavedZone.value_or("").c_str()); // an empty value removes it
        ::_tzset();
    }
    static void UseZone(const char* pszZone) {
        ::_putenv_s("TZ", pszZone);
        ::_tzset();
    }
    std::optional<std::string> m_strSavedZone;
};

struct SZoneRow {
    const char* pszZone;
    std::time_t nUtcSeconds;
    int nMilliseconds;
    CLocalTime expected;
};

TEST_F(LocalTimeWinTest, TheLocalTimeOfAMomentAndItsOffsetInItsZone) {
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

} // namespace
