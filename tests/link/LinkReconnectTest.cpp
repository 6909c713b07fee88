// A link that survives unplugging: the reader notices the vanished device, waits for it without spinning, and
// opens the same device again by itself when it is back.

#include "base/ExecutableDirectory.h"
#include "link/DeviceOperation.h"
#include "link/SerialLink.h"
#include "programs/TransferCodec.h"
#include "tests/support/FakePort.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using ::testing::IsEmpty;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kComPort = 7;

// The first line that begins with the prefix, within `timeout`; empty when none came.
std::string WaitForLine(CSerialLink& link, const std::string& strPrefix, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        std::string strLine;
        if (link.PopLine(strLine)) {
            if (strLine.rfind(strPrefix, 0) == 0)
                return strLine;
        } else {
            std::this_thread::sleep_for(2ms);
        }
    }
    return {};
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class LinkReconnectTest : public ::testing::Test {
protected:
    CExecutableDirectory m_dir;
    std::vector<std::string> m_messages;
    CSerialLink m_link{[this](const std::string& strMessage) {
        m_messages.push_back(strMessage);
    }};
};

TEST_F(LinkReconnectTest, ASimulatorEndedAndStartedAgainIsTalkedToWithoutReopening) {
    auto first = std::make_unique<CSimProcess>(m_dir.Path(), std::vector<std::string>{"--com", "7"});
    ASSERT_TRUE(m_link.Open(kComPort, 2400));
    ASSERT_TRUE(m_link.Write("?S\r"));
    ASSERT_FALSE(WaitForLine(m_link, "S?", 2s).empty());

    first.reset(); // the unit is switched off: its line and its link go
    ASSERT_TRUE(WaitUntil([this] { return !m_link.IsConnected(); }, 2s));
    EXPECT_TRUE(m_link.IsOpen());
    EXPECT_FALSE(m_link.Write("?S\r"));

    CSimProcess second(m_dir.Path(), {"--com", "7"});
    const auto back = Clock::now();
    ASSERT_TRUE(WaitUntil([this] { return m_link.IsConnected(); }, 2s));
    EXPECT_LT(Clock::now() - back, 1500ms); // one reopening period and the open itself
    EXPECT_EQ(m_link.ReopenCount(), 1u);
    ASSERT_TRUE(m_link.Write("?S\r"));
    EXPECT_FALSE(WaitForLine(m_link, "S?", 2s).empty());
    EXPECT_THAT(m_messages, IsEmpty()); // a reconnection shows no message box
    m_link.Close();
    EXPECT_FALSE(m_link.IsOpen());
}

TEST_F(LinkReconnectTest, ThePulledCableOfAStreamingUnitIsPluggedInAgain) {
    CSimProcess sim(m_dir.Path(), {"--com", "7"});
    ASSERT_TRUE(m_link.Open(kComPort, 2400));
    ASSERT_TRUE(m_link.Write("?D\r"));
    ASSERT_FALSE(WaitForLine(m_link, "D?", 2s).empty());

    sim.Signal(SIGUSR1); // cable out
    ASSERT_TRUE(WaitUntil([this] { return !m_link.IsConnected(); }, 2s));
    std::this_thread::sleep_for(700ms);
    std::string strLine;
    while (m_link.PopLine(strLine)) {
    }
    sim.Signal(SIGUSR2); // cable in: the unit never stopped streaming
    EXPECT_FALSE(WaitForLine(m_link, "D?", 3s).empty());
    EXPECT_EQ(m_link.ReopenCount(), 1u);
}

TEST_F(LinkReconnectTest, WhileTheDeviceIsAwayTheReaderTriesTwiceASecondAndCloseIsPrompt) {
    auto port = std::make_shared<CFakePort>();
    CSerialLink link({}, port->Factory());
    ASSERT_TRUE(link.Open(kComPort, 4800));
    port->SetVanished(true);
    port->SetOpenFails(true);
    std::this_thread::sleep_for(300ms);
    const int nOpensBefore = port->OpenAttempts();
    const int nReadsBefore = port->Reads();
    std::this_thread::sleep_for(2s);
    const int nAttempts = port->OpenAttempts() - nOpensBefore;
    EXPECT_GE(nAttempts, 2);
    EXPECT_LE(nAttempts, 6);
    EXPECT_EQ(port->Reads(), nReadsBefore); // no read on a port that is not there
    EXPECT_FALSE(link.IsConnected());

    port->SetOpenFails(false);
    port->SetVanished(false);
    ASSERT_TRUE(WaitUntil([&] { return link.IsConnected(); }, 2s));
    EXPECT_EQ(port->BaudRate(), 4800); // the same line settings
    const auto started = Clock::now();
    link.Close();
    EXPECT_LT(Clock::now() - started, 1s);
    EXPECT_FALSE(port->Misused());
    EXPECT_EQ(port->LivePorts(), 0);
}

TEST_F(LinkReconnectTest, ClosingWhileTheDeviceIsAwayEndsTheWaitAtOnce) {
    auto port = std::make_shared<CFakePort>();
    CSerialLink link({}, port->Factory());
    ASSERT_TRUE(link.Open(kComPort, 2400));
    port->SetVanished(true);
    port->SetOpenFails(true);
    ASSERT_TRUE(WaitUntil([&] { return !link.IsConnected(); }, 2s));
    const auto started = Clock::now();
    link.Close();
    EXPECT_LT(Clock::now() - started, 600ms);
    EXPECT_EQ(port->LivePorts(), 0);
}

TEST_F(LinkReconnectTest, ADownloadWhoseDeviceEndsHalfWayFinishesWithoutHanging) {
    CPtyPeer peer;
    peer.LinkAsPort(m_dir.Path(), kComPort);
    int nWrites = 0;
    bool bConnectedAtTheEnd = true;
    COperationHooks hooks;
    hooks.m_wait = [&](std::chrono::milliseconds) {
        std::this_thread::sleep_for(1ms); // the pace does not matter here, only what the writes do
        if (++nWrites == 100)
            peer.HangUp();
    };
    const auto started = Clock::now();
    RunDeviceOperation(m_link, kComPort, 2400, DownloadOperation(), hooks);
    EXPECT_LT(Clock::now() - started, 10s);
    EXPECT_EQ(nWrites, kDownloadRequests); // every step ran; the writes after the hang-up failed
    EXPECT_FALSE(m_link.IsOpen());
    bConnectedAtTheEnd = m_link.IsConnected();
    EXPECT_FALSE(bConnectedAtTheEnd);
    EXPECT_THAT(m_messages, IsEmpty());
}

} // namespace
