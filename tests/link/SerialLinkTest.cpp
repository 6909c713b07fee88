// The link against a scripted port: framing, the reader's pacing, opening, closing and writing.

#include "link/SerialLink.h"
#include "i18n/Language.h"
#include "tests/support/FakePort.h"
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
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> Drain(CSerialLink& link) {
    std::vector<std::string> lines;
    for (std::string strLine; link.PopLine(strLine);)
        lines.push_back(strLine);
    return lines;
}

std::chrono::milliseconds Elapsed(Clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since);
}

class SerialLinkTest : public ::testing::Test {
protected:
    CExecutableDirectory m_dir;
    std::shared_ptr<CFakePort> m_port = std::make_shared<CFakePort>();
    std::vector<std::string> m_messages;
    CSerialLink m_link{[this](const std::string& strMessage) { m_messages.push_back(strMessage); }, m_port->Factory()};
};

// ---- Framing: what the reader queues for the bytes that the reads hand out ----

// One read of the script: bytes, or one of the markers below.
const std::string kSilence = "<silence>";
const std::string kFailure = "<failure>";

struct SFramingCase {
    const char* pszName;
    std::vector<std::string> reads;
    std::vector<std::string> expected;
};

std::ostream& operator<<(std::ostream& stream, const SFramingCase& row) {
    return stream << row.pszName;
}

class SerialLinkFramingTest : public SerialLinkTest, public ::testing::WithParamInterface<SFramingCase> {};

TEST_P(SerialLinkFramingTest, QueuesTheLinesOfTheReads) {
    ASSERT_TRUE(m_link.Open(7, 2400));
    for (const std::string& strRead : GetParam().reads) {
        if (strRead == kSilence)
            m_port->PushSilence();
        else if (strRead == kFailure)
            m_port->PushFailure();
        else
            m_port->PushBytes(strRead);
    }
    ASSERT_TRUE(m_port->WaitScriptDone(5s));
    m_link.Close(); // the reader has handled every read once it has ended
    EXPECT_THAT(Drain(m_link), ElementsAreArray(GetParam().expected));
}

const std::string k255(255, 'x');
const std::string k256(256, 'y');
const std::string k300(300, 'z');

INSTANTIATE_TEST_SUITE_P(
    Rows, SerialLinkFramingTest,
    ::testing::Values(SFramingCase{"OneLineOneRead", {"S?12\r"}, {"S?12"}},
                      SFramingCase{"LineSplitOverReads", {"S?1", "23", "4\r"}, {"S?1234"}},
                      SFramingCase{"TwoLinesInOneReadAndAThirdStarted", {"AB\rCD\rEF", "G\r"}, {"AB", "CD", "EFG"}},
                      SFramingCase{"LoneCarriageReturnIsAnEmptyLine", {"\r"}, {""}},
                      SFramingCase{"EmptyLinesBetweenLines", {"A\r\r\rB\r"}, {"A", "", "", "B"}},
                      SFramingCase{"LineFeedStaysInTheNextLine", {"A\r\nB\r"}, {"A", "\nB"}},
                      SFramingCase{
                          "NothingElseIsStripped", {std::string(" a\0b \t\r", 7)}, {std::string(" a\0b \t", 6)}},
                      SFramingCase{"LongerThanOneReadInChunks",
                                   {"0123456789ABCDEFGHIJ\rKLMNOPQRSTUVWXYZ\r"},
                                   {"0123456789ABCDEFGHIJ", "KLMNOPQRSTUVWXYZ"}},
                      SFramingCase{"PartialLineWithoutEndIsNotQueued", {"S?12"}, {}},
                      SFramingCase{"SilenceDropsThePartBefore", {"AB", kSilence, "CD\r"}, {"CD"}},
                      SFramingCase{"FailedReadDropsThePartBefore", {"AB", kFailure, "CD\r"}, {"CD"}},
                      SFramingCase{"SilenceBetweenLinesLosesNothing", {"AB\r", kSilence, "CD\r"}, {"AB", "CD"}},
                      SFramingCase{"LongestLineIsKept", {k255 + "\r"}, {k255}},
                      SFramingCase{"OneCharacterTooManyDropsTheLine", {k256 + "\rOK\r"}, {"OK"}},
                      SFramingCase{"OverlongLineIsDroppedWholeNotSplit", {k300 + "\r", "OK\r"}, {"OK"}},
                      SFramingCase{"TwoOverlongLinesInARow", {k300 + "\r" + k300 + "\r", "OK\r"}, {"OK"}},
                      SFramingCase{"SilenceEndsAnOverlongLine", {k300, kSilence, "TAIL\r"}, {"TAIL"}},
                      SFramingCase{"FailedReadEndsAnOverlongLine", {k300, kFailure, "TAIL\r"}, {"TAIL"}}),
    [](const ::testing::TestParamInfo<SFramingCase>& info) { return std::string(info.param.pszName); });

// ---- Open ----

TEST_F(SerialLinkTest, OpenUsesThePortsDeviceAndBaudRateAndPurgesItsInput) {
    m_port->PushBytes("OLD\r"); // waiting in the port before the link opens it
    ASSERT_TRUE(m_link.Open(7, 19200));
    EXPECT_TRUE(m_link.IsOpen());
    EXPECT_EQ(m_port->Device(), PortDevicePath(7));
    EXPECT_EQ(m_port->BaudRate(), 19200);
    EXPECT_EQ(m_port->Purges(), 1);
    m_port->PushBytes("NEW\r");
    ASSERT_TRUE(m_port->WaitScriptDone(5s));
    m_link.Close();
    EXPECT_THAT(Drain(m_link), ElementsAre("NEW"));
    EXPECT_THAT(m_messages, IsEmpty());
}

TEST_F(SerialLinkTest, MissingPortIsReportedOnceAndStartsNoReader) {
    m_port->SetOpenFails(true);
    EXPECT_FALSE(m_link.Open(3, 9600));
    EXPECT_THAT(m_messages, ElementsAre("Can't open COM port"));
    EXPECT_FALSE(m_link.IsOpen());

    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(m_port->Reads(), 0);
    EXPECT_FALSE(m_link.Write("?S\r"));
    EXPECT_EQ(m_port->Written(), "");

    const auto started = Clock::now();
    m_link.Close();
    EXPECT_GE(Elapsed(started), 240ms);
    EXPECT_LT(Elapsed(started), 2s);
    EXPECT_FALSE(m_port->Misused());

    EXPECT_FALSE(m_link.Open(3, 9600));
    EXPECT_THAT(m_messages, ElementsAre("Can't open COM port", "Can't open COM port"));
}

TEST_F(SerialLinkTest, LinkWithoutReporterStillFailsQuietly) {
    m_port->SetOpenFails(true);
    CSerialLink link({}, m_port->Factory());
    EXPECT_FALSE(link.Open(1, 2400));
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(SerialLinkTest, OpenOnAnOpenLinkClosesTheFirstPortAndKeepsOneReader) {
    ASSERT_TRUE(m_link.Open(1, 2400));
    ASSERT_TRUE(m_link.Open(2, 4800));
    EXPECT_EQ(m_port->Opens(), 2);
    EXPECT_EQ(m_port->Closes(), 1);
    EXPECT_EQ(m_port->LivePorts(), 1);
    EXPECT_EQ(m_port->BaudRate(), 4800);

    m_port->ForgetReaders();
    std::this_thread::sleep_for(700ms); // several silent reads
    EXPECT_EQ(m_port->Readers().size(), 1u);

    m_port->PushBytes("S?\r");
    ASSERT_TRUE(m_port->WaitScriptDone(5s));
    m_link.Close();
    EXPECT_THAT(Drain(m_link), ElementsAre("S?"));
    EXPECT_EQ(m_port->LivePorts(), 0);
    EXPECT_FALSE(m_port->Misused());
}

// ---- Write ----

TEST_F(SerialLinkTest, WritePutsExactlyTheCommandsBytesOnTheLine) {
    ASSERT_TRUE(m_link.Open(7, 2400));
    EXPECT_TRUE(m_link.Write("?S\r"));
    EXPECT_EQ(m_port->Written(), std::string("\x3F\x53\x0D"));
    EXPECT_TRUE(m_link.Write("=P3\r"));
    EXPECT_EQ(m_port->Written(), "?S\r=P3\r");
}

TEST_F(SerialLinkTest, WriteThatTimesOutFails) {
    ASSERT_TRUE(m_link.Open(7, 2400));
    m_port->SetWriteTimesOut(true);
    const auto started = Clock::now();
    EXPECT_FALSE(m_link.Write("?S\r"));
    EXPECT_GE(Elapsed(started), 190ms); // the port was given the whole write time-out
    EXPECT_LT(Elapsed(started), 2s);
    EXPECT_THAT(m_messages, IsEmpty());
}

TEST_F(SerialLinkTest, WriteOnAClosedLinkFails) {
    EXPECT_FALSE(m_link.Write("?S\r"));
    ASSERT_TRUE(m_link.Open(7, 2400));
    m_link.Close();
    EXPECT_FALSE(m_link.Write("?S\r"));
    EXPECT_EQ(m_port->Written(), "");
    EXPECT_FALSE(m_port->Misused());
}

TEST_F(SerialLinkTest, WriteWaitsForTheReadInProgress) {
    ASSERT_TRUE(m_link.Open(7, 2400));
    m_port->PushStall(300ms);
    std::this_thread::sleep_for(50ms); // the reader is inside the long read
    const auto started = Clock::now();
    EXPECT_TRUE(m_link.Write("?S\r"));
    EXPECT_GE(Elapsed(started), 150ms);
}

// ---- PopLine and the queue ----

TEST_F(SerialLinkTest, PopLineOnAnEmptyQueueLeavesItsArgument) {
    std::string strLine = "unchanged";
    EXPECT_FALSE(m_link.PopLine(strLine));
    EXPECT_EQ(strLine, "unchanged");
    ASSERT_TRUE(m_link.Open(7, 2400));
    EXPECT_FALSE(m_link.PopLine(strLine));
    EXPECT_EQ(strLine, "unchanged");
}

TEST_F(SerialLinkTest, LinesOutliveCloseAndComeBeforeNewerOnes) {
    ASSERT_TRUE(m_link.Open(7, 2400));
    m_port->PushBytes("M?1\rM?2\r");
    ASSERT_TRUE(m_port->WaitScriptDone(5s));
    m_link.Close();
    EXPECT_FALSE(m_link.IsOpen());

    ASSERT_TRUE(m_link.Open(7, 2400));
    m_port->PushBytes("M?3\r");
    ASSERT_TRUE(m_port->WaitScriptDone(5s));
    m_link.Close();
    EXPECT_THAT(Drain(m_link), ElementsAre("M?1", "M?2", "M?3"));
}

TEST_F(SerialLinkTest, LinesArePoppedWhileTheReaderRuns) {
    ASSERT_TRUE(m_link.Open(7, 2400));
    std::vector<std::string> lines;
    const auto deadline = Clock::now() + 5s;
    for (int i = 0; i < 50; ++i)
        m_port->PushBytes("D?" + std::to_string(i) + "\r");
    for (std::string strLine; lines.size() < 50 && Clock::now() < deadline;) {
        if (m_link.PopLine(strLine))
            lines.push_back(strLine);
        else
            std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(lines.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(lines[static_cast<std::size_t>(i)], "D?" + std::to_string(i));
}

// Each line carries the moment its carriage return was read: a line that comes after a stall is stamped after it.
TEST_F(SerialLinkTest, LinesCarryTheMomentTheirEndArrived) {
    ASSERT_TRUE(m_link.Open(7, 2400));
    const WallTime before = std::chrono::system_clock::now();
    m_port->PushBytes("0002 ST 10:00:00.00\r");
    m_port->PushStall(300ms);
    m_port->PushBytes("D? x\r");
    CReceivedLine first;
    CReceivedLine second;
    const auto deadline = Clock::now() + 5s;
    while (!m_link.PopLine(first) && Clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    while (!m_link.PopLine(second) && Clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    const WallTime after = std::chrono::system_clock::now();
    EXPECT_EQ(first.m_strText, "0002 ST 10:00:00.00");
    EXPECT_EQ(second.m_strText, "D? x");
    EXPECT_GE(first.m_arrived, before);
    EXPECT_GE(second.m_arrived - first.m_arrived, 290ms);
    EXPECT_LE(second.m_arrived, after);
}

// ---- Failures of the device ----

TEST_F(SerialLinkTest, VanishedDeviceDoesNotKeepTheReaderSpinning) {
    ASSERT_TRUE(m_link.Open(7, 2400));
    m_port->SetVanished(true);
    std::this_thread::sleep_for(100ms);
    const int nBefore = m_port->Reads();
    std::this_thread::sleep_for(1s);
    const int nReads = m_port->Reads() - nBefore;
    // A failed read costs the pass as long as a silent one: about four passes a second, not a thousand.
    EXPECT_GE(nReads, 1);
    EXPECT_LE(nReads, 6);

    const auto started = Clock::now();
    m_link.Close();
    EXPECT_LT(Elapsed(started), 1s);
    EXPECT_FALSE(m_port->Misused());
}

TEST_F(SerialLinkTest, ReaderGoesOnAfterTheDeviceReturns) {
    ASSERT_TRUE(m_link.Open(7, 2400));
    m_port->PushBytes("AB");
    ASSERT_TRUE(m_port->WaitScriptDone(5s));
    m_port->SetVanished(true);
    std::this_thread::sleep_for(300ms);
    m_port->SetVanished(false);
    // The link has let go of the dead port and opens it again by itself; what the device sends then arrives.
    const auto deadline = Clock::now() + 3s;
    while (m_link.ReopenCount() == 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(m_link.ReopenCount(), 1u);
    m_port->PushBytes("CD\r");
    ASSERT_TRUE(m_port->WaitScriptDone(5s));
    m_link.Close();
    EXPECT_THAT(Drain(m_link), ElementsAre("CD"));
    EXPECT_EQ(m_port->Opens(), 2);
    EXPECT_FALSE(m_port->Misused());
}

// ---- Close ----

TEST_F(SerialLinkTest, CloseTakesOneReadTimeOutEvenWhenClosed) {
    const auto started = Clock::now();
    m_link.Close();
    EXPECT_GE(Elapsed(started), 240ms);
    EXPECT_LT(Elapsed(started), 2s);
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_EQ(m_port->Opens(), 0);
}

TEST_F(SerialLinkTest, ClosePurgesAndClosesThePort) {
    ASSERT_TRUE(m_link.Open(7, 2400));
    const auto started = Clock::now();
    m_link.Close();
    EXPECT_GE(Elapsed(started), 240ms);
    EXPECT_LT(Elapsed(started), 2s);
    EXPECT_EQ(m_port->Purges(), 2);
    EXPECT_EQ(m_port->Closes(), 1);
    EXPECT_FALSE(m_port->IsOpen());
    EXPECT_EQ(m_port->LivePorts(), 0);
}

TEST_F(SerialLinkTest, CloseWaitsForAReadThatOverstays) {
    ASSERT_TRUE(m_link.Open(7, 2400));
    m_port->PushStall(700ms);
    std::this_thread::sleep_for(50ms); // the reader is inside the long read
    const auto started = Clock::now();
    m_link.Close();
    EXPECT_GE(Elapsed(started), 600ms);
    EXPECT_FALSE(m_port->Misused()); // the port was not closed under the read
    EXPECT_FALSE(m_port->IsOpen());
}

TEST_F(SerialLinkTest, DestructorClosesAnOpenLink) {
    {
        CSerialLink link({}, m_port->Factory());
        ASSERT_TRUE(link.Open(7, 2400));
        EXPECT_EQ(m_port->LivePorts(), 1);
    }
    EXPECT_FALSE(m_port->IsOpen());
    EXPECT_EQ(m_port->Closes(), 1);
    EXPECT_EQ(m_port->LivePorts(), 0);
    EXPECT_FALSE(m_port->Misused());
}

TEST_F(SerialLinkTest, DestructorOfAClosedLinkDoesNotWait) {
    const auto started = Clock::now();
    { CSerialLink link({}, m_port->Factory()); }
    EXPECT_LT(Elapsed(started), 200ms);
}

} // namespace
