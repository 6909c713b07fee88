// The simulator's cable: pulled and plugged in again, at the times its command line gives or at a signal, while
// the program's port watches the line go and come back.

#include "sim/SimOptions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using ::testing::HasSubstr;

namespace {

// ---- The command line ---------------------------------------------------------------------------------------

struct SCableOptionRow {
    std::vector<std::string> args;
    std::optional<std::chrono::milliseconds> unplugAfter;
    std::optional<std::chrono::milliseconds> replugAfter;
};

TEST(SimulatorOptionsTest, CableTimesAreSecondsWithDecimals) {
    const SCableOptionRow rows[] = {
        {{}, std::nullopt, std::nullopt},
        {{"--unplug-after", "0.5"}, 500ms, std::nullopt},
        {{"--unplug-after", "3"}, 3000ms, std::nullopt},
        {{"--unplug-after", "2", "--replug-after", "1.25"}, 2000ms, 1250ms},
        {{"--replug-after", "0.75", "--unplug-after", "10"}, 10'000ms, 750ms},
        {{"--unplug-after", "1", "--unplug-after", "4"}, 4000ms, std::nullopt},
        {{"--unplug-after", "0.0001"}, 1ms, std::nullopt}, // rounded up: above 0 stays above 0
        {{"--unplug-after", "1.0004", "--replug-after", "86400"}, 1001ms, 86'400'000ms},
        {{"--frozen", "--unplug-after", "1e1", "--com", "3"}, 10'000ms, std::nullopt},
    };
    for (const auto& row : rows) {
        std::string strError;
        const auto options = ParseSimOptions(row.args, strError);
        const std::string strArgs = ::testing::PrintToString(row.args);
        ASSERT_TRUE(options) << strArgs << ": " << strError;
        EXPECT_EQ(options->unplugAfter, row.unplugAfter) << strArgs;
        EXPECT_EQ(options->replugAfter, row.replugAfter) << strArgs;
    }
}

struct SBadOptionRow {
    std::vector<std::string> args;
    const char* pError;
};

TEST(SimulatorOptionsTest, BadCableTimesAreRefusedWithTheReason) {
    constexpr const char* kSeconds = "expects seconds above 0 and at most 86400";
    const std::string strUnplug = std::string("--unplug-after: ") + kSeconds;
    const std::string strReplug = std::string("--replug-after: ") + kSeconds;
    const SBadOptionRow rows[] = {
        {{"--unplug-after"}, "--unplug-after: needs a value"},
        {{"--unplug-after", "1", "--replug-after"}, "--replug-after: needs a value"},
        {{"--unplug-after", "0"}, strUnplug.c_str()},
        {{"--unplug-after", "-1"}, strUnplug.c_str()},
        {{"--unplug-after", ""}, strUnplug.c_str()},
        {{"--unplug-after", "abc"}, strUnplug.c_str()},
        {{"--unplug-after", "2s"}, strUnplug.c_str()},
        {{"--unplug-after", "0,5"}, strUnplug.c_str()},
        {{"--unplug-after", "nan"}, strUnplug.c_str()},
        {{"--unplug-after", "inf"}, strUnplug.c_str()},
        {{"--unplug-after", "86400.5"}, strUnplug.c_str()},
        {{"--unplug-after", "1", "--replug-after", "0"}, strReplug.c_str()},
        {{"--unplug-after", "1", "--replug-after", "-0.5"}, strReplug.c_str()},
        {{"--replug-after", "1"}, "--replug-after: needs --unplug-after"},
        {{"--frozen", "--replug-after", "0.5", "--com", "3"}, "--replug-after: needs --unplug-after"},
    };
    for (const auto& row : rows) {
        std::string strError;
        EXPECT_FALSE(ParseSimOptions(row.args, strError)) << ::testing::PrintToString(row.args);
        EXPECT_EQ(strError, row.pError) << ::testing::PrintToString(row.args);
    }
}

TEST(SimulatorOptionsTest, UsageNamesTheCableOptionsAndSignals) {
    const std::string strUsage = SimUsage();
    for (const char* pWord : {"--unplug-after S", "--replug-after S", "SIGUSR1", "SIGUSR2"})
        EXPECT_THAT(strUsage, HasSubstr(pWord));
}

} // namespace
