// A simulated unit served in the process as a COM port: the port's read rules, and the unit through a real link
// opened by its number (current values, monitoring, set commands, starts). The expected lines are written out
// column by column from the device's reply layouts.

#include "sim/SimulatedUnitPort.h"
#include "link/ComPorts.h"
#include "link/InProcessPorts.h"
#include "link/SerialLink.h"
#include "sim/SimulatedUnit.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPort = 13;
constexpr std::int64_t kNoon = 12LL * 3600 * 1000;
// How long a command's reply may take here: the program keeps its link open 250 ms for the shortest reply.
constexpr auto kReplyWait = std::chrono::milliseconds{250};

std::chrono::milliseconds Elapsed(Clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since);
}

// The unit the program's start-up would meet: program 1 at CD0 (0:30), brightness 9, master, noon.
SSimOptions FrozenUnit() {
    SSimOptions options;
    options.bFrozen = true;
    return options;
}

SSimOptions FastUnit(double dSpeed) {
    SSimOptions options;
    options.dSpeed = dSpeed;
    return options;
}

// The lines the link queues within `duration`.
std::vector<std::string> LinesFor(CSerialLink& link, std::chrono::milliseconds duration) {
    std::vector<std::string> lines;
    const auto deadline = Clock::now() + duration;
    do {
        std::this_thread::sleep_for(10ms);
        DrainLines(link, [&](const std::string& strLine) { lines.push_back(strLine); });
    } while (Clock::now() < deadline);
    return lines;
}

std::vector<std::string> Ask(CSerialLink& link, const std::string& strCommand) {
    EXPECT_TRUE(link.Write(strCommand + "\r"));
    return LinesFor(link, kReplyWait);
}

// ---- The port's read rules, on the port itself ----

enum class ECall { kRead, kWaitForInput };

struct SReadRuleRow {
    const char* pszName;
    ECall eCall;
    bool bCommandBefore; // "?S" written before the call
    bool bPurgeBefore;   // and then the port's input purged
    bool bCommandDuring; // "?S" written by another thread 200 ms into the call
    std::chrono::milliseconds timeout;
    bool bBytes; // the call finds bytes
    std::chrono::milliseconds atLeast;
    std::chrono::milliseconds below;
};

std::ostream& operator<<(std::ostream& stream, const SReadRuleRow& row) {
    return stream << row.pszName;
}

class SimulatedUnitPortReadTest : public ::testing::TestWithParam<SReadRuleRow> {
protected:
    std::shared_ptr<CSimulatedUnit> m_unit = std::make_shared<CSimulatedUnit>(FrozenUnit(), kNoon);
    CSimulatedUnitPort m_port{m_unit};
};

TEST_P(SimulatedUnitPortReadTest, FollowsTheReadRulesOfASerialPort) {
    const SReadRuleRow& row = GetParam();
    ASSERT_TRUE(m_port.Open(InProcessPortDevice(kPort)));
    if (row.bCommandBefore) {
        ASSERT_TRUE(m_port.Write("?S\r", 200ms));
    }
    if (row.bPurgeBefore)
        m_port.PurgeInput();
    std::thread writer;
    if (row.bCommandDuring)
        writer = std::thread([this] {
            std::this_thread::sleep_for(200ms);
            m_port.Write("?S\r", 200ms);
        });

    std::array<char, 10> buffer{};
    const auto started = Clock::now();
    int nResult = 0;
    if (row.eCall == ECall::kRead)
        nResult = m_port.Read(buffer.data(), static_cast<int>(buffer.size()), row.timeout);
    else
        nResult = m_port.WaitForInput(row.timeout) ? 1 : 0;
    const auto elapsed = Elapsed(started);
    if (writer.joinable())
        writer.join();

    EXPECT_EQ(nResult > 0, row.bBytes);
    EXPECT_GE(elapsed, row.atLeast);
    EXPECT_LT(elapsed, row.below);
    if (row.bBytes && row.eCall == ECall::kRead) {
        EXPECT_EQ(std::string(buffer.data(), static_cast<std::size_t>(nResult)), "S?     0:3"); // ten bytes at most
    }
    if (row.bBytes && row.eCall == ECall::kWaitForInput) {
        EXPECT_EQ(m_port.Read(buffer.data(), 2, 0ms), 2); // the wait took nothing
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SimulatedUnitPortReadTest,
    ::testing::Values(
        SReadRuleRow{"SilenceReadsNothingAfterTheWholeTimeout", ECall::kRead, false, false, false, 250ms, false, 240ms,
                     2000ms},
        SReadRuleRow{"WaitingBytesAreReadAtOnce", ECall::kRead, true, false, false, 3000ms, true, 0ms, 1000ms},
        SReadRuleRow{"TheFirstByteEndsTheWait", ECall::kRead, false, false, true, 3000ms, true, 150ms, 1500ms},
        SReadRuleRow{"PurgedBytesAreGone", ECall::kRead, true, true, false, 250ms, false, 240ms, 2000ms},
        SReadRuleRow{"WaitingOnSilenceEndsAfterTheTimeout", ECall::kWaitForInput, false, false, false, 250ms, false,
                     240ms, 2000ms},
        SReadRuleRow{"WaitingBytesEndTheWaitAtOnce", ECall::kWaitForInput, true, false, false, 3000ms, true, 0ms,
                     1000ms},
        SReadRuleRow{"TheFirstByteEndsTheWaitForInput", ECall::kWaitForInput, false, false, true, 3000ms, true, 150ms,
                     1500ms}),
    [](const ::testing::TestParamInfo<SReadRuleRow>& info) { return std::string(info.param.pszName); });

TEST(SimulatedUnitPort, TheUnitHasOneLineAndAClosedPortNeitherReadsNorWrites) {
    const auto unit = std::make_shared<CSimulatedUnit>(FrozenUnit(), kNoon);
    CSimulatedUnitPort first(unit);
    CSimulatedUnitPort second(unit);
    char byte = 0;
    EXPECT_EQ(first.Read(&byte, 1, 10ms), -1);
    EXPECT_FALSE(first.Write("?S\r", 10ms));

    ASSERT_TRUE(first.Open("COM13"));
    EXPECT_FALSE(second.Open("COM13"));
    EXPECT_NE(second.OpenError(), "");
    first.Close();
    EXPECT_TRUE(second.Open("COM13"));
    EXPECT_EQ(second.OpenError(), "");
    EXPECT_FALSE(second.HasVanished());
}

// ---- The unit through a link opened by its COM number ----

class SimulatedUnitLinkTest : public ::testing::Test {
protected:
    void Serve(const SSimOptions& options) {
        m_unit = std::make_shared<CSimulatedUnit>(options, kNoon);
        m_registration.emplace(kPort, kSimulatedUnitDescription, SimulatedUnitPortFactory(m_unit));
        ASSERT_TRUE(m_link.Open(kPort, 2400));
    }

    CExecutableDirectory m_dir;
    std::shared_ptr<CSimulatedUnit> m_unit;
    std::optional<CInProcessPortRegistration> m_registration;
    CSerialLink m_link;
};

TEST_F(SimulatedUnitLinkTest, IsListedAsTheSimulatedUnit) {
    Serve(FrozenUnit());
    CTempDir byId;
    EXPECT_EQ(DescribeComPorts(m_dir.Path(), byId.Path())[kPort - 1].m_strText, "COM 13 - simulated unit");
}

TEST_F(SimulatedUnitLinkTest, AnswersCurrentValuesWithOneSLine) {
    Serve(FrozenUnit());
    EXPECT_THAT(Ask(m_link, "?S"), ElementsAre("S?     0:30    1 2 1 0:30 9"));
    // A command split over two writes is one command.
    ASSERT_TRUE(m_link.Write("?"));
    EXPECT_THAT(Ask(m_link, "S"), ElementsAre("S?     0:30    1 2 1 0:30 9"));
}

struct SSetRow {
    const char* pszName;
    const char* pszCommand;
    std::vector<std::string> acknowledgement;
    const char* pszValuesAfter; // the "S?" line then; nullptr when the set changes nothing it shows
};

std::ostream& operator<<(std::ostream& stream, const SSetRow& row) {
    return stream << row.pszName;
}

class SimulatedUnitSetTest : public SimulatedUnitLinkTest, public ::testing::WithParamInterface<SSetRow> {};

TEST_P(SimulatedUnitSetTest, AcknowledgesAValidSetAndShowsItsValue) {
    const SSetRow& row = GetParam();
    Serve(FrozenUnit());
    EXPECT_THAT(Ask(m_link, row.pszCommand), ::testing::ElementsAreArray(row.acknowledgement));
    if (row.pszValuesAfter) {
        EXPECT_THAT(Ask(m_link, "?S"), ElementsAre(row.pszValuesAfter));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, SimulatedUnitSetTest,
                         ::testing::Values(SSetRow{"Program", "=P3", {"P=3"}, "S?     2:00    1 1 3 2:00 9"},
                                           SSetRow{"CountdownNumber", "=C2", {"C=2"}, "S?     1:30    1 1 1 1:30 9"},
                                           SSetRow{"Brightness", "=B5", {"B=5"}, "S?     0:30    1 2 1 0:30 5"},
                                           SSetRow{"Clock", "=T123456", {"T=123456"}, "S?     0:30    1 2 1 0:30 9"},
                                           SSetRow{"Master", "=MASTER", {"M="}, nullptr},
                                           SSetRow{"Slave", "=SLAVE", {"S="}, nullptr},
                                           SSetRow{"NoSuchProgram", "=P9", {}, "S?     0:30    1 2 1 0:30 9"},
                                           SSetRow{"BrightnessWithoutValue", "=B", {}, "S?     0:30    1 2 1 0:30 9"}),
                         [](const ::testing::TestParamInfo<SSetRow>& info) { return std::string(info.param.pszName); });

TEST_F(SimulatedUnitLinkTest, MonitoringStreamsDLinesTenASecondUntilTheSecondD) {
    Serve(FrozenUnit());
    ASSERT_TRUE(m_link.Write("?D\r"));
    const std::vector<std::string> lines = LinesFor(m_link, 1000ms);
    // Ten a second; the margins are for a busy machine.
    EXPECT_GE(lines.size(), 6u);
    EXPECT_LE(lines.size(), 13u);
    for (const std::string& strLine : lines)
        EXPECT_EQ(strLine, "D?     0:30    1 2");

    ASSERT_TRUE(m_link.Write("?D\r"));
    LinesFor(m_link, 200ms); // what was on its way
    EXPECT_THAT(LinesFor(m_link, 600ms), IsEmpty());
}

TEST_F(SimulatedUnitLinkTest, TheCountdownRunsAndRecordsAStartAtZeroWhileMonitoring) {
    Serve(FastUnit(60)); // a device minute in a second
    ASSERT_TRUE(m_link.Write("?D\r"));
    // P1: 0:30, then 1:00; starts at 12:00:30 and 12:01:30 device time.
    std::vector<std::string> lines;
    const auto deadline = Clock::now() + 5s;
    while (std::count_if(lines.begin(), lines.end(), [](const std::string& s) { return s.find(" ST ") == 4; }) < 2 &&
           Clock::now() < deadline) {
        const std::vector<std::string> more = LinesFor(m_link, 100ms);
        lines.insert(lines.end(), more.begin(), more.end());
    }
    std::vector<std::string> events;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(events),
                 [](const std::string& s) { return s.rfind("D?", 0) != 0; });
    EXPECT_THAT(events, ElementsAre("0002 ST  12:00:30.00", "  LEAD TIME  0:00:30", //
                                    "0003 ST  12:01:30.00", "  LEAD TIME  0:01:00"));
    EXPECT_GE(std::count_if(lines.begin(), lines.end(), [](const std::string& s) { return s.rfind("D?", 0) == 0; }), 5);
    ASSERT_TRUE(m_link.Write("?D\r"));
}

TEST_F(SimulatedUnitLinkTest, TheUnitRunsOnWhileNoPortIsOpen) {
    Serve(FastUnit(30)); // half a device minute in a second
    m_link.Close();
    std::this_thread::sleep_for(1500ms); // 45 s of device time: the first start, at 0:30, has passed; the next at 1:30
    DrainLines(m_link, [](const std::string&) {});
    ASSERT_TRUE(m_link.Open(kPort, 2400));
    EXPECT_THAT(Ask(m_link, "?M"), ElementsAre("M?0001     12:00:30.00   0:00:30"));
}

} // namespace
