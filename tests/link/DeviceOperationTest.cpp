// The one runner of every device conversation: its order of opening, arming, writing, waiting, pumping and
// closing, over a scripted port.

#include "link/DeviceOperation.h"
#include "link/SerialLink.h"
#include "link/SerialPort.h"
#include "tests/support/FakePort.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <ctime>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace std::chrono_literals;
using ::testing::ElementsAreArray;

namespace {

// What the caller's hooks saw, each with the bytes written so far and whether the port was open then.
struct CRecorder {
    std::shared_ptr<CFakePort> m_port = std::make_shared<CFakePort>();
    std::vector<std::string> m_events;
    int m_nStopAfterWrites = -1; // the stop request comes once this many commands are on the line

    void Note(const std::string& strEvent) {
        m_events.push_back(strEvent + (m_port->IsOpen() ? " open " : " closed ") + Escaped(m_port->Written()));
    }
    static std::string Escaped(std::string strText) {
        std::string strOut;
        for (char c : strText)
            strOut += c == '\r' ? std::string("|") : std::string(1, c);
        return strOut;
    }
    COperationHooks Hooks() {
        COperationHooks hooks;
        hooks.m_arm = [this] {
            Note("arm");
        };
        hooks.m_wait = [this](std::chrono::milliseconds wait) {
            Note("wait " + std::to_string(wait.count()));
        };
        hooks.m_pump = [this] {
            Note("pump");
        };
        if (m_nStopAfterWrites >= 0)
            hooks.m_stopRequested = [this] {
                const std::string strWritten = m_port->Written(); // a copy: one string to count in
                return static_cast<int>(std::count(strWritten.begin(), strWritten.end(), '\r')) >= m_nStopAfterWrites;
            };
        return hooks;
    }
};

struct SRunCase {
    const char* pszName;
    CDeviceOperation operation;
    int nStopAfterWrites;
    std::vector<std::string> events;
    std::string strWritten; // everything on the line at the end, CR as "|"
};

std::ostream& operator<<(std::ostream& stream, const SRunCase& row) {
    return stream << row.pszName;
}

CDeviceOperation Operation(std::initializer_list<CDeviceOperation::CStep> steps) {
    CDeviceOperation operation;
    for (const auto& step : steps) {
        switch (step.m_eStep) {
        case CDeviceOperation::EStep::Arm:
            operation.Arm();
            break;
        case CDeviceOperation::EStep::Write:
            operation.Write(step.m_strCommand);
            break;
        case CDeviceOperation::EStep::Wait:
            operation.Wait(step.m_wait);
            break;
        case CDeviceOperation::EStep::Collect:
            operation.Collect(step.m_wait, step.m_nextLineWait);
            break;
        case CDeviceOperation::EStep::Pump:
            operation.Pump();
            break;
        case CDeviceOperation::EStep::WriteAtSecond:
            operation.WriteAtSecond(step.m_commandForSecond, step.m_strSecondText);
            break;
        }
    }
    return operation;
}

using EStep = CDeviceOperation::EStep;
const CDeviceOperation::CStep kArm{EStep::Arm, {}, {}};
const CDeviceOperation::CStep kPump{EStep::Pump, {}, {}};
CDeviceOperation::CStep Write(const char* psz) {
    return {EStep::Write, psz, {}};
}
CDeviceOperation::CStep Wait(int nMs) {
    return {EStep::Wait, {}, std::chrono::milliseconds{nMs}};
}
CDeviceOperation::CStep Collect(int nMs) {
    return {EStep::Collect, {}, std::chrono::milliseconds{nMs}, nullptr, {}, std::chrono::milliseconds{nMs}};
}

class RunDeviceOperationTest : public ::testing::TestWithParam<SRunCase> {};

TEST_P(RunDeviceOperationTest, RunsTheStepsInOrderBetweenOpenAndClose) {
    CExecutableDirectory dir;
    CRecorder recorder;
    recorder.m_nStopAfterWrites = GetParam().nStopAfterWrites;
    CSerialLink link({}, recorder.m_port->Factory());
    RunDeviceOperation(link, 7, 2400, GetParam().operation, recorder.Hooks());
    EXPECT_THAT(recorder.m_events, ElementsAreArray(GetParam().events));
    EXPECT_EQ(CRecorder::Escaped(recorder.m_port->Written()), GetParam().strWritten);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(recorder.m_port->Opens(), 1);
    EXPECT_EQ(recorder.m_port->Closes(), 1);
    EXPECT_EQ(recorder.m_port->BaudRate(), 2400);
    EXPECT_EQ(recorder.m_port->Device(), PortDevicePath(7));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RunDeviceOperationTest,
    ::testing::Values(
        SRunCase{"WriteThenArmThenWait",
                 Operation({Write("?S\r"), kArm, Wait(500)}),
                 -1,
                 {"arm open ?S|", "wait 500 open ?S|"},
                 "?S|"},
        SRunCase{"ArmBeforeTheWrite",
                 Operation({kArm, Write("=P1\r"), Wait(250)}),
                 -1,
                 {"arm open ", "wait 250 open =P1|"},
                 "=P1|"},
        SRunCase{"TwoWritesAroundAWait",
                 Operation({kArm, Write("=MASTER\r"), Wait(250), Write("?D\r")}),
                 -1,
                 {"arm open ", "wait 250 open =MASTER|"},
                 "=MASTER|?D|"},
        SRunCase{"PumpAfterEachWaitOrBefore",
                 Operation({Write("A\r"), Wait(60), kPump, Write("B\r"), kPump, Wait(60)}),
                 -1,
                 {"wait 60 open A|", "pump open A|", "pump open A|B|", "wait 60 open A|B|"},
                 "A|B|"},
        SRunCase{"AStopRequestEndsBeforeTheNextWrite",
                 Operation({kArm, Write("A\r"), Wait(60), kPump, Write("B\r"), Wait(60), kPump, Write("C\r")}),
                 1,
                 {"arm open ", "wait 60 open A|", "pump open A|"},
                 "A|"},
        SRunCase{"AStopRequestedAtOnceWritesNothing", Operation({kArm, Write("A\r"), Wait(60)}), 0, {"arm open "}, ""},
        SRunCase{"NothingToDoStillOpensAndCloses", Operation({}), -1, {}, ""},
        // A caller that takes the reply later (a window's timer) keeps the link open for the reply's time.
        SRunCase{"ACollectWithoutACollectorWaitsItsTime",
                 Operation({Write("?S\r"), kArm, Collect(500), Write("?D\r")}),
                 -1,
                 {"arm open ?S|", "wait 500 open ?S|"},
                 "?S|?D|"}),
    [](const auto& info) { return std::string(info.param.pszName); });

// ---- a reply taken line by line as it comes ----

// The lines of a scripted reply: "R..." is a line of a list, "E..." the line that completes the reply, anything else
// no line of the reply.
EReplyLine KindOf(const std::string& strLine) {
    if (strLine.starts_with("E"))
        return EReplyLine::Complete;
    if (strLine.starts_with("R"))
        return EReplyLine::Part;
    return EReplyLine::Other;
}

struct SCollectRow {
    const char* pszName;
    std::vector<std::pair<int, std::string>> script; // a pause in ms before each piece of the reply's bytes
    int nFirstLineMs;
    int nNextLineMs;
    int nLeastReplyMs;
    std::vector<std::string> taken;    // the lines the collector saw, in order
    std::vector<std::string> leftOver; // still queued after the operation
    int nAtLeastMs;                    // the step's shortest and longest time; the upper bound is generous
    int nAtMostMs;
};

std::ostream& operator<<(std::ostream& stream, const SCollectRow& row) {
    return stream << row.pszName;
}

class CollectReplyTest : public ::testing::TestWithParam<SCollectRow> {};

TEST_P(CollectReplyTest, TakesTheLinesUntilTheReplyIsCompleteOrItsTimePasses) {
    using Clock = std::chrono::steady_clock;
    const SCollectRow& row = GetParam();
    CExecutableDirectory dir;
    auto port = std::make_shared<CFakePort>();
    CSerialLink link({}, port->Factory());
    std::vector<std::string> taken;
    Clock::time_point armed;
    Clock::time_point pumped;
    COperationHooks hooks;
    // The reply comes after the request: scripted once it is written (a scripted pause holds the port meanwhile).
    hooks.m_arm = [&] {
        armed = Clock::now();
        for (const auto& [nPauseMs, strBytes] : row.script) {
            if (nPauseMs > 0)
                port->PushStall(std::chrono::milliseconds{nPauseMs});
            port->PushBytes(strBytes);
        }
    };
    hooks.m_collect = [&](const std::string& strLine) {
        taken.push_back(strLine);
        return KindOf(strLine);
    };
    hooks.m_leastReplyWait = std::chrono::milliseconds{row.nLeastReplyMs};
    hooks.m_wait = [&](std::chrono::milliseconds wait) {
        EXPECT_EQ(wait, kCollectPause); // the collector's pauses, and nothing else
        std::this_thread::sleep_for(wait);
    };
    // The pump after the reply tells when the step ended.
    hooks.m_pump = [&] {
        pumped = Clock::now();
    };
    CDeviceOperation operation;
    operation.Write("?X\r")
        .Arm()
        .Collect(std::chrono::milliseconds{row.nFirstLineMs}, std::chrono::milliseconds{row.nNextLineMs})
        .Pump();
    RunDeviceOperation(link, 7, 2400, operation, hooks);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(pumped - armed);
    EXPECT_THAT(taken, ElementsAreArray(row.taken));
    std::vector<std::string> left;
    DrainLines(link, [&](const std::string& strLine) { left.push_back(strLine); });
    EXPECT_THAT(left, ElementsAreArray(row.leftOver));
    EXPECT_GE(took.count(), row.nAtLeastMs);
    EXPECT_LE(took.count(), row.nAtMostMs);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CollectReplyTest,
    ::testing::Values(
        SCollectRow{"TheLineThatCompletesTheReplyEndsTheStepAtOnce",
                    {{0, "X1\rE1\rX2\r"}},
                    2000,
                    2000,
                    0,
                    {"X1", "E1"},
                    {"X2"},
                    0,
                    1500},
        SCollectRow{"NoReplyEndsTheStepAfterTheFirstLinesTime", {}, 400, 400, 0, {}, {}, 400, 1900},
        SCollectRow{"LinesOfNoConcernDoNotExtendIt",
                    {{0, "X1\r"}, {150, "X2\r"}, {150, "X3\r"}},
                    400,
                    2000,
                    0,
                    {"X1", "X2", "X3"},
                    {},
                    400,
                    1400},
        SCollectRow{"AReplyLaterThanItsTimeIsNotWaitedFor", {{900, "E1\r"}}, 200, 200, 0, {}, {}, 200, 850},
        SCollectRow{"TheCallerMayGiveTheFirstLineMoreTime", {{500, "E1\r"}}, 200, 200, 1500, {"E1"}, {}, 500, 1450},
        SCollectRow{"AListGoesOnWhileItsNextLinesComeInTime",
                    {{0, "R1\r"}, {200, "R2\r"}, {200, "R3\r"}},
                    2000,
                    500,
                    0,
                    {"R1", "R2", "R3"},
                    {},
                    900,
                    2900},
        SCollectRow{
            "AListEndsWhenItsNextLineIsLate", {{0, "R1\r"}, {1000, "R2\r"}}, 2000, 300, 0, {"R1"}, {}, 300, 950},
        SCollectRow{"AListEndsAtTheLineThatCompletesIt",
                    {{0, "R1\rR2\r"}, {100, "E3\rX4\r"}},
                    2000,
                    2000,
                    0,
                    {"R1", "R2", "E3"},
                    {"X4"},
                    100,
                    1500}),
    [](const auto& info) { return std::string(info.param.pszName); });

TEST(CollectReply, AStopRequestEndsItAndTheOperation) {
    CExecutableDirectory dir;
    auto port = std::make_shared<CFakePort>();
    CSerialLink link({}, port->Factory());
    bool bStop = false;
    COperationHooks hooks;
    hooks.m_arm = [&] {
        port->PushBytes("R1\r");
    };
    hooks.m_collect = [&](const std::string&) {
        bStop = true; // as Ctrl+C would come
        return EReplyLine::Part;
    };
    hooks.m_stopRequested = [&] {
        return bStop;
    };
    CDeviceOperation operation;
    operation.Write("?M\r").Arm().Collect(std::chrono::milliseconds{3000}).Write("?E\r");
    const auto started = std::chrono::steady_clock::now();
    RunDeviceOperation(link, 7, 2400, operation, hooks);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2000ms);
    EXPECT_EQ(port->Written(), "?M\r");
    EXPECT_FALSE(link.IsOpen());
}

// A Wait is a pause of its length for every caller: one that takes its lines as they come is not asked for them.
TEST(CollectReply, AWaitIsAPauseEvenForACallerWithACollector) {
    CExecutableDirectory dir;
    CRecorder recorder;
    COperationHooks hooks = recorder.Hooks();
    int nCollected = 0;
    hooks.m_arm = [&] {
        recorder.m_port->PushBytes("E1\r");
    };
    hooks.m_collect = [&](const std::string&) {
        ++nCollected;
        return EReplyLine::Complete;
    };
    hooks.m_leastReplyWait = std::chrono::milliseconds{1000};
    CSerialLink link({}, recorder.m_port->Factory());
    RunDeviceOperation(link, 7, 2400, Operation({kArm, Write("=L10000\r"), Wait(60)}), hooks);
    EXPECT_EQ(nCollected, 0);
    EXPECT_THAT(recorder.m_events, ElementsAreArray({"wait 60 open =L10000|"}));
}

TEST(RunDeviceOperation, APortThatCannotBeOpenedStillRunsTheStepsWithoutWriting) {
    CExecutableDirectory dir;
    CRecorder recorder;
    recorder.m_port->SetOpenFails(true);
    std::vector<std::string> reported;
    CSerialLink link([&](const std::string& strMessage) { reported.push_back(strMessage); },
                     recorder.m_port->Factory());
    RunDeviceOperation(link, 7, 2400, Operation({kArm, Write("=SLAVE\r"), Wait(250)}), recorder.Hooks());
    EXPECT_THAT(recorder.m_events, ElementsAreArray({"arm closed ", "wait 250 closed "}));
    EXPECT_EQ(recorder.m_port->Written(), "");
    EXPECT_THAT(reported, ElementsAreArray({"Can't open COM port"}));
}

// ---- a command written on the start of a second ----

// "=T" and the digits of a clock text: the clock command's form, built here so that the runner is tested alone.
std::string ClockCommand(std::string_view clockText) {
    std::string strCommand = "=T";
    for (const char c : clockText)
        if (c != ':')
            strCommand += c;
    return strCommand + "\r";
}

// A moment of the computer's local time on 1 May 2024 (no change of summer time near it in any zone).
WallTime LocalMoment(int nHour, int nMinute, int nSecond, std::chrono::microseconds fraction = {}) {
    std::tm local{};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 4;
    local.tm_mday = 1;
    local.tm_hour = nHour;
    local.tm_min = nMinute;
    local.tm_sec = nSecond;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local)) + fraction;
}

// The computer's clock played by the test: it stands still until the runner sleeps, and its sleeper wakes
// m_lateWake after the moment it asked for.
struct CScriptedClock {
    WallTime m_now;
    std::chrono::microseconds m_lateWake{0};
    std::vector<WallTime> m_sleeps;

    CWallClock Clock() {
        return {[this] { return m_now; },
                [this](WallTime moment) {
                    m_sleeps.push_back(moment);
                    m_now = std::max(m_now, moment + m_lateWake);
                }};
    }
};

struct STimedRow {
    const char* pszName;
    WallTime now;
    int nBaudRate;
    std::string strSecondText;          // given to the step; empty: the second's own time
    std::chrono::microseconds lateWake; // how late the scripted sleeper wakes
    WallTime sleptUntil;                // the write's due moment
    WallTime secondStart;
    std::string strSent;
    std::string strWritten;
};

std::ostream& operator<<(std::ostream& stream, const STimedRow& row) {
    return stream << row.pszName;
}

class WriteAtSecondTest : public ::testing::TestWithParam<STimedRow> {};

TEST_P(WriteAtSecondTest, TheLastByteLeavesOnTheStartOfTheSecondItNames) {
    const STimedRow& row = GetParam();
    CExecutableDirectory dir;
    CRecorder recorder;
    CScriptedClock clock{row.now, row.lateWake, {}};
    COperationHooks hooks = recorder.Hooks();
    hooks.m_clock = clock.Clock();
    CDeviceOperation operation;
    operation.Arm().WriteAtSecond(&ClockCommand, row.strSecondText).Wait(std::chrono::milliseconds{250});
    CSerialLink link({}, recorder.m_port->Factory());
    const COperationResult result = RunDeviceOperation(link, 7, row.nBaudRate, operation, hooks);

    EXPECT_TRUE(result.m_bOpened);
    ASSERT_TRUE(result.m_timedWrite);
    const CTimedWrite& write = *result.m_timedWrite;
    EXPECT_THAT(clock.m_sleeps, ElementsAreArray({row.sleptUntil}));
    EXPECT_EQ(write.m_due, row.sleptUntil);
    EXPECT_EQ(write.m_secondStart, row.secondStart);
    EXPECT_EQ(write.m_strSecond, row.strSent);
    EXPECT_EQ(write.m_strCommand, row.strWritten);
    EXPECT_EQ(recorder.m_port->Written(), row.strWritten);
    EXPECT_TRUE(write.m_bWritten);
    EXPECT_EQ(write.m_error, row.lateWake);
    // The caller's timer is armed before the wait for the second, and the reply wait comes after the write.
    EXPECT_THAT(recorder.m_events,
                ElementsAreArray({std::string("arm open "), "wait 250 open " + CRecorder::Escaped(row.strWritten)}));
}

constexpr auto kNineBytesAt2400 = std::chrono::microseconds{37'500}; // 90 bits
constexpr auto kNineBytesAt38400 = std::chrono::microseconds{2'343};

INSTANTIATE_TEST_SUITE_P(
    Rows, WriteAtSecondTest,
    ::testing::Values(
        STimedRow{"TheNextSecondAt2400Baud", LocalMoment(10, 15, 30, 400'000us), 2400, "", 0us,
                  LocalMoment(10, 15, 31) - kNineBytesAt2400, LocalMoment(10, 15, 31), "10:15:31", "=T101531\r"},
        STimedRow{"At38400BaudTheBytesTakeLess", LocalMoment(10, 15, 30, 400'000us), 38400, "", 0us,
                  LocalMoment(10, 15, 31) - kNineBytesAt38400, LocalMoment(10, 15, 31), "10:15:31", "=T101531\r"},
        STimedRow{"ASecondTooCloseToReachIsLeftForTheNext", LocalMoment(10, 15, 30, 961'000us), 2400, "", 0us,
                  LocalMoment(10, 15, 32) - kNineBytesAt2400, LocalMoment(10, 15, 32), "10:15:32", "=T101532\r"},
        STimedRow{"ASecondJustFarEnoughIsTaken", LocalMoment(10, 15, 30, 960'000us), 2400, "", 0us,
                  LocalMoment(10, 15, 31) - kNineBytesAt2400, LocalMoment(10, 15, 31), "10:15:31", "=T101531\r"},
        STimedRow{"OnASecondsStartTheNextOne", LocalMoment(10, 15, 30), 2400, "", 0us,
                  LocalMoment(10, 15, 31) - kNineBytesAt2400, LocalMoment(10, 15, 31), "10:15:31", "=T101531\r"},
        STimedRow{"MidnightNamesTheNewDay", LocalMoment(23, 59, 59, 100'000us), 2400, "", 0us,
                  LocalMoment(24, 0, 0) - kNineBytesAt2400, LocalMoment(24, 0, 0), "00:00:00", "=T000000\r"},
        STimedRow{"AGivenTimeGoesOutOnTheComputersNextSecond", LocalMoment(10, 15, 30, 400'000us), 2400, "08:00:00",
                  0us, LocalMoment(10, 15, 31) - kNineBytesAt2400, LocalMoment(10, 15, 31), "08:00:00", "=T080000\r"},
        STimedRow{"ALateWakeIsTheErrorOfTheWrite", LocalMoment(10, 15, 30, 400'000us), 2400, "", 3'250us,
                  LocalMoment(10, 15, 31) - kNineBytesAt2400, LocalMoment(10, 15, 31), "10:15:31", "=T101531\r"}),
    [](const auto& info) { return std::string(info.param.pszName); });

TEST(WriteAtSecond, AStopRequestBeforeItWaitsForNoSecondAndWritesNothing) {
    CExecutableDirectory dir;
    CRecorder recorder;
    recorder.m_nStopAfterWrites = 0;
    CScriptedClock clock{LocalMoment(10, 15, 30, 400'000us), 0us, {}};
    COperationHooks hooks = recorder.Hooks();
    hooks.m_clock = clock.Clock();
    CDeviceOperation operation;
    operation.Arm().WriteAtSecond(&ClockCommand).Wait(std::chrono::milliseconds{250});
    CSerialLink link({}, recorder.m_port->Factory());
    const COperationResult result = RunDeviceOperation(link, 7, 2400, operation, hooks);
    EXPECT_FALSE(result.m_timedWrite);
    EXPECT_TRUE(clock.m_sleeps.empty());
    EXPECT_EQ(recorder.m_port->Written(), "");
    EXPECT_FALSE(link.IsOpen());
}

TEST(WriteAtSecond, APortThatCannotBeOpenedStillTakesTheSecondAndSaysTheWriteFailed) {
    CExecutableDirectory dir;
    CRecorder recorder;
    recorder.m_port->SetOpenFails(true);
    CScriptedClock clock{LocalMoment(10, 15, 30, 400'000us), 0us, {}};
    COperationHooks hooks = recorder.Hooks();
    hooks.m_clock = clock.Clock();
    CDeviceOperation operation;
    operation.WriteAtSecond(&ClockCommand);
    CSerialLink link({}, recorder.m_port->Factory());
    const COperationResult result = RunDeviceOperation(link, 7, 2400, operation, hooks);
    EXPECT_FALSE(result.m_bOpened);
    ASSERT_TRUE(result.m_timedWrite);
    EXPECT_FALSE(result.m_timedWrite->m_bWritten);
    EXPECT_EQ(result.m_timedWrite->m_strSecond, "10:15:31");
    EXPECT_EQ(recorder.m_port->Written(), "");
}

struct SLineTimeRow {
    std::size_t nBytes;
    int nBaudRate;
    std::chrono::microseconds expected;
};

TEST(LineTime, TenBitsAByteAtTheBaudRate) {
    const SLineTimeRow rows[] = {
        {9, 2400, 37'500us}, {9, 4800, 18'750us}, {9, 9600, 9'375us}, {9, 19200, 4'687us},
        {9, 38400, 2'343us}, {1, 2400, 4'166us},  {0, 2400, 0us},     {9, 0, 0us}, // no rate: no time
        {9, -2400, 0us},
    };
    for (const auto& row : rows)
        EXPECT_EQ(LineTime(row.nBytes, row.nBaudRate), row.expected) << row.nBytes << " at " << row.nBaudRate;
}

TEST(RunDeviceOperation, ADeviceNamedByItsPathIsOpenedAsItIs) {
    CExecutableDirectory dir;
    CRecorder recorder;
    CSerialLink link({}, recorder.m_port->Factory());
    const COperationResult result =
        RunDeviceOperation(link, std::string("/dev/ttyUSB3"), 9600, Operation({Write("?S\r")}), recorder.Hooks());
    EXPECT_TRUE(result.m_bOpened);
    EXPECT_FALSE(result.m_timedWrite);
    EXPECT_EQ(recorder.m_port->Device(), "/dev/ttyUSB3");
    EXPECT_EQ(recorder.m_port->BaudRate(), 9600);
    EXPECT_EQ(recorder.m_port->Written(), "?S\r");
    EXPECT_EQ(recorder.m_port->Closes(), 1);
}

// ---- the COM number rule ----

struct SDeviceCase {
    const char* pszName;
    int nPort;
    bool bLinkPresent;
    std::string strExpected;
};

std::ostream& operator<<(std::ostream& stream, const SDeviceCase& row) {
    return stream << row.pszName;
}

class PortDevicePathRuleTest : public ::testing::TestWithParam<SDeviceCase> {};

TEST_P(PortDevicePathRuleTest, TheLinkWhenPresentElseTheBuiltInLine) {
    EXPECT_EQ(PortDevicePath(GetParam().nPort, "/opt/k", GetParam().bLinkPresent), GetParam().strExpected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PortDevicePathRuleTest,
    ::testing::Values(SDeviceCase{"Link", 7, true, "/opt/k/ports/COM7"}, SDeviceCase{"NoLink", 7, false, "/dev/ttyS6"},
                      SDeviceCase{"FirstBuiltInPort", 1, false, "/dev/ttyS0"},
                      SDeviceCase{"TwentiethPort", 20, false, "/dev/ttyS19"},
                      SDeviceCase{"PortZeroOfAListWithoutSelection", 0, false, "/dev/ttyS-1"},
                      SDeviceCase{"LinkForPortZero", 0, true, "/opt/k/ports/COM0"},
                      SDeviceCase{"LowestNumberDoesNotOverflow", INT_MIN, false, "/dev/ttyS-2147483649"},
                      SDeviceCase{"HighestNumber", INT_MAX, false, "/dev/ttyS2147483646"}),
    [](const auto& info) { return std::string(info.param.pszName); });

} // namespace
