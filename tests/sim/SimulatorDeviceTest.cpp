// The simulator's device model, its command framing and its transmitter, driven directly with a given device time.
// The expected lines are written out here column by column from the device's reply layouts, not computed.

#include "sim/CommandFramer.h"
#include "sim/DeviceFormat.h"
#include "sim/DeviceModel.h"
#include "sim/LineSender.h"
#include "sim/SimDevice.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr std::int64_t kNoon = 12LL * 3600 * 1000;
constexpr std::int64_t kSecond = 1000;
constexpr std::int64_t kMinute = 60 * kSecond;

std::vector<std::string> Ask(CDeviceModel& device, const std::string& strCommand) {
    return device.HandleCommand(strCommand);
}

// ---- Texts and values of the device -------------------------------------------------------------------------

struct SCountdownRow {
    std::int64_t nRemainingMs;
    const char* pText;
};

TEST(SimulatorFormatTest, CountdownRoundsUpToWholeSeconds) {
    const SCountdownRow rows[] = {
        {30'000, "0:30"},
        {29'001, "0:30"},
        {29'000, "0:29"},
        {1, "0:01"},
        {0, "0:00"},
        {-500, "0:00"},
        {600'000, "10:00"},
        {3'599'000, "59:59"},
        {3'600'000, "1:00:00"},
        {5'999'000, "1:39:59"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(DeviceFormat::CountdownText(row.nRemainingMs), row.pText) << row.nRemainingMs;
}

struct STimeRow {
    std::int64_t nMs;
    const char* pClock;
    const char* pStartTime;
};

TEST(SimulatorFormatTest, TimeOfDayWrapsAroundTheDay) {
    const STimeRow rows[] = {
        {0, "00:00:00", "00:00:00.00"},
        {45'296'789, "12:34:56", "12:34:56.78"},
        {-1'000, "23:59:59", "23:59:59.00"},
        {DeviceFormat::kDayMs + 5'010, "00:00:05", "00:00:05.01"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DeviceFormat::ClockText(row.nMs), row.pClock) << row.nMs;
        EXPECT_EQ(DeviceFormat::StartTimeText(row.nMs), row.pStartTime) << row.nMs;
    }
}

TEST(SimulatorFormatTest, LeadTimeIsSevenCharactersUpToTenHours) {
    EXPECT_EQ(DeviceFormat::LeadTimeText(90'370), "0:01:30");
    EXPECT_EQ(DeviceFormat::LeadTimeText(0), "0:00:00");
    EXPECT_EQ(DeviceFormat::LeadTimeText(3 * 3'600'000 + 25 * kMinute + 7 * kSecond), "3:25:07");
    EXPECT_EQ(DeviceFormat::LeadTimeText(36'000'000), "9:59:59");
    EXPECT_EQ(DeviceFormat::LeadTimeText(-5), "0:00:00");
}

struct SIntervalRow {
    int nSeconds;
    const char* pColumns;
};

TEST(SimulatorFormatTest, IntervalFitsFourColumns) {
    const SIntervalRow rows[] = {
        {0, "0:00"},   {30, "0:30"},  {90, "1:30"},   {599, "9:59"},
        {600, "1000"}, {754, "1234"}, {5999, "9959"}, {7000, "9959"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(DeviceFormat::IntervalColumns(row.nSeconds), row.pColumns) << row.nSeconds;
}

struct SParseIntervalRow {
    const char* pText;
    std::optional<int> seconds;
};

TEST(SimulatorFormatTest, UploadedIntervalIsMinutesAndSecondsWithoutColon) {
    const SParseIntervalRow rows[] = {
        {"130", 90},
        {"1000", 600},
        {"45", 45},
        {"5", 5},
        {"0", 0},
        {"000", 0},
        {"Break", 0},
        {"BREAK", 0},
        {"1:30", 90},
        {"9959", 5999},
        {"190", std::nullopt},
        {"", std::nullopt},
        {"12345", std::nullopt},
        {"1a0", std::nullopt},
        {"-130", std::nullopt},
        {"Brake", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(DeviceFormat::ParseInterval(row.pText), row.seconds) << row.pText;
}

TEST(SimulatorFormatTest, EveryIntervalSurvivesDownloadAndUploadAgain) {
    // What "?C" shows, with its colon removed as the program uploads it, must give the same interval back.
    for (int nSeconds = 0; nSeconds <= DeviceFormat::kLongestInterval; ++nSeconds) {
        std::string strUpload;
        for (char c : DeviceFormat::IntervalColumns(nSeconds))
            if (c != ':')
                strUpload += c;
        ASSERT_EQ(DeviceFormat::ParseInterval(strUpload), nSeconds) << strUpload;
    }
}

TEST(SimulatorFormatTest, ClockIsSixDigitsOfAValidTime) {
    EXPECT_EQ(DeviceFormat::ParseClock("123456"), 45'296'000);
    EXPECT_EQ(DeviceFormat::ParseClock("000000"), 0);
    EXPECT_EQ(DeviceFormat::ParseClock("235959"), DeviceFormat::kDayMs - 1000);
    for (const char* pBad : {"240000", "126000", "120060", "12345", "1234567", "12:345", "", "ab0000"})
        EXPECT_EQ(DeviceFormat::ParseClock(pBad), std::nullopt) << pBad;
}

// ---- Commands and replies -----------------------------------------------------------------------------------

struct SCommandRow {
    const char* pCommand;
    std::vector<std::string> replies;
};

// A fresh device at noon, device time 0: program 1 at CD0 (0:30), brightness 9, empty memory.
TEST(SimulatorDeviceTest, AnswersEachCommandOfAFreshDevice) {
    const SCommandRow rows[] = {
        {"?S", {"S?     0:30    1 2 1 0:30 9"}},
        {"?M", {"M?EMPTY"}},
        {"?E", {"E?"}},
        {"=P60", {"P=60"}},
        {"=P0", {"P=0"}},
        {"=P8", {"P=8"}},
        {"=P6", {"P=6"}},
        {"=P9", {}},
        {"=P65", {}},
        {"=P59", {}},
        {"=P", {}},
        {"=P1x", {}},
        {"=C3", {"C=3"}},
        {"=C10", {}},
        {"=C", {}},
        {"=B0", {"B=0"}},
        {"=B12", {}},
        {"=B", {}},
        {"=B 5", {}},
        {"=T093000", {"T=093000"}},
        {"=T250000", {}},
        {"=T0930", {}},
        {"=MASTER", {"M="}},
        {"=SLAVE", {"S="}},
        {"=master", {}},
        {"?L100", {"L?10000"}},
        {"?L105", {"L?10511"}},
        {"?L109", {"L?10921"}},
        {"?L110", {"L?11032"}},
        {"?L131", {"L?13100"}},
        {"?L000", {"L?00000"}},
        {"?L132", {}},
        {"?L900", {}},
        {"?L10", {}},
        {"?L1000", {}},
        {"?C10", {"C?100:30"}},
        {"?C14", {"C?143:00"}},
        {"?C70", {"C?701000"}},
        {"?C73", {"C?730:00"}},
        {"?C00", {"C?000:00"}},
        {"?C1", {}},
        {"?C1x", {}},
        {"?C90", {}},
        {"=L10031", {}},
        {"=W10130", {}},
        {"?D", {}},
        {"", {}},
        {"?X", {}},
        {"S?", {}},
    };
    for (const auto& row : rows) {
        CDeviceModel device(kNoon);
        EXPECT_EQ(Ask(device, row.pCommand), row.replies) << row.pCommand;
    }
}

TEST(SimulatorDeviceTest, SetCommandsShowInCurrentValues) {
    CDeviceModel device(kNoon);
    Ask(device, "=B4");
    Ask(device, "=P61");
    // P61 runs the intervals of program 1 from CD0.
    EXPECT_THAT(Ask(device, "?S"), ElementsAre("S?     0:30    1 261 0:30 4"));
    Ask(device, "=C2");
    EXPECT_THAT(Ask(device, "?S"), ElementsAre("S?     1:30    1 161 1:30 4"));
    Ask(device, "=P5");
    EXPECT_THAT(Ask(device, "?S"), ElementsAre("S?     5:00    1 1 5 5:00 4"));
}

TEST(SimulatorDeviceTest, InvalidValuesChangeNothing) {
    CDeviceModel device(kNoon);
    for (const char* pCommand : {"=P9", "=P", "=C", "=Cx", "=B10", "=Bx", "=T999999", "=T"})
        Ask(device, pCommand);
    EXPECT_THAT(Ask(device, "?S"), ElementsAre("S?     0:30    1 2 1 0:30 9"));
}

struct SUploadRow {
    const char* pUpload;
    const char* pDownload;
    const char* pReply;
};

TEST(SimulatorDeviceTest, UploadsComeBackOnDownload) {
    const SUploadRow rows[] = {
        {"=L10531", "?L105", "L?10531"},  {"=L10000", "?L100", "L?10000"},  {"=L83132", "?L831", "L?83132"},
        {"=L1532", "?L105", "L?10532"},   {"=L100512", "?L105", "L?10512"}, {"=L00021", "?L000", "L?00021"},
        {"=L10541", "?L105", "L?10511"},  {"=L10503", "?L105", "L?10511"},  {"=L13200", "?L131", "L?13100"},
        {"=L105", "?L105", "L?10511"},    {"=W171000", "?C17", "C?171000"}, {"=W17Break", "?C17", "C?170:00"},
        {"=W17130", "?C17", "C?171:30"},  {"=W1730", "?C17", "C?170:30"},   {"=W17000", "?C17", "C?170:00"},
        {"=W179959", "?C17", "C?179959"}, {"=W00130", "?C00", "C?001:30"},  {"=W89045", "?C89", "C?890:45"},
        {"=W17190", "?C17", "C?171:30"},  {"=W17", "?C17", "C?171:30"},     {"=W1712345", "?C17", "C?171:30"},
        {"=W9710", "?C17", "C?171:30"},
    };
    for (const auto& row : rows) {
        CDeviceModel device(kNoon);
        EXPECT_THAT(Ask(device, row.pUpload), IsEmpty()) << row.pUpload;
        EXPECT_THAT(Ask(device, row.pDownload), ElementsAre(row.pReply)) << row.pUpload;
    }
}

TEST(SimulatorDeviceTest, FilledMemoryListsStartsInThirtyTwoColumns) {
    CDeviceModel device(kNoon);
    device.FillMemory(3);
    //                                   0 2   6   10          22 25
    EXPECT_THAT(Ask(device, "?M"), ElementsAre("M?0001     11:55:30.37   0:01:30", //
                                               "M?0002     11:57:00.74   0:01:30", //
                                               "M?0003     11:58:30.11   0:01:29"));
    EXPECT_EQ(device.NextStartNumber(), 4);
    EXPECT_THAT(Ask(device, "?E"), ElementsAre("E?"));
    EXPECT_THAT(Ask(device, "?M"), ElementsAre("M?EMPTY"));
    EXPECT_EQ(device.NextStartNumber(), 1);
}

// ---- The countdown ------------------------------------------------------------------------------------------

TEST(SimulatorDeviceTest, CountdownRecordsAStartAndBeginsTheNextInterval) {
    CDeviceModel device(kNoon);
    EXPECT_EQ(device.StatusLine(), "D?     0:30    1 2");
    device.Advance(29 * kSecond + 1);
    EXPECT_EQ(device.StatusLine(), "D?     0:01    1 2");
    EXPECT_THAT(device.Advance(30 * kSecond - 1), IsEmpty());
    EXPECT_THAT(device.Memory(), IsEmpty());

    // Not monitoring: the start is recorded, nothing is streamed.
    EXPECT_THAT(device.Advance(30 * kSecond), IsEmpty());
    ASSERT_EQ(device.Memory().size(), 1u);
    EXPECT_EQ(device.Memory()[0].nNumber, 1);
    EXPECT_EQ(device.Memory()[0].nTimeOfDayMs, kNoon + 30 * kSecond);
    EXPECT_EQ(device.Memory()[0].nLeadMs, 30 * kSecond); // measured from switching on
    // For a second the display shows the start, then the next interval (CD1, 1:00) that began at the start.
    EXPECT_EQ(device.StatusLine(), "D?     0:00    2 3");
    device.Advance(31 * kSecond - 1);
    EXPECT_EQ(device.StatusLine(), "D?     0:00    2 3");
    device.Advance(31 * kSecond);
    EXPECT_EQ(device.StatusLine(), "D?     0:59    2 2");
    EXPECT_EQ(device.CountdownNumber(), 1);
    EXPECT_EQ(device.NextStartAt(), 90 * kSecond);
}

TEST(SimulatorDeviceTest, MonitoringStreamsStartAndLeadLines) {
    CDeviceModel device(kNoon);
    Ask(device, "?D");
    ASSERT_TRUE(device.IsMonitoring());
    // Start line: number of the next start at 0-3, "ST" at 5-6, time at 8-19; lead line: blanks at 0-1, lead 13-19.
    EXPECT_THAT(device.Advance(30 * kSecond), ElementsAre("0002 ST  12:00:30.00", "  LEAD TIME  0:00:30"));
    EXPECT_THAT(device.Advance(90 * kSecond), ElementsAre("0003 ST  12:01:30.00", "  LEAD TIME  0:01:00"));
    Ask(device, "?D");
    EXPECT_FALSE(device.IsMonitoring());
    EXPECT_THAT(device.Advance(180 * kSecond), IsEmpty());
    EXPECT_EQ(device.Memory().size(), 3u);
}

struct SLightRow {
    std::int64_t nRemainingMs;
    char cLight;
};

TEST(SimulatorDeviceTest, LightsFollowTheDetailRowOfTheMinute) {
    // Program 7 counts 10:00; its rows: minutes 5 to 2 red, minute 1 yellow, the start green, the rest dark.
    const SLightRow rows[] = {
        {600'000, '0'}, {540'001, '0'}, {300'001, '0'}, {300'000, '1'}, {120'000, '1'},
        {60'001, '1'},  {60'000, '2'},  {1, '2'},       {0, '3'},
    };
    for (const auto& row : rows) {
        CDeviceModel device(kNoon);
        Ask(device, "=P7");
        device.Advance(600'000 - row.nRemainingMs);
        EXPECT_EQ(device.StatusLine().at(17), row.cLight) << row.nRemainingMs;
    }
}

TEST(SimulatorDeviceTest, UploadedRowDrivesTheLights) {
    CDeviceModel device(kNoon);
    Ask(device, "=L70030"); // minute 10 of program 7: green
    Ask(device, "=L70911"); // minute 1: red
    Ask(device, "=P7");
    EXPECT_EQ(device.StatusLine().at(17), '3');
    device.Advance(599 * kSecond);
    EXPECT_EQ(device.StatusLine().at(17), '1');
}

TEST(SimulatorDeviceTest, BreakHoldsTheCountdownAndShowsTheClock) {
    CDeviceModel device(kNoon);
    Ask(device, "=P8"); // 5:00, 5:00, Break, 2:00 ...
    device.Advance(601 * kSecond);
    EXPECT_EQ(device.Memory().size(), 2u);
    EXPECT_EQ(device.StatusLine(), "D? 12:10:01    3 0");
    EXPECT_EQ(device.NextStartAt(), -1);
    EXPECT_THAT(Ask(device, "?S"), ElementsAre("S? 12:10:01    3 0 8 0:00 9"));
    device.Advance(10'000 * kSecond);
    EXPECT_EQ(device.Memory().size(), 2u);

    EXPECT_THAT(Ask(device, "=C3"), ElementsAre("C=3"));
    EXPECT_EQ(device.StatusLine(), "D?     2:00    3 1");
    device.Advance(10'120 * kSecond);
    ASSERT_EQ(device.Memory().size(), 3u);
    EXPECT_EQ(device.Memory().back().nLeadMs, 9'520 * kSecond);
}

TEST(SimulatorDeviceTest, ProgramsSixtyToSixtyFourRunTheDataOfZeroToFour) {
    CDeviceModel device(kNoon);
    Ask(device, "=P60");
    EXPECT_THAT(Ask(device, "?S"), ElementsAre("S? 12:00:00    1 060 0:00 9")); // program 0: only breaks
    Ask(device, "=W00130");
    Ask(device, "=P60");
    EXPECT_THAT(Ask(device, "?S"), ElementsAre("S?     1:30    1 060 1:30 9")); // program 0's rows are dark
}

TEST(SimulatorDeviceTest, UploadToTheRunningIntervalCountsFromItsNextBeginning) {
    CDeviceModel device(kNoon);
    Ask(device, "=W10100");
    EXPECT_EQ(device.StatusLine(), "D?     0:30    1 2");
    EXPECT_THAT(Ask(device, "?C10"), ElementsAre("C?101:00"));
    Ask(device, "=C0");
    EXPECT_EQ(device.StatusLine(), "D?     1:00    1 2");
}

TEST(SimulatorDeviceTest, ClockSetMovesStartTimes) {
    CDeviceModel device(kNoon);
    EXPECT_THAT(Ask(device, "=T093000"), ElementsAre("T=093000"));
    device.Advance(30 * kSecond);
    ASSERT_EQ(device.Memory().size(), 1u);
    EXPECT_EQ(device.Memory()[0].nTimeOfDayMs, (9 * 60 + 30) * kMinute + 30 * kSecond);
}

TEST(SimulatorDeviceTest, LeadOfTheFirstStartCountsFromTheLastStoredStart) {
    CDeviceModel device(kNoon);
    device.FillMemory(3);
    device.Advance(30 * kSecond);
    ASSERT_EQ(device.Memory().size(), 4u);
    EXPECT_EQ(device.Memory().back().nNumber, 4);
    EXPECT_EQ(device.Memory().back().nLeadMs, 119'890); // 11:58:30.11 to 12:00:30.00
}

TEST(SimulatorDeviceTest, ManyStartsInOneStepAreAllRecorded) {
    CDeviceModel device(kNoon);
    Ask(device, "=P2"); // a start every minute
    device.Advance(10 * kMinute);
    ASSERT_EQ(device.Memory().size(), 10u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(device.Memory()[static_cast<std::size_t>(i)].nNumber, i + 1);
        EXPECT_EQ(device.Memory()[static_cast<std::size_t>(i)].nTimeOfDayMs, kNoon + (i + 1) * kMinute);
        EXPECT_EQ(device.Memory()[static_cast<std::size_t>(i)].nLeadMs, kMinute);
    }
}

TEST(SimulatorDeviceTest, MemoryKeepsTheNewestStartsAndNumbersWrapAfter9999) {
    CDeviceModel device(kNoon);
    for (int k = 0; k < 10; ++k)
        Ask(device, "=W2" + std::to_string(k) + "1"); // program 2: a start every second
    Ask(device, "=P2");
    for (int nStep = 1; nStep <= 10; ++nStep)
        device.Advance(nStep * 1000 * kSecond); // a thousand starts a step
    ASSERT_EQ(device.Memory().size(), CDeviceModel::kMemoryCapacity);
    EXPECT_EQ(device.Memory().back().nNumber, 1);
    EXPECT_EQ(device.Memory()[device.Memory().size() - 2].nNumber, 9999);
    EXPECT_EQ(device.NextStartNumber(), 2);
}

TEST(SimulatorDeviceTest, TimeLeapingAheadSkipsInsteadOfReplaying) {
    CDeviceModel device(kNoon);
    for (int k = 0; k < 10; ++k)
        Ask(device, "=W2" + std::to_string(k) + "1");
    Ask(device, "=P2");
    device.Advance(10'000'000 * kSecond);
    EXPECT_EQ(device.NextStartNumber(), CDeviceModel::kMaxStartsPerAdvance + 1);
    EXPECT_EQ(device.NextStartAt(), 10'000'001 * kSecond);
}

TEST(SimulatorDeviceTest, TimeNeverGoesBack) {
    CDeviceModel device(kNoon);
    device.Advance(10 * kSecond);
    device.Advance(5 * kSecond);
    EXPECT_EQ(device.StatusLine(), "D?     0:20    1 2");
}

TEST(SimulatorDeviceTest, EraseStartsTheNumbersAgain) {
    CDeviceModel device(kNoon);
    device.Advance(90 * kSecond);
    EXPECT_EQ(device.NextStartNumber(), 3);
    Ask(device, "?E");
    EXPECT_EQ(device.StatusLine().substr(12, 4), "   1");
    device.Advance(180 * kSecond);
    ASSERT_EQ(device.Memory().size(), 1u);
    EXPECT_EQ(device.Memory()[0].nNumber, 1);
    EXPECT_EQ(device.Memory()[0].nLeadMs, 90 * kSecond); // from the erase
}

// ---- Framing ------------------------------------------------------------------------------------------------

struct SFramerRow {
    std::vector<std::string> chunks;
    std::vector<std::string> commands;
};

TEST(SimulatorFramerTest, CutsCommandsAtCarriageReturns) {
    const std::string strLong(CCommandFramer::kMaxCommand, 'A');
    const SFramerRow rows[] = {
        {{"?S\r"}, {"?S"}},
        {{"?S\r?M\r"}, {"?S", "?M"}},
        {{"?", "S", "\r"}, {"?S"}},
        {{"?S\n\r"}, {"?S"}},
        {{"\n?S\r\n"}, {"?S"}},
        {{"\r"}, {""}},
        {{"?S"}, {}},
        {{strLong + "\r"}, {strLong}},
        {{strLong + "B\r?S\r"}, {"?S"}},
        {{strLong, "BBBB", "\r", "?M\r"}, {"?M"}},
        {{std::string("?\0S\r", 4)}, {std::string("?\0S", 3)}},
    };
    for (const auto& row : rows) {
        CCommandFramer framer;
        std::vector<std::string> commands;
        for (const auto& strChunk : row.chunks)
            for (auto& strCommand : framer.Feed(strChunk))
                commands.push_back(strCommand);
        EXPECT_EQ(commands, row.commands) << ::testing::PrintToString(row.chunks);
    }
}

// ---- Transmitter --------------------------------------------------------------------------------------------

class SimulatorSenderTest : public ::testing::Test {
protected:
    using Clock = CLineSender::Clock;

    CLineSender MakeSender(CLineSender::SSettings settings) {
        return CLineSender(settings, [this](const char* pBytes, std::size_t nSize) -> long {
            const std::size_t nTaken = std::min(nSize, m_nCapacity);
            m_strOut.append(pBytes, nTaken);
            m_nCapacity -= nTaken;
            return static_cast<long>(nTaken);
        });
    }

    std::vector<std::string> OutLines() const {
        std::vector<std::string> lines;
        std::string strLine;
        for (char c : m_strOut) {
            if (c == '\r') {
                lines.push_back(strLine);
                strLine.clear();
            } else {
                strLine += c;
            }
        }
        return lines;
    }

    std::string m_strOut;
    std::size_t m_nCapacity = static_cast<std::size_t>(-1);
    const Clock::time_point m_t0 = Clock::time_point{} + 1h;
};

TEST_F(SimulatorSenderTest, UnpacedLinesGoOutWholeAndInOrder) {
    CLineSender sender = MakeSender({});
    sender.QueueLine("S? 1");
    sender.QueueLine("");
    sender.QueueLine("E?");
    EXPECT_EQ(sender.Pump(m_t0), Clock::time_point::max());
    EXPECT_EQ(m_strOut, "S? 1\r\rE?\r");
    EXPECT_TRUE(sender.IsIdle());
}

TEST_F(SimulatorSenderTest, SplitLinePausesInTheMiddle) {
    CLineSender sender = MakeSender({0, 100ms, false});
    sender.QueueLine("S?abcd");
    sender.QueueLine("E?");
    EXPECT_EQ(sender.Pump(m_t0), m_t0 + 100ms);
    EXPECT_EQ(m_strOut, "S?a");
    EXPECT_EQ(sender.Pump(m_t0 + 99ms), m_t0 + 100ms);
    EXPECT_EQ(m_strOut, "S?a");
    EXPECT_EQ(sender.Pump(m_t0 + 100ms), m_t0 + 200ms);
    EXPECT_EQ(m_strOut, "S?abcd\rE");
    sender.Pump(m_t0 + 200ms);
    EXPECT_EQ(m_strOut, "S?abcd\rE?\r");
}

TEST_F(SimulatorSenderTest, PacedBytesTakeTenBitsEachAtTheBaudRate) {
    CLineSender sender = MakeSender({9600, 0ms, false});
    sender.QueueLine(std::string(99, 'x')); // 100 bytes with the carriage return: about 104 ms at 9600 baud
    Clock::time_point now = m_t0;
    Clock::time_point lastWrite = m_t0;
    std::size_t nSeen = 0;
    for (int nPumps = 0; !sender.IsIdle() && nPumps < 10'000; ++nPumps) {
        const Clock::time_point wake = sender.Pump(now);
        if (m_strOut.size() != nSeen) {
            nSeen = m_strOut.size();
            lastWrite = now;
        }
        if (sender.IsIdle())
            break;
        ASSERT_GT(wake, now);
        now = wake + 300us; // a poll wakes a little late
    }
    EXPECT_EQ(m_strOut.size(), 100u);
    EXPECT_GE(lastWrite - m_t0, 95ms);
    EXPECT_LE(lastWrite - m_t0, 110ms);
}

// A pump that comes late within a line sends the bytes whose turn has come at once: the line ends when it would
// have on a serial line, however late the pumps of its middle came.
TEST_F(SimulatorSenderTest, LatePumpsDoNotStretchALine) {
    CLineSender sender = MakeSender({9600, 0ms, false});
    sender.QueueLine(std::string(20, 'x')); // 21 bytes with the carriage return: 21.9 ms at 9600 baud
    sender.Pump(m_t0);
    const std::size_t nFirst = m_strOut.size(); // the first bytes, from up to 2 ms back
    // Pumps that come every 5 ms, each some bytes late: the line has gone by 20 ms after its start (21.9 ms less the
    // 2 ms it may begin back), as on a serial line.
    for (const auto late : {5ms, 10ms, 15ms})
        sender.Pump(m_t0 + late);
    EXPECT_LT(m_strOut.size(), 21u);
    sender.Pump(m_t0 + 20ms);
    EXPECT_EQ(m_strOut.size(), 21u);
    EXPECT_GE(nFirst, 1u);
}

TEST_F(SimulatorSenderTest, GarbageLinesMatchNoReplyOfTheProgram) {
    CLineSender sender = MakeSender({0, 0ms, true});
    for (int i = 0; i < 10; ++i)
        sender.QueueLine("S?" + std::to_string(i));
    sender.Pump(m_t0);
    const std::vector<std::string> lines = OutLines();
    ASSERT_EQ(lines.size(), 20u);
    std::set<std::string> garbage;
    for (std::size_t i = 0; i < lines.size(); i += 2) {
        const std::string& strLine = lines[i];
        EXPECT_EQ(lines[i + 1], "S?" + std::to_string(i / 2));
        garbage.insert(strLine);
        for (const char* pPrefix : {"D?", "S?", "P=", "C=", "B=", "T=", "M=", "S=", "M?", "E?", "L?", "C?", "  "})
            EXPECT_NE(strLine.substr(0, 2), pPrefix) << strLine;
        EXPECT_FALSE(strLine.size() >= 7 && strLine.substr(5, 2) == "ST") << strLine;
    }
    EXPECT_GE(garbage.size(), 4u);
    EXPECT_EQ(m_strOut.find('\n'), std::string::npos);
}

TEST_F(SimulatorSenderTest, FullLineBlocksUntilItTakesBytesAgain) {
    CLineSender sender = MakeSender({});
    m_nCapacity = 2;
    sender.QueueLine("M?EMPTY");
    EXPECT_EQ(sender.Pump(m_t0), Clock::time_point::max());
    EXPECT_TRUE(sender.IsBlocked());
    EXPECT_EQ(m_strOut, "M?");
    m_nCapacity = 100;
    sender.Pump(m_t0);
    EXPECT_FALSE(sender.IsBlocked());
    EXPECT_EQ(m_strOut, "M?EMPTY\r");
}

TEST_F(SimulatorSenderTest, DiscardForgetsWhatWasNotSent) {
    CLineSender sender = MakeSender({});
    sender.QueueLine("E?");
    sender.Discard();
    sender.Pump(m_t0);
    EXPECT_EQ(m_strOut, "");
    EXPECT_TRUE(sender.IsIdle());
}

TEST_F(SimulatorSenderTest, BacklogIsBoundedAndKeepsLinesWhole) {
    CLineSender sender = MakeSender({});
    const std::string strLine(1000, 'M');
    for (int i = 0; i < 400; ++i)
        sender.QueueLine(strLine);
    sender.Pump(m_t0);
    const std::vector<std::string> lines = OutLines();
    EXPECT_LT(lines.size(), 400u);
    EXPECT_LE(m_strOut.size(), CLineSender::kMaxPendingBytes);
    for (const auto& strOut : lines)
        ASSERT_EQ(strOut, strLine);
}

} // namespace

// ---- The unit's clock against the computer's -----------------------------------------------------------------

// The running unit with --clock-offset and --clock-drift: where its clock stands after a while of the computer's
// time, and the offset it reports with each start (the unit's clock at the start less the computer's then).
TEST(SimulatorClockTest, OffsetAndDriftOfTheUnitsClock) {
    struct SRow {
        const char* pName;
        double dSpeed;
        double dOffsetSeconds;
        double dDriftSecondsPerHour;
        std::int64_t nClockAfterMinuteMs; // the unit's time of day after one minute of the computer's time
        const char* pStartLog;            // what it says of the first start (program 2: one a minute of its time)
    };
    const std::vector<SRow> rows{
        {"in step", 1.0, 0.0, 0.0, kNoon + kMinute, "start 1 at 12:01:00.00, clock offset +0.000 s"},
        {"behind", 1.0, -0.62, 0.0, kNoon - 620 + kMinute, "start 1 at 12:00:59.38, clock offset -0.620 s"},
        // 36 s an hour fast: 1 % more of its time in every span of the computer's.
        {"drifting", 1.0, 0.0, 36.0, kNoon + kMinute + 600, "start 1 at 12:01:00.00, clock offset +0.594 s"},
        // Ten times as fast: its first minute takes six seconds of the computer's.
        {"fast", 10.0, 1.5, 0.0, kNoon + 1500 + 10 * kMinute, "start 1 at 12:01:01.50, clock offset +55.500 s"},
    };
    for (const SRow& row : rows) {
        SCOPED_TRACE(row.pName);
        SSimOptions options;
        options.nProgram = 2;
        options.dSpeed = row.dSpeed;
        options.dClockOffsetSeconds = row.dOffsetSeconds;
        options.dClockDriftSecondsPerHour = row.dDriftSecondsPerHour;
        std::vector<std::string> log;
        CSimDevice device(
            options, kNoon, [](const char*, std::size_t nSize) { return static_cast<long>(nSize); },
            [&](const std::string& strText) { log.push_back(strText); });
        const CSimDevice::Clock::time_point start{};
        device.Start(start);
        for (int nSecond = 1; nSecond <= 60; ++nSecond)
            device.AdvanceTo(start + std::chrono::seconds{nSecond});
        EXPECT_EQ(device.Model().TimeOfDay(), row.nClockAfterMinuteMs);
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.front(), row.pStartLog);
    }
}
