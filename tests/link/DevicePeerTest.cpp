// The device peer of this platform, as tests of the link and the windows use it: a pseudo-terminal linked as
// ports/COM<n> on Linux, a port served in the process on Windows. The program's link opens COM n by its number; the
// peer gets its commands byte for byte, sends it lines, and hangs up as an unplugged device.

#include "tests/support/DevicePeer.h"
#include "link/SerialLink.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPort = 9;

class DevicePeerTest : public ::testing::Test {
protected:
    // The lines the link queues within `duration`.
    std::vector<std::string> LinesFor(std::chrono::milliseconds duration) {
        std::vector<std::string> lines;
        const auto deadline = Clock::now() + duration;
        do {
            std::this_thread::sleep_for(10ms);
            DrainLines(m_link, [&](const std::string& strLine) { lines.push_back(strLine); });
        } while (Clock::now() < deadline);
        return lines;
    }

    CExecutableDirectory m_dir; // where the pseudo-terminal's ports/COM<n> goes
    CDevicePeer m_peer{m_dir.Path(), kPort};
    CMessageRecorder m_messages;
    CSerialLink m_link{m_messages.Get()};
};

struct SCommandsRow {
    const char* pszName;
    std::vector<std::string> commands;
};

std::ostream& operator<<(std::ostream& stream, const SCommandsRow& row) {
    return stream << row.pszName;
}

class DevicePeerCommandsTest : public DevicePeerTest, public ::testing::WithParamInterface<SCommandsRow> {};

TEST_P(DevicePeerCommandsTest, ThePeerGetsTheCommandsByteForByte) {
    ASSERT_TRUE(m_link.Open(kPort, 2400));
    std::string strExpected;
    for (const std::string& strCommand : GetParam().commands) {
        ASSERT_TRUE(m_link.Write(strCommand));
        strExpected += strCommand;
    }
    EXPECT_EQ(m_peer.ReadUntil(strExpected.size(), 3s), strExpected);
    EXPECT_EQ(m_peer.ReadFor(100ms), ""); // and nothing more
    m_link.Close();
    EXPECT_THAT(m_messages.m_messages, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DevicePeerCommandsTest,
    ::testing::Values(SCommandsRow{"CurrentValues", {"?S\r"}}, SCommandsRow{"Clock", {"=T123456\r"}},
                      SCommandsRow{"Mode", {"=MASTER\r"}},
                      SCommandsRow{"DownloadRequestsOneAfterTheOther", {"?L101\r", "?L102\r", "?C10\r"}},
                      SCommandsRow{"EveryByteValue", {std::string("\x00\x7f\x80\xff\n\r", 6)}}),
    [](const ::testing::TestParamInfo<SCommandsRow>& info) { return std::string(info.param.pszName); });

struct SLinesRow {
    const char* pszName;
    std::string strSent;
    std::vector<std::string> lines;
};

std::ostream& operator<<(std::ostream& stream, const SLinesRow& row) {
    return stream << row.pszName;
}

class DevicePeerLinesTest : public DevicePeerTest, public ::testing::WithParamInterface<SLinesRow> {};

TEST_P(DevicePeerLinesTest, TheProgramGetsThePeersLines) {
    ASSERT_TRUE(m_link.Open(kPort, 2400));
    ASSERT_TRUE(m_peer.Write(GetParam().strSent));
    EXPECT_THAT(LinesFor(500ms), ElementsAreArray(GetParam().lines));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DevicePeerLinesTest,
    ::testing::Values(SLinesRow{"OneLine", "S?     0:30    1 2 1 0:30 9\r", {"S?     0:30    1 2 1 0:30 9"}},
                      SLinesRow{"TwoLinesAtOnce", "P=3\rC=2\r", {"P=3", "C=2"}}, SLinesRow{"AnEmptyLine", "\r", {""}},
                      SLinesRow{"APartialLineIsNotALine", "D?     0:2", {}}),
    [](const ::testing::TestParamInfo<SLinesRow>& info) { return std::string(info.param.pszName); });

TEST_F(DevicePeerTest, ReadUntilTakesNoMoreThanItIsAskedFor) {
    ASSERT_TRUE(m_link.Open(kPort, 2400));
    ASSERT_TRUE(m_link.Write("?S\r=B5\r"));
    EXPECT_EQ(m_peer.ReadUntil(3, 3s), "?S\r");
    EXPECT_EQ(m_peer.ReadUntil(4, 3s), "=B5\r");
    const auto started = Clock::now();
    EXPECT_EQ(m_peer.ReadUntil(1, 300ms), "");
    EXPECT_GE(Clock::now() - started, 250ms);
}

TEST_F(DevicePeerTest, TheLineOfAnOpenPortIsNotOpenedTwice) {
    ASSERT_TRUE(m_link.Open(kPort, 2400));
    CSerialLink second(m_messages.Get());
    EXPECT_FALSE(second.Open(kPort, 2400));
    EXPECT_THAT(m_messages.m_messages, ElementsAreArray({"Can't open COM port"}));
    EXPECT_THAT(second.LastOpenError(), HasSubstr("in use"));
    m_link.Close();
    EXPECT_TRUE(second.Open(kPort, 2400));
}

TEST_F(DevicePeerTest, AHangUpIsAnUnpluggedDevice) {
    ASSERT_TRUE(m_link.Open(kPort, 2400));
    ASSERT_TRUE(m_link.IsConnected());
    m_peer.HangUp();
    EXPECT_TRUE(m_peer.IsHungUp());
    EXPECT_FALSE(m_peer.Write("S?\r"));
    const auto deadline = Clock::now() + 3s;
    while (m_link.IsConnected() && Clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(m_link.IsConnected());
    EXPECT_TRUE(m_link.IsOpen()); // waiting for the device to come back, without a message
    EXPECT_FALSE(m_link.Write("?S\r"));
    EXPECT_THAT(m_messages.m_messages, IsEmpty());
    EXPECT_EQ(m_peer.ReadFor(100ms), "");
}

} // namespace
