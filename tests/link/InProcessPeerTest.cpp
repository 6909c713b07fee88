// The recording peer served in the process, on every platform: what it records and sends, the read rules of its
// port, and its hang-up.

#include "tests/support/InProcessPeer.h"
#include "link/InProcessPorts.h"
#include "link/SerialLink.h"
#include "tests/support/MessageRecorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
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

constexpr int kPort = 11;

std::vector<std::string> LinesFor(CSerialLink& link, std::chrono::milliseconds duration) {
    std::vector<std::string> lines;
    const auto deadline = Clock::now() + duration;
    do {
        std::this_thread::sleep_for(10ms);
        DrainLines(link, [&](const std::string& strLine) { lines.push_back(strLine); });
    } while (Clock::now() < deadline);
    return lines;
}

TEST(InProcessPeer, ServesItsNumberAsARecordingPeerWhileItLives) {
    {
        const CInProcessPeer peer(kPort);
        EXPECT_EQ(peer.Port(), kPort);
        EXPECT_EQ(InProcessPortDescription(kPort), "recording peer");
    }
    EXPECT_FALSE(IsInProcessPort(kPort));
}

TEST(InProcessPeer, RecordsEveryByteAndTheBaudRateOfTheOpening) {
    CInProcessPeer peer(kPort);
    CSerialLink link;
    EXPECT_FALSE(peer.IsOpen());
    ASSERT_TRUE(link.Open(kPort, 4800));
    EXPECT_TRUE(peer.IsOpen());
    EXPECT_EQ(peer.BaudRate(), 4800);
    ASSERT_TRUE(link.Write("?S\r"));
    EXPECT_EQ(peer.ReadUntil(3, 3s), "?S\r");
    ASSERT_TRUE(link.Write("=B5\r"));
    EXPECT_EQ(peer.Written(), "?S\r=B5\r"); // also what a read has taken
    EXPECT_EQ(peer.ReadFor(50ms), "=B5\r");
    link.Close();
    EXPECT_FALSE(peer.IsOpen());
}

TEST(InProcessPeer, WhatWasSentBeforeTheProgramOpenedIsPurgedByTheOpen) {
    CInProcessPeer peer(kPort);
    CSerialLink link;
    ASSERT_TRUE(peer.Write("OLD\r"));
    ASSERT_TRUE(link.Open(kPort, 2400));
    ASSERT_TRUE(peer.Write("NEW\r"));
    EXPECT_THAT(LinesFor(link, 500ms), ElementsAre("NEW"));
}

TEST(InProcessPeer, AfterAHangUpThePortCannotBeOpened) {
    CInProcessPeer peer(kPort);
    peer.HangUp();
    CMessageRecorder messages;
    CSerialLink link(messages.Get());
    EXPECT_FALSE(link.Open(kPort, 2400));
    EXPECT_THAT(messages.m_messages, ElementsAre("Can't open COM port"));
    EXPECT_EQ(link.LastOpenError(), "no such device (unplugged?)");
}

// ---- The read rules of its port ----

enum class ECall { kRead, kWaitForInput };

struct SReadRuleRow {
    const char* pszName;
    ECall eCall;
    const char* pszBefore; // sent by the peer before the call
    const char* pszDuring; // sent by the peer 200 ms into the call
    bool bHangUpBefore;
    int nResult; // Read: its result; WaitForInput: 1 for true, 0 for false
    const char* pszRead;
    std::chrono::milliseconds atLeast;
    std::chrono::milliseconds below;
};

std::ostream& operator<<(std::ostream& stream, const SReadRuleRow& row) {
    return stream << row.pszName;
}

class InProcessPeerReadTest : public ::testing::TestWithParam<SReadRuleRow> {
protected:
    CInProcessPeer m_peer{kPort};
    std::unique_ptr<CSerialPort> m_port = CreateInProcessPort(kPort);
};

constexpr auto kTimeout = std::chrono::milliseconds{250};
constexpr auto kLongTimeout = std::chrono::milliseconds{3000};

TEST_P(InProcessPeerReadTest, FollowsTheReadRulesOfASerialPort) {
    const SReadRuleRow& row = GetParam();
    ASSERT_TRUE(m_port->Open(InProcessPortDevice(kPort)));
    if (*row.pszBefore) {
        ASSERT_TRUE(m_peer.Write(row.pszBefore));
    }
    if (row.bHangUpBefore)
        m_peer.HangUp();
    std::thread sender;
    if (*row.pszDuring)
        sender = std::thread([&] {
            std::this_thread::sleep_for(200ms);
            m_peer.Write(row.pszDuring);
        });

    const auto timeout = *row.pszDuring ? kLongTimeout : kTimeout;
    std::array<char, 10> buffer{};
    const auto started = Clock::now();
    const int nResult = row.eCall == ECall::kRead
                            ? m_port->Read(buffer.data(), static_cast<int>(buffer.size()), timeout)
                            : (m_port->WaitForInput(timeout) ? 1 : 0);
    const auto elapsed = Clock::now() - started;
    if (sender.joinable())
        sender.join();

    EXPECT_EQ(nResult, row.nResult);
    EXPECT_GE(elapsed, row.atLeast);
    EXPECT_LT(elapsed, row.below);
    if (row.eCall == ECall::kRead && nResult > 0) {
        EXPECT_EQ(std::string(buffer.data(), static_cast<std::size_t>(nResult)), row.pszRead);
    }
    EXPECT_EQ(m_port->HasVanished(), row.bHangUpBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, InProcessPeerReadTest,
    ::testing::Values(
        SReadRuleRow{"SilenceReadsNothingAfterTheWholeTimeout", ECall::kRead, "", "", false, 0, "", 240ms, 2000ms},
        SReadRuleRow{"WaitingBytesAreReadAtOnce", ECall::kRead, "S?1\r", "", false, 4, "S?1\r", 0ms, 200ms},
        SReadRuleRow{"NoMoreThanAskedFor", ECall::kRead, "0123456789AB", "", false, 10, "0123456789", 0ms, 200ms},
        SReadRuleRow{"TheFirstByteEndsTheWait", ECall::kRead, "", "D?\r", false, 3, "D?\r", 150ms, 1500ms},
        SReadRuleRow{"AHungUpLineFailsAtOnce", ECall::kRead, "", "", true, -1, "", 0ms, 200ms},
        SReadRuleRow{"WaitingOnSilenceEndsAfterTheTimeout", ECall::kWaitForInput, "", "", false, 0, "", 240ms, 2000ms},
        SReadRuleRow{"WaitingBytesEndTheWaitAtOnce", ECall::kWaitForInput, "S?1\r", "", false, 1, "", 0ms, 200ms},
        SReadRuleRow{"TheFirstByteEndsTheWaitForInput", ECall::kWaitForInput, "", "D?\r", false, 1, "", 150ms, 1500ms},
        SReadRuleRow{"AHungUpLineEndsTheWaitAtOnce", ECall::kWaitForInput, "", "", true, 1, "", 0ms, 200ms}),
    [](const ::testing::TestParamInfo<SReadRuleRow>& info) { return std::string(info.param.pszName); });

} // namespace
