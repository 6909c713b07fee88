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
#include <memory>
#include <ostream>
#include <string>
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
                return static_cast<int>(std::count(m_port->Written().begin(), m_port->Written().end(), '\r')) >=
                       m_nStopAfterWrites;
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
        case CDeviceOperation::EStep::Pump:
            operation.Pump();
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
        SRunCase{"NothingToDoStillOpensAndCloses", Operation({}), -1, {}, ""}),
    [](const auto& info) { return std::string(info.param.pszName); });

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
