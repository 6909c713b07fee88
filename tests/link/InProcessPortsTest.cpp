// COM ports served inside the process: which port a link's Open takes, one opening at a time, a registration that
// goes while its port is open, and the entry in the COM port list. Scripted ports stand for the devices.

#include "link/InProcessPorts.h"
#include "link/ComPorts.h"
#include "link/SerialLink.h"
#include "tests/support/FakePort.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

using Clock = std::chrono::steady_clock;

// A number that no port of the machine has in the tests, so that a mistake cannot open a real line.
constexpr int kPort = 12;

// Waits until condition() holds; false after `timeout`.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

std::vector<std::string> Drain(CSerialLink& link) {
    std::vector<std::string> lines;
    DrainLines(link, [&](const std::string& strLine) { lines.push_back(strLine); });
    return lines;
}

TEST(InProcessPorts, ANumberIsServedWhileItsRegistrationLives) {
    EXPECT_FALSE(IsInProcessPort(kPort));
    EXPECT_EQ(InProcessPortDescription(kPort), std::nullopt);
    {
        const auto device = std::make_shared<CFakePort>();
        const CInProcessPortRegistration registration(kPort, "simulated unit", device->Factory());
        EXPECT_EQ(registration.Port(), kPort);
        EXPECT_TRUE(IsInProcessPort(kPort));
        EXPECT_EQ(InProcessPortDescription(kPort), "simulated unit");
        EXPECT_FALSE(IsInProcessPort(kPort + 1));
    }
    EXPECT_FALSE(IsInProcessPort(kPort));
    EXPECT_EQ(InProcessPortDescription(kPort), std::nullopt);
}

TEST(InProcessPorts, ANumberServedAlreadyIsRefusedAndTheFirstServesOn) {
    const auto first = std::make_shared<CFakePort>();
    const auto second = std::make_shared<CFakePort>();
    {
        const CInProcessPortRegistration registration(kPort, "simulated unit", first->Factory());
        EXPECT_THROW(CInProcessPortRegistration(kPort, "recording peer", second->Factory()), std::logic_error);
        EXPECT_EQ(InProcessPortDescription(kPort), "simulated unit");

        CSerialLink link;
        ASSERT_TRUE(link.Open(kPort, 2400));
        EXPECT_EQ(first->Opens(), 1);
        EXPECT_EQ(second->OpenAttempts(), 0);
        link.Close();
    }
    // Once the first has gone, the number is free for the next.
    const CInProcessPortRegistration registration(kPort, "recording peer", second->Factory());
    EXPECT_EQ(InProcessPortDescription(kPort), "recording peer");
}

TEST(InProcessPorts, AnUnservedNumberOpensNothing) {
    const std::unique_ptr<CSerialPort> port = CreateInProcessPort(kPort);
    EXPECT_FALSE(port->Open(InProcessPortDevice(kPort)));
    EXPECT_EQ(port->OpenError(), "not served in this process");
    char byte = 0;
    EXPECT_EQ(port->Read(&byte, 1, 10ms), -1);
    EXPECT_FALSE(port->Write("?S\r", 10ms));
}

TEST(InProcessPorts, TheDeviceTextSaysThePortIsServedInTheProcess) {
    EXPECT_EQ(InProcessPortDevice(7), "COM7 (served in this process)");
    EXPECT_EQ(InProcessPortDevice(20), "COM20 (served in this process)");
}

// ---- A link on a number served in the process ----

class InProcessPortLinkTest : public ::testing::Test {
protected:
    CExecutableDirectory m_dir; // where a link would look for the system's ports
    std::shared_ptr<CFakePort> m_device = std::make_shared<CFakePort>();
    std::optional<CInProcessPortRegistration> m_registration{std::in_place, kPort, "simulated unit",
                                                             m_device->Factory()};
    CMessageRecorder m_messages;
};

// Which port Open takes: the registered one for a served number, the link's own (the system's) for any other.
struct SWhichPortRow {
    const char* pszName;
    int nOpened;
    bool bInProcess;
};

class InProcessPortWhichTest : public InProcessPortLinkTest, public ::testing::WithParamInterface<SWhichPortRow> {};

TEST_P(InProcessPortWhichTest, OpenTakesTheRegisteredPortOnlyForItsNumber) {
    const SWhichPortRow& row = GetParam();
    const auto system = std::make_shared<CFakePort>(); // stands for the system's ports
    CSerialLink link(m_messages.Get(), system->Factory());
    ASSERT_TRUE(link.Open(row.nOpened, 9600));
    const std::shared_ptr<CFakePort>& opened = row.bInProcess ? m_device : system;
    const std::shared_ptr<CFakePort>& untouched = row.bInProcess ? system : m_device;
    EXPECT_EQ(opened->Opens(), 1);
    EXPECT_EQ(untouched->OpenAttempts(), 0);
    EXPECT_EQ(opened->Device(), row.bInProcess ? InProcessPortDevice(row.nOpened) : PortDevicePath(row.nOpened));
    EXPECT_EQ(opened->BaudRate(), 9600);
    EXPECT_EQ(opened->Purges(), 1);

    ASSERT_TRUE(link.Write("?S\r"));
    EXPECT_EQ(opened->Written(), "?S\r");
    opened->PushBytes("S? 1:30\r");
    ASSERT_TRUE(opened->WaitScriptDone(5s));
    link.Close();
    EXPECT_THAT(Drain(link), ElementsAre("S? 1:30"));
    EXPECT_EQ(opened->Closes(), 1);
    EXPECT_FALSE(opened->Misused());
    EXPECT_THAT(m_messages.m_messages, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Rows, InProcessPortWhichTest,
                         ::testing::Values(SWhichPortRow{"TheServedNumber", kPort, true},
                                           SWhichPortRow{"TheNumberBelow", kPort - 1, false},
                                           SWhichPortRow{"TheNumberAbove", kPort + 1, false}),
                         [](const ::testing::TestParamInfo<SWhichPortRow>& info) {
                             return std::string(info.param.pszName);
                         });

// A second opening of the port while one is open fails, as on a real COM port; once the first has let go, it works.
struct SSecondOpenRow {
    const char* pszName;
    bool bFirstClosed;
    bool bSecondOpens;
};

class InProcessPortExclusiveTest : public InProcessPortLinkTest,
                                   public ::testing::WithParamInterface<SSecondOpenRow> {};

TEST_P(InProcessPortExclusiveTest, OnePortOfTheNumberIsOpenAtATime) {
    const SSecondOpenRow& row = GetParam();
    CSerialLink first(m_messages.Get());
    CSerialLink second(m_messages.Get());
    ASSERT_TRUE(first.Open(kPort, 2400));
    if (row.bFirstClosed)
        first.Close();

    EXPECT_EQ(second.Open(kPort, 2400), row.bSecondOpens);
    EXPECT_EQ(second.IsOpen(), row.bSecondOpens);
    EXPECT_EQ(m_device->Opens(), row.bSecondOpens ? 2 : 1);
    EXPECT_FALSE(m_device->Misused()); // never opened twice at once
    if (row.bSecondOpens) {
        EXPECT_THAT(m_messages.m_messages, IsEmpty());
        EXPECT_EQ(second.LastOpenError(), "");
    } else {
        EXPECT_THAT(m_messages.m_messages, ElementsAre("Can't open COM port"));
        EXPECT_THAT(second.LastOpenError(), HasSubstr("in use"));
        // The first link goes on undisturbed.
        EXPECT_TRUE(first.Write("?S\r"));
        EXPECT_EQ(m_device->Written(), "?S\r");
    }
    first.Close();
    second.Close();
    EXPECT_EQ(m_device->LivePorts(), 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, InProcessPortExclusiveTest,
                         ::testing::Values(SSecondOpenRow{"WhileTheFirstIsOpen", false, false},
                                           SSecondOpenRow{"AfterTheFirstClosed", true, true}),
                         [](const ::testing::TestParamInfo<SSecondOpenRow>& info) {
                             return std::string(info.param.pszName);
                         });

TEST_F(InProcessPortLinkTest, AnOpenTheDeviceRefusesLeavesThePortFree) {
    m_device->SetOpenFails(true);
    CSerialLink link(m_messages.Get());
    EXPECT_FALSE(link.Open(kPort, 2400));
    EXPECT_THAT(m_messages.m_messages, ElementsAre("Can't open COM port"));
    m_device->SetOpenFails(false);
    EXPECT_TRUE(link.Open(kPort, 2400));
    link.Close();
}

TEST_F(InProcessPortLinkTest, ClosingTwiceAndDestroyingAnOpenLinkLetGoOfThePort) {
    {
        CSerialLink link;
        ASSERT_TRUE(link.Open(kPort, 2400));
        link.Close();
        link.Close();
        ASSERT_TRUE(link.Open(kPort, 2400));
    } // destroyed open
    EXPECT_EQ(m_device->LivePorts(), 0);
    CSerialLink link;
    EXPECT_TRUE(link.Open(kPort, 2400));
    link.Close();
    EXPECT_EQ(m_device->Opens(), 3);
    EXPECT_EQ(m_device->Closes(), 3);
}

TEST_F(InProcessPortLinkTest, ARegistrationThatGoesWhileOpenIsAnUnpluggedDeviceUntilTheNumberIsServedAgain) {
    CSerialLink link(m_messages.Get());
    ASSERT_TRUE(link.Open(kPort, 2400));
    ASSERT_TRUE(link.IsConnected());

    m_registration.reset();
    EXPECT_FALSE(link.Write("?S\r")); // the line is gone
    ASSERT_TRUE(WaitFor([&] { return !link.IsConnected(); }, 3s));
    EXPECT_TRUE(link.IsOpen()); // waiting for the device, without a message
    EXPECT_EQ(m_device->LivePorts(), 0);
    std::this_thread::sleep_for(2 * CSerialLink::kReopenPeriod);
    EXPECT_FALSE(link.IsConnected());
    EXPECT_EQ(link.ReopenCount(), 0u);

    // Served again, by another device: the link takes it up as a USB adapter plugged back in.
    const auto device = std::make_shared<CFakePort>();
    const CInProcessPortRegistration registration(kPort, "simulated unit", device->Factory());
    ASSERT_TRUE(WaitFor([&] { return link.IsConnected(); }, 3s));
    EXPECT_EQ(link.ReopenCount(), 1u);
    EXPECT_EQ(device->Device(), InProcessPortDevice(kPort));
    EXPECT_TRUE(link.Write("?S\r"));
    EXPECT_EQ(device->Written(), "?S\r");
    device->PushBytes("S? back\r");
    ASSERT_TRUE(device->WaitScriptDone(5s));
    link.Close();
    EXPECT_THAT(Drain(link), ElementsAre("S? back"));
    EXPECT_THAT(m_messages.m_messages, IsEmpty());
    EXPECT_EQ(m_device->Opens(), 1); // the first device was never opened again
}

// ---- The COM port list ----

TEST(InProcessPortList, AServedNumberIsListedWithItsDescriptionAndItsDevice) {
    CTempDir dir;
    CTempDir byId;
    const auto unit = std::make_shared<CFakePort>();
    const auto peer = std::make_shared<CFakePort>();
    std::optional<CInProcessPortRegistration> unitRegistration{std::in_place, 7, "simulated unit", unit->Factory()};
    const CInProcessPortRegistration peerRegistration(kPort, "recording peer", peer->Factory());

    const struct {
        int nPort;
        const char* pszText; // nullptr: the platform's own entry
    } rows[] = {{7, "COM 7 - simulated unit"}, {kPort, "COM 12 - recording peer"}, {6, nullptr}, {8, nullptr}};
    const std::vector<CComPortEntry> entries = DescribeComPorts(dir.Path(), byId.Path());
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(kComPortCount));
    for (const auto& row : rows) {
        const CComPortEntry& entry = entries[static_cast<std::size_t>(row.nPort - 1)];
        const std::optional<CComPortEntry> own = InProcessComPortEntry(row.nPort);
        EXPECT_EQ(own.has_value(), row.pszText != nullptr) << row.nPort;
        if (own) {
            EXPECT_EQ(own->m_strText, entry.m_strText) << row.nPort << ": the list takes the number's own entry";
            EXPECT_EQ(own->m_strDevice, entry.m_strDevice) << row.nPort;
        }
        if (row.pszText) {
            EXPECT_EQ(entry.m_strText, row.pszText);
            EXPECT_EQ(entry.m_strDevice, InProcessPortDevice(row.nPort));
            EXPECT_THAT(entry.m_strDevice, HasSubstr("served in this process"));
        } else {
            EXPECT_THAT(entry.m_strText, ::testing::Not(HasSubstr("simulated unit"))) << row.nPort;
            EXPECT_THAT(entry.m_strDevice, ::testing::Not(HasSubstr("served in this process"))) << row.nPort;
        }
    }

    unitRegistration.reset();
    EXPECT_FALSE(InProcessComPortEntry(7)) << "a number no longer served has no entry of its own";
    const CComPortEntry seven = DescribeComPorts(dir.Path(), byId.Path())[6];
    EXPECT_THAT(seven.m_strText, ::testing::Not(HasSubstr("simulated unit")));
    EXPECT_EQ(seven.m_strDevice, PortDevicePath(7, dir.Path(), false));
}

} // namespace
