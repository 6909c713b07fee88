// The link with the system's port over a real pseudo-terminal, opened by COM port number through ports/COM<n>.

#include "i18n/Language.h"
#include "link/SerialLink.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kComPort = 7;

// Pops lines until nCount have come or `timeout` has passed.
std::vector<std::string> WaitForLines(CSerialLink& link, std::size_t nCount, std::chrono::milliseconds timeout) {
    std::vector<std::string> lines;
    const auto deadline = Clock::now() + timeout;
    while (lines.size() < nCount && Clock::now() < deadline) {
        std::string strLine;
        if (link.PopLine(strLine))
            lines.push_back(strLine);
        else
            std::this_thread::sleep_for(2ms);
    }
    return lines;
}

class SerialLinkPtyTest : public ::testing::Test {
protected:
    void SetUp() override { m_peer.LinkAsPort(m_dir.Path(), kComPort); }

    CSerialLink MakeLink() {
        return CSerialLink([this](const std::string& strMessage) { m_messages.push_back(strMessage); });
    }

    CExecutableDirectory m_dir;
    CPtyPeer m_peer;
    std::vector<std::string> m_messages;
    CSerialLink m_link{[this](const std::string& strMessage) {
        m_messages.push_back(strMessage);
    }};
};

TEST_F(SerialLinkPtyTest, CommandGoesOutAndReplyComesBack) {
    ASSERT_TRUE(m_link.Open(kComPort, 9600));
    EXPECT_TRUE(m_link.Write("?S\r"));
    EXPECT_EQ(m_peer.ReadUntil(3, 2s), std::string("\x3F\x53\x0D"));
    ASSERT_TRUE(m_peer.Write("S?  12:00:00\r"));
    EXPECT_THAT(WaitForLines(m_link, 1, 2s), ElementsAre("S?  12:00:00"));
    EXPECT_THAT(m_messages, IsEmpty());
}

TEST_F(SerialLinkPtyTest, LineWithShortPausesArrivesWhole) {
    ASSERT_TRUE(m_link.Open(kComPort, 9600));
    ASSERT_TRUE(m_peer.Write("S?1"));
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(m_peer.Write("23"));
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(m_peer.Write("4\rM?5\rM"));
    ASSERT_TRUE(m_peer.Write("?6\r"));
    EXPECT_THAT(WaitForLines(m_link, 3, 2s), ElementsAre("S?1234", "M?5", "M?6"));
}

TEST_F(SerialLinkPtyTest, PauseOfThreeHundredMillisecondsDropsThePartBefore) {
    ASSERT_TRUE(m_link.Open(kComPort, 9600));
    ASSERT_TRUE(m_peer.Write("S?12"));
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(m_peer.Write("34\r"));
    EXPECT_THAT(WaitForLines(m_link, 1, 2s), ElementsAre("34"));
}

TEST_F(SerialLinkPtyTest, OverlongLineIsDroppedAndTheNextArrivesIntact) {
    ASSERT_TRUE(m_link.Open(kComPort, 9600));
    const std::string strLongest(255, 'L');
    ASSERT_TRUE(m_peer.Write(std::string(1000, 'x') + "\r" + strLongest + "\rS?OK\r"));
    EXPECT_THAT(WaitForLines(m_link, 2, 3s), ElementsAre(strLongest, "S?OK"));
    EXPECT_THAT(WaitForLines(m_link, 1, 300ms), IsEmpty());
}

TEST_F(SerialLinkPtyTest, SecondLinkToTheSamePortIsRefused) {
    ASSERT_TRUE(m_link.Open(kComPort, 9600));
    CSerialLink second = MakeLink();
    EXPECT_FALSE(second.Open(kComPort, 9600));
    EXPECT_THAT(m_messages, ElementsAre("Can't open COM port"));
    EXPECT_FALSE(second.Write("?S\r"));

    // The first link still works.
    EXPECT_TRUE(m_link.Write("?E\r"));
    EXPECT_EQ(m_peer.ReadUntil(3, 2s), "?E\r");
    ASSERT_TRUE(m_peer.Write("E?\r"));
    EXPECT_THAT(WaitForLines(m_link, 1, 2s), ElementsAre("E?"));

    m_link.Close();
    EXPECT_TRUE(second.Open(kComPort, 9600));
    ASSERT_TRUE(m_peer.Write("M?\r"));
    EXPECT_THAT(WaitForLines(second, 1, 2s), ElementsAre("M?"));
    EXPECT_EQ(m_messages.size(), 1u);
}

TEST_F(SerialLinkPtyTest, ReopeningAnOpenLinkKeepsOneReaderOnThePort) {
    ASSERT_TRUE(m_link.Open(kComPort, 9600));
    // The port is exclusive: this succeeds only if the link let go of its first opening.
    ASSERT_TRUE(m_link.Open(kComPort, 9600));
    EXPECT_THAT(m_messages, IsEmpty());
    std::string strBurst;
    for (int i = 0; i < 20; ++i)
        strBurst += "D?" + std::to_string(i) + "\r";
    ASSERT_TRUE(m_peer.Write(strBurst));
    const std::vector<std::string> lines = WaitForLines(m_link, 20, 3s);
    ASSERT_EQ(lines.size(), 20u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(lines[static_cast<std::size_t>(i)], "D?" + std::to_string(i));
}

TEST_F(SerialLinkPtyTest, VanishedDeviceLeavesTheLinkUsable) {
    ASSERT_TRUE(m_link.Open(kComPort, 9600));
    ASSERT_TRUE(m_peer.Write("S?1\r"));
    EXPECT_THAT(WaitForLines(m_link, 1, 2s), ElementsAre("S?1"));

    m_peer.HangUp();
    std::this_thread::sleep_for(600ms);
    EXPECT_FALSE(m_link.Write("?S\r"));
    const auto started = Clock::now();
    m_link.Close();
    EXPECT_LT(Clock::now() - started, 1500ms);
    EXPECT_FALSE(m_link.IsOpen());

    // A new device behind the same port number.
    CPtyPeer replacement;
    replacement.LinkAsPort(m_dir.Path(), kComPort);
    ASSERT_TRUE(m_link.Open(kComPort, 9600));
    ASSERT_TRUE(replacement.Write("S?2\r"));
    EXPECT_THAT(WaitForLines(m_link, 1, 2s), ElementsAre("S?2"));
    EXPECT_THAT(m_messages, IsEmpty());
}

TEST_F(SerialLinkPtyTest, MissingPortIsReported) {
    // A link to nothing, so that no serial line of this machine is tried.
    std::filesystem::create_symlink(m_dir.File("nothing"), m_dir.File("ports/COM9"));
    EXPECT_FALSE(m_link.Open(9, 9600));
    EXPECT_THAT(m_messages, ElementsAre("Can't open COM port"));
    EXPECT_FALSE(m_link.IsOpen());
}

} // namespace

namespace {

// A command written while the line is silent goes out at once, not when the reader's wait for a byte ends: the
// transfers write one command every 60 ms and must not be held to the 250 ms of a silent read.
TEST_F(SerialLinkPtyTest, CommandsOnASilentLineGoOutWithoutWaitingForTheReader) {
    ASSERT_TRUE(m_link.Open(kComPort, 38400));
    std::this_thread::sleep_for(50ms); // the reader is now waiting for the first byte
    const auto started = Clock::now();
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(m_link.Write("?L100\r"));
        std::this_thread::sleep_for(60ms);
    }
    const auto elapsed = Clock::now() - started;
    std::string strExpected;
    for (int i = 0; i < 10; ++i)
        strExpected += "?L100\r";
    EXPECT_EQ(m_peer.ReadUntil(strExpected.size(), 2s), strExpected);
    // 600 ms of pauses; ten writes that each waited for a silent read would take about 2.5 s.
    EXPECT_LT(elapsed, 1200ms);
}

// The reason an opening failed stays with the link until its next opening, for a caller to name it.
TEST_F(SerialLinkPtyTest, LastOpenErrorSaysWhyTheLastOpenFailedAndEmptiesOnSuccess) {
    const std::string strPlainFile = m_dir.File("not-a-line");
    std::filesystem::create_symlink(m_dir.File("nowhere"), m_dir.Path() + "/ports/COM8");
    { std::ofstream(strPlainFile) << "x"; }
    const struct {
        const char* pszName;
        std::string strDevice;
        bool bOpens;
        std::string strError;
    } rows[] = {
        {"no such device", m_dir.File("missing-tty"), false, "no such device (unplugged?)"},
        {"a line that opens", m_peer.SlavePath(), true, ""},
        {"a plain file", strPlainFile, false, "not a serial line"},
        {"a COM link that leads nowhere", m_dir.Path() + "/ports/COM8", false, "no such device (unplugged?)"},
        {"the line again", m_dir.Path() + "/ports/COM7", true, ""},
    };
    CSerialLink link;
    EXPECT_EQ(link.LastOpenError(), "");
    for (const auto& row : rows) {
        EXPECT_EQ(link.OpenDevice(row.strDevice, 2400), row.bOpens) << row.pszName;
        EXPECT_EQ(link.LastOpenError(), row.strError) << row.pszName;
        link.Close();
        EXPECT_EQ(link.LastOpenError(), row.strError) << row.pszName << ": closing keeps it";
    }
}

} // namespace
