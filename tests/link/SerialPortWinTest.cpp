// The Windows port, and the link over it, against the device simulator on a real line: the simulator runs on this
// machine on a pseudo-terminal that Wine maps as COM port KALVORA_TEST_COM (cmake/WithSimulator.sh starts it). Each
// suite needs the simulator started with its own options, which KALVORA_SIM_OPTIONS names; CTest runs each suite
// with its simulator (tests/link/CMakeLists.txt).

#include "link/DeviceOperation.h"
#include "link/SerialLink.h"
#include "link/SerialPort.h"
#include "link/WinPort.h"
#include "programs/ProgramStore.h"
#include "programs/TransferCodec.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kReadTimeout = 250ms;
constexpr auto kWriteTimeout = 200ms;
constexpr auto kReplyTime = 100ms; // far more than the simulator takes to answer
constexpr int kUnmappedPort = 250;
// The simulator's answer to "?S" when it starts: program 1 at CD0 (0:30), brightness 9, frozen.
constexpr std::string_view kStatusLine = "S?     0:30    1 2 1 0:30 9";
// The simulator's pause goes in the middle of a line: after the first half of its characters.
constexpr std::string_view kStatusHead = kStatusLine.substr(0, kStatusLine.size() / 2);
constexpr std::string_view kStatusTail = kStatusLine.substr(kStatusLine.size() / 2);
// Generous bounds for the rules on a shared, noisy machine; each lies far from the wrong behaviour it tells apart
// (a read that waits out its 250 ms instead of returning, or returns at once instead of waiting).
constexpr double kAtOnceMs = 40;
constexpr double kSilenceMinMs = 235;
constexpr double kSilenceMaxMs = 400;

std::string Environment(const char* pszName) {
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr ? pszValue : "";
}

int TestPort() {
    return std::atoi(Environment("KALVORA_TEST_COM").c_str());
}

double MsSince(Clock::time_point started) {
    return std::chrono::duration<double, std::milli>(Clock::now() - started).count();
}

struct STimedRead {
    int nResult = 0;
    double ms = 0;
    std::string strData;
};

STimedRead ReadOnce(CSerialPort& port, int nMax, std::chrono::milliseconds timeout = kReadTimeout) {
    char buffer[256]{};
    const auto started = Clock::now();
    STimedRead read;
    read.nResult = port.Read(buffer, nMax, timeout);
    read.ms = MsSince(started);
    if (read.nResult > 0)
        read.strData.assign(buffer, static_cast<std::size_t>(read.nResult));
    return read;
}

// Reads until the line has been silent for one read, and gives everything read.
std::string ReadUntilSilent(CSerialPort& port) {
    std::string strAll;
    for (int i = 0; i < 100; ++i) {
        const STimedRead read = ReadOnce(port, 256);
        if (read.nResult <= 0)
            break;
        strAll += read.strData;
    }
    return strAll;
}

// The lines a link queues within `wait`, popped as a window's timer pops them.
std::vector<std::string> PopLinesFor(CSerialLink& link, std::chrono::milliseconds wait) {
    std::vector<std::string> lines;
    const auto until = Clock::now() + wait;
    while (Clock::now() < until) {
        std::this_thread::sleep_for(20ms);
        DrainLines(link, [&](const std::string& strLine) { lines.push_back(strLine); });
    }
    return lines;
}

// A port on the simulator's line, opened and set as the link sets it. The suite's simulator must run with the
// options given.
class CSimulatorLine : public ::testing::Test {
protected:
    explicit CSimulatorLine(std::string strOptions) : m_strOptions(std::move(strOptions)) {}

    void SetUp() override {
        ASSERT_GT(TestPort(), 0) << "KALVORA_TEST_COM is not set: run this through ctest (cmake/WithSimulator.sh)";
        ASSERT_EQ(Environment("KALVORA_SIM_OPTIONS"), m_strOptions) << "this suite needs the simulator started with "
                                                                       "the options \""
                                                                    << m_strOptions << '"';
        ASSERT_TRUE(m_port.Open(PortDevicePath(TestPort()))) << m_port.OpenError();
        EXPECT_TRUE(m_port.Configure(9600));
        m_port.PurgeInput();
    }
    void TearDown() override {
        ReadUntilSilent(m_port); // what one test asked for does not reach the next
        m_port.Close();
    }
    void Send(std::string_view command) { ASSERT_TRUE(m_port.Write(command, kWriteTimeout)); }
    // The first half of the status line, which comes at once after "?S", perhaps over more than one read.
    std::string ReadHead() {
        std::string strHead;
        while (strHead.size() < kStatusHead.size()) {
            const STimedRead read = ReadOnce(m_port, 64);
            if (read.nResult <= 0 || read.ms > kAtOnceMs)
                break;
            strHead += read.strData;
        }
        return strHead;
    }

    std::string m_strOptions;
    CWinPort m_port;
};

// ---- The simulator as it starts: every line whole, without pauses ----

class WinPortLine : public CSimulatorLine {
protected:
    WinPortLine() : CSimulatorLine("--frozen") {}
};

struct SOpenErrorRow {
    unsigned long nError;
    const char* pszWords;
};

TEST(WinPortOpenError, NamesTheReason) {
    const SOpenErrorRow rows[] = {
        {0, "not a serial line"},
        {ERROR_FILE_NOT_FOUND, "no such device (unplugged?)"},
        {ERROR_PATH_NOT_FOUND, "no such device (unplugged?)"},
        {ERROR_ACCESS_DENIED, "in use by another program"}, // what the driver says to a second open
        {ERROR_SHARING_VIOLATION, "in use by another program"},
        {ERROR_ALREADY_EXISTS, "in use by another program"}, // the claim of another program
        {ERROR_GEN_FAILURE, "the device does not answer (input/output error)"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CWinPort::DescribeOpenError(row.nError), row.pszWords) << row.nError;
    // Any other error in the system's own words, without the full stop and the line end.
    const std::string strOther = CWinPort::DescribeOpenError(ERROR_INVALID_NAME);
    EXPECT_FALSE(strOther.empty());
    EXPECT_NE(strOther.back(), '\n');
    EXPECT_NE(strOther.back(), '.');
}

struct SPathRow {
    int nPort;
    const char* pszDevice;
};

TEST(WinPortPath, IsTheDeviceNamespaceNameForEveryPort) {
    const SPathRow rows[] = {{1, "\\\\.\\COM1"}, {7, "\\\\.\\COM7"}, {10, "\\\\.\\COM10"}, {20, "\\\\.\\COM20"}};
    for (const auto& row : rows) {
        EXPECT_EQ(PortDevicePath(row.nPort), row.pszDevice);
        EXPECT_EQ(PortDevicePath(row.nPort, "C:/Kalvora", true), row.pszDevice); // no file stands for a port
    }
}

TEST(WinPortOpen, APortWithoutADeviceDoesNotOpenAndSaysWhy) {
    CWinPort port;
    EXPECT_FALSE(port.Open(PortDevicePath(kUnmappedPort)));
    EXPECT_EQ(port.OpenError(), "no such device (unplugged?)");
    EXPECT_FALSE(port.IsOpen());
    char chByte = 0;
    EXPECT_EQ(port.Read(&chByte, 1, kReadTimeout), -1);
    EXPECT_FALSE(port.Write("?S\r", kWriteTimeout));
}

TEST(WinPortOpen, AFileIsNotASerialLine) {
    char szDirectory[MAX_PATH]{};
    char szPath[MAX_PATH]{};
    ASSERT_GT(GetTempPathA(MAX_PATH, szDirectory), 0u);
    ASSERT_NE(GetTempFileNameA(szDirectory, "kal", 0, szPath), 0u); // creates the file
    CWinPort port;
    EXPECT_FALSE(port.Open(szPath));
    EXPECT_EQ(port.OpenError(), "not a serial line");
    DeleteFileA(szPath);
}

TEST(WinPortOpen, ASecondOpenFailsWhileThePortIsOpenAndWorksAfterClose) {
    const std::string strDevice = PortDevicePath(TestPort());
    CWinPort first;
    ASSERT_TRUE(first.Open(strDevice)) << first.OpenError();
    EXPECT_TRUE(first.OpenError().empty());
    CWinPort second;
    EXPECT_FALSE(second.Open(strDevice));
    EXPECT_EQ(second.OpenError(), "in use by another program");
    // Another spelling of the same port is the same port.
    CWinPort third;
    EXPECT_FALSE(third.Open("\\\\.\\com" + std::to_string(TestPort())));
    first.Close();
    EXPECT_TRUE(second.Open(strDevice)) << second.OpenError();
}

TEST(WinLinkOpen, APortWithoutADeviceIsReportedOnceAndLeavesTheLinkClosed) {
    std::vector<std::string> reports;
    CSerialLink link([&](const std::string& strMessage) { reports.push_back(strMessage); });
    EXPECT_FALSE(link.Open(kUnmappedPort, 9600));
    EXPECT_EQ(reports, std::vector<std::string>{"Can't open COM port"});
    EXPECT_FALSE(link.IsOpen());
    EXPECT_FALSE(link.Write("?S\r"));
    const auto started = Clock::now();
    link.Close();
    EXPECT_GE(MsSince(started), kSilenceMinMs);
    EXPECT_LT(MsSince(started), 1000);
}

TEST_F(WinPortLine, ASilentLineReadsZeroAfterTheReadTimeout) {
    const STimedRead read = ReadOnce(m_port, 10);
    EXPECT_EQ(read.nResult, 0);
    EXPECT_GE(read.ms, kSilenceMinMs);
    EXPECT_LE(read.ms, kSilenceMaxMs);
}

TEST_F(WinPortLine, AReadReturnsAtOnceWithTheBytesWaitingThoughItAsksForMore) {
    Send("?S\r");
    std::this_thread::sleep_for(kReplyTime);
    const STimedRead read = ReadOnce(m_port, 64);
    EXPECT_EQ(read.strData, std::string(kStatusLine) + "\r");
    EXPECT_LT(read.ms, kAtOnceMs);
}

TEST_F(WinPortLine, AReadTakesNoMoreThanAskedAndTheRestComesAtOnce) {
    Send("?S\r");
    std::this_thread::sleep_for(kReplyTime);
    const STimedRead first = ReadOnce(m_port, 10);
    const STimedRead second = ReadOnce(m_port, 10);
    const STimedRead rest = ReadOnce(m_port, 64);
    EXPECT_EQ(first.strData, kStatusLine.substr(0, 10));
    EXPECT_EQ(second.strData, kStatusLine.substr(10, 10));
    EXPECT_EQ(rest.strData, std::string(kStatusLine.substr(20)) + "\r");
    EXPECT_LT(first.ms, kAtOnceMs);
    EXPECT_LT(second.ms, kAtOnceMs);
    EXPECT_LT(rest.ms, kAtOnceMs);
}

TEST_F(WinPortLine, AReadThatStartsBeforeTheReplyReturnsWithItsFirstBytes) {
    Send("?S\r");
    const STimedRead read = ReadOnce(m_port, 64); // the reply is on its way
    ASSERT_GT(read.nResult, 0);
    EXPECT_EQ(read.strData, (std::string(kStatusLine) + "\r").substr(0, read.strData.size()));
    EXPECT_LT(read.ms, 150); // not the whole read time-out
}

TEST_F(WinPortLine, WritingACommandPutsExactlyItsBytesOnTheLine) {
    const std::string strRecord = Environment("KALVORA_SIM_RECORD");
    ASSERT_FALSE(strRecord.empty()) << "KALVORA_SIM_RECORD names the simulator's record of received bytes";
    const auto recorded = [&] {
        std::ifstream file(strRecord, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    const std::string strBefore = recorded();
    Send("?S\r");
    std::this_thread::sleep_for(kReplyTime);
    EXPECT_EQ(recorded(), strBefore + "\x3F\x53\x0D");
    EXPECT_EQ(ReadUntilSilent(m_port), std::string(kStatusLine) + "\r");
}

TEST_F(WinPortLine, WaitForInputWakesWithTheReplyAndLeavesItToTheRead) {
    Send("?S\r");
    const auto started = Clock::now();
    EXPECT_TRUE(m_port.WaitForInput(kReadTimeout));
    EXPECT_LT(MsSince(started), 150);
    std::this_thread::sleep_for(kReplyTime);
    const STimedRead read = ReadOnce(m_port, 64);
    EXPECT_EQ(read.strData, std::string(kStatusLine) + "\r");
    EXPECT_LT(read.ms, kAtOnceMs);
}

TEST_F(WinPortLine, WaitForInputOnASilentLineIsFalseAfterItsTimeout) {
    const auto started = Clock::now();
    EXPECT_FALSE(m_port.WaitForInput(kReadTimeout));
    EXPECT_GE(MsSince(started), kSilenceMinMs);
    EXPECT_LE(MsSince(started), kSilenceMaxMs);
}

TEST_F(WinPortLine, ACommandGoesOutAtOnceWhileTheReaderWaits) {
    bool bWoken = false;
    double wokenMs = 0;
    const auto started = Clock::now();
    std::thread reader([&] {
        bWoken = m_port.WaitForInput(1000ms);
        wokenMs = MsSince(started);
    });
    std::this_thread::sleep_for(50ms); // the reader is in its wait now
    const auto written = Clock::now();
    const bool bWritten = m_port.Write("?S\r", kWriteTimeout);
    const double writeMs = MsSince(written);
    reader.join();
    EXPECT_TRUE(bWritten);
    EXPECT_LT(writeMs, kAtOnceMs);
    EXPECT_TRUE(bWoken);
    EXPECT_LT(wokenMs, 400); // woken by the reply, not by the end of its wait
    EXPECT_EQ(ReadUntilSilent(m_port), std::string(kStatusLine) + "\r");
}

// What reading costs the driver. The link reads as the port's interface allows it: a wait without the lock, then a
// read of at most ten bytes, a pass at a time; each ReadFile a port asks of Wine's driver goes through Wine's server
// several times over, so a line should cost the driver one read once its bytes are there, whatever the link's chunks.
struct SReadCostRow {
    const char* pszWhat;
    std::vector<std::string_view> commands;
    std::string strReplies;
    bool bWhileWaiting;       // the commands go out while the reader waits, rather than before it starts
    unsigned long nMostReads; // what the driver may be asked for the replies
};

TEST_F(WinPortLine, ALineCostsTheDriverOneReadOnceItsBytesAreThere) {
    const std::string strStatus = std::string(kStatusLine) + "\r";
    const SReadCostRow rows[] = {
        {"a reply waiting whole (28 bytes)", {"?S\r"}, strStatus, false, 1},
        {"two replies waiting together (17 bytes)", {"?L100\r", "?C19\r"}, "L?10000\rC?193:00\r", false, 1},
        // The wait's read of one byte ends as the reply comes; the rest is one more read.
        {"a reply that comes while the reader waits", {"?S\r"}, strStatus, true, 2},
    };
    for (const auto& row : rows) {
        const std::size_t nLines =
            static_cast<std::size_t>(std::count(row.strReplies.begin(), row.strReplies.end(), '\r'));
        std::string strRead;
        unsigned long nReads = 0;
        // Passes of the link's reader until the replies are in, or a pass that brings nothing.
        const auto readAsTheLink = [&] {
            const unsigned long nBefore = m_port.DriverReads();
            for (int nPass = 0; nPass < 50; ++nPass) {
                char chunk[10];
                const int nRead = m_port.WaitForInput(kReadTimeout) ? m_port.Read(chunk, 10, kReadTimeout) : 0;
                if (nRead <= 0)
                    break;
                strRead.append(chunk, static_cast<std::size_t>(nRead));
                if (static_cast<std::size_t>(std::count(strRead.begin(), strRead.end(), '\r')) >= nLines)
                    break;
                std::this_thread::sleep_for(1ms);
            }
            nReads = m_port.DriverReads() - nBefore;
        };
        if (row.bWhileWaiting) {
            std::thread reader(readAsTheLink);
            std::this_thread::sleep_for(50ms); // the reader is in its wait now
            for (const std::string_view command : row.commands)
                Send(command);
            reader.join();
        } else {
            for (const std::string_view command : row.commands)
                Send(command);
            std::this_thread::sleep_for(kReplyTime);
            readAsTheLink();
        }
        EXPECT_EQ(strRead, row.strReplies) << row.pszWhat;
        EXPECT_LE(nReads, row.nMostReads) << row.pszWhat;
    }
}

TEST_F(WinPortLine, PurgeInputDropsTheBytesWaiting) {
    Send("?S\r");
    std::this_thread::sleep_for(kReplyTime);
    m_port.PurgeInput();
    EXPECT_EQ(ReadOnce(m_port, 64).nResult, 0);
}

TEST_F(WinPortLine, PurgeInputDropsTheByteThatAWaitBrought) {
    Send("?S\r");
    ASSERT_TRUE(m_port.WaitForInput(kReadTimeout)); // the port holds the first byte for the next read now
    std::this_thread::sleep_for(kReplyTime);
    m_port.PurgeInput();
    EXPECT_EQ(ReadOnce(m_port, 64).nResult, 0);
}

TEST_F(WinPortLine, SilentWaitsCostNoProcessorTime) {
    FILETIME created, exited, kernelBefore, userBefore, kernelAfter, userAfter;
    ASSERT_TRUE(GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernelBefore, &userBefore));
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(m_port.WaitForInput(kReadTimeout));
    ASSERT_TRUE(GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernelAfter, &userAfter));
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    const double cpuMs =
        static_cast<double>(ticks(kernelAfter) - ticks(kernelBefore) + ticks(userAfter) - ticks(userBefore)) / 10000.0;
    EXPECT_LT(cpuMs, 100) << "one second of waiting took " << cpuMs << " ms of processor time";
}

class WinLinkLine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GT(TestPort(), 0) << "KALVORA_TEST_COM is not set: run this through ctest (cmake/WithSimulator.sh)";
        ASSERT_EQ(Environment("KALVORA_SIM_OPTIONS"), "--frozen");
    }
};

TEST_F(WinLinkLine, RepliesLongerThanOneReadAreQueuedWholeAndInTheirOrder) {
    CSerialLink link;
    ASSERT_TRUE(link.Open(TestPort(), 9600));
    ASSERT_TRUE(link.Write("?S\r"));
    ASSERT_TRUE(link.Write("?L100\r"));
    ASSERT_TRUE(link.Write("?C19\r"));
    const std::vector<std::string> lines = PopLinesFor(link, 500ms);
    link.Close();
    EXPECT_EQ(lines, (std::vector<std::string>{std::string(kStatusLine), "L?10000", "C?193:00"}));
}

TEST_F(WinLinkLine, LinesLeftAfterCloseComeFirstAfterTheNextOpen) {
    CSerialLink link;
    ASSERT_TRUE(link.Open(TestPort(), 9600));
    ASSERT_TRUE(link.Write("?L100\r"));
    std::this_thread::sleep_for(kReplyTime);
    link.Close();
    ASSERT_TRUE(link.Open(TestPort(), 9600));
    ASSERT_TRUE(link.Write("?C19\r"));
    const std::vector<std::string> lines = PopLinesFor(link, 300ms);
    link.Close();
    EXPECT_EQ(lines, (std::vector<std::string>{"L?10000", "C?193:00"}));
}

TEST_F(WinLinkLine, AProgramDownloadAtItsPaceGetsEveryReply) {
    // The detail rows and intervals of program 1 as the download asks for them: one request every 60 ms, each
    // written while the reader waits on the line.
    CDeviceOperation operation;
    operation.Arm();
    for (int nRow = 0; nRow < kDownloadRowsPerProgram; ++nRow)
        operation.Write(BuildRequestRow(1, nRow)).Wait(kTransferPace);
    for (int nInterval = 0; nInterval < kIntervalsPerProgram; ++nInterval)
        operation.Write(BuildRequestInterval(1, nInterval)).Wait(kTransferPace);
    CSerialLink link;
    CProgramStore store;
    int nReplies = 0;
    COperationHooks hooks;
    hooks.m_wait = [&](std::chrono::milliseconds wait) {
        std::this_thread::sleep_for(wait);
        DrainLines(link, [&](const std::string& strLine) { nReplies += ParseTransferReply(strLine, store) ? 1 : 0; });
    };
    const auto started = Clock::now();
    RunDeviceOperation(link, TestPort(), 9600, operation, hooks);
    const double spanMs = MsSince(started);
    DrainLines(link, [&](const std::string& strLine) { nReplies += ParseTransferReply(strLine, store) ? 1 : 0; });
    EXPECT_EQ(nReplies, kDownloadRowsPerProgram + kIntervalsPerProgram);
    EXPECT_EQ(store.GetInterval(1, 9), "3:00");
    // 42 requests at 60 ms and the close's 250 ms: a write held up by the reader's wait would add up to 250 ms each.
    EXPECT_LT(spanMs, 42 * 60 + 250 + 1500);
}

TEST_F(WinLinkLine, AClockCommandLeavesWithinMillisecondsOfItsDueMoment) {
    // "=T" and the digits of the second, as the clock is set; the reader waits on the line meanwhile.
    const auto clockCommand = [](std::string_view clockText) {
        std::string strCommand = "=T";
        for (const char c : clockText) {
            if (c != ':')
                strCommand += c;
        }
        return strCommand + "\r";
    };
    CDeviceOperation operation;
    operation.WriteAtSecond(clockCommand);
    CSerialLink link;
    const auto started = std::chrono::system_clock::now();
    const COperationResult result = RunDeviceOperation(link, TestPort(), 2400, operation, {});
    ASSERT_TRUE(result.m_bOpened);
    ASSERT_TRUE(result.m_timedWrite);
    const CTimedWrite& write = *result.m_timedWrite;
    EXPECT_TRUE(write.m_bWritten);
    EXPECT_GT(write.m_due, started);
    EXPECT_LE(write.m_due - started, std::chrono::seconds{1}); // never more than a second's wait
    EXPECT_GE(write.m_error, 0us);
    EXPECT_LT(write.m_error, 100ms); // a busy machine may be late; the rule is "on the moment"
    EXPECT_EQ(write.m_strCommand, clockCommand(write.m_strSecond));
}

// ---- Every line split in two by 300 ms of silence ----

class WinPortSplitLine : public CSimulatorLine {
protected:
    WinPortSplitLine() : CSimulatorLine("--frozen --split-pause 300") {}
};

TEST_F(WinPortSplitLine, SilenceInsideALineShowsAsAReadOfZeroBetweenItsParts) {
    Send("?S\r");
    EXPECT_EQ(ReadHead(), kStatusHead);
    const STimedRead silence = ReadOnce(m_port, 64);
    const STimedRead tail = ReadOnce(m_port, 64);
    EXPECT_EQ(silence.nResult, 0);
    EXPECT_GE(silence.ms, kSilenceMinMs);
    EXPECT_LE(silence.ms, kSilenceMaxMs);
    EXPECT_EQ(tail.strData, std::string(kStatusTail) + "\r");
    EXPECT_LT(tail.ms, 150); // the tail came 300 ms after the head, some 50 ms into this read
}

TEST(WinLinkSplitLine, APartialLineIsDroppedAfter250MsOfSilence) {
    ASSERT_EQ(Environment("KALVORA_SIM_OPTIONS"), "--frozen --split-pause 300");
    CSerialLink link;
    ASSERT_TRUE(link.Open(TestPort(), 9600));
    ASSERT_TRUE(link.Write("?S\r"));
    const std::vector<std::string> lines = PopLinesFor(link, 700ms);
    link.Close();
    EXPECT_EQ(lines, std::vector<std::string>{std::string(kStatusTail)});
}

// ---- Every line split in two by 100 ms of silence ----

class WinPortShortGap : public CSimulatorLine {
protected:
    WinPortShortGap() : CSimulatorLine("--frozen --split-pause 100") {}
};

TEST_F(WinPortShortGap, AReadReturnsAsSoonAsAByteArrives) {
    Send("?S\r");
    EXPECT_EQ(ReadHead(), kStatusHead);
    const STimedRead tail = ReadOnce(m_port, 64); // waits on a silent line for the rest, due in 100 ms
    EXPECT_EQ(tail.strData, std::string(kStatusTail) + "\r");
    EXPECT_GE(tail.ms, 50);
    EXPECT_LT(tail.ms, 200); // not the whole read time-out, though it asked for 64 bytes and got 15
}

TEST_F(WinPortShortGap, AShortWaitEndsOnTimeAndLosesNoByte) {
    Send("?S\r");
    EXPECT_EQ(ReadHead(), kStatusHead);
    const auto started = Clock::now();
    EXPECT_FALSE(m_port.WaitForInput(30ms)); // ends before the tail comes
    const double waitedMs = MsSince(started);
    EXPECT_GE(waitedMs, 25);
    EXPECT_LT(waitedMs, 70);
    const STimedRead tail = ReadOnce(m_port, 64);
    EXPECT_EQ(tail.strData, std::string(kStatusTail) + "\r");
    EXPECT_LT(tail.ms, 200);
}

TEST(WinLinkShortGap, ALineWithAGapUnder250MsIsQueuedWhole) {
    ASSERT_EQ(Environment("KALVORA_SIM_OPTIONS"), "--frozen --split-pause 100");
    CSerialLink link;
    ASSERT_TRUE(link.Open(TestPort(), 9600));
    ASSERT_TRUE(link.Write("?S\r"));
    const std::vector<std::string> lines = PopLinesFor(link, 500ms);
    link.Close();
    EXPECT_EQ(lines, std::vector<std::string>{std::string(kStatusLine)});
}

// ---- The cable pulled 2 s after the simulator starts, and plugged in again 1.5 s later (once for the port, once
// for the link) ----

TEST(WinPortUnplug, ReadsFailOnceTheDeviceHasGoneAndTheReplacementOpensAgain) {
    ASSERT_EQ(Environment("KALVORA_SIM_OPTIONS"), "--frozen --unplug-after 2 --replug-after 1.5");
    const std::string strDevice = PortDevicePath(TestPort());
    CWinPort port;
    ASSERT_TRUE(port.Open(strDevice)) << port.OpenError();
    port.Configure(9600);
    // Silent reads until the cable goes; then a read fails.
    const auto started = Clock::now();
    int nResult = 0;
    while ((nResult = ReadOnce(port, 10).nResult) >= 0 && MsSince(started) < 4000)
        ASSERT_EQ(nResult, 0);
    ASSERT_EQ(nResult, -1) << "the line did not go within 4 s";
    // Gone for good: every read and wait ends at once with the error, and nothing can be written.
    for (int i = 0; i < 3; ++i) {
        const STimedRead read = ReadOnce(port, 10);
        EXPECT_EQ(read.nResult, -1);
        EXPECT_LT(read.ms, kAtOnceMs);
    }
    const auto waited = Clock::now();
    EXPECT_TRUE(port.WaitForInput(kReadTimeout)); // a read would return at once: with the error
    EXPECT_LT(MsSince(waited), kAtOnceMs);
    EXPECT_FALSE(port.Write("?S\r", kWriteTimeout));
    port.Close();

    // While the cable is out the port does not open; the adapter plugged in again does, and answers.
    CWinPort again;
    EXPECT_FALSE(again.Open(strDevice));
    EXPECT_FALSE(again.OpenError().empty());
    const auto replugged = Clock::now();
    while (!again.Open(strDevice) && MsSince(replugged) < 4000)
        std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(again.IsOpen()) << again.OpenError();
    again.Configure(9600);
    ASSERT_TRUE(again.Write("?S\r", kWriteTimeout));
    std::this_thread::sleep_for(kReplyTime);
    EXPECT_EQ(ReadUntilSilent(again), std::string(kStatusLine) + "\r");
}

TEST(WinLinkReconnect, TheLinkOpensThePortAgainWhenTheAdapterIsBack) {
    ASSERT_EQ(Environment("KALVORA_SIM_OPTIONS"), "--frozen --unplug-after 2 --replug-after 1.5");
    const auto waitFor = [](const auto& condition, std::chrono::milliseconds limit) {
        const auto until = Clock::now() + limit;
        while (!condition() && Clock::now() < until)
            std::this_thread::sleep_for(20ms);
        return condition();
    };
    CSerialLink link;
    ASSERT_TRUE(link.Open(TestPort(), 9600));
    ASSERT_TRUE(link.Write("?S\r"));
    EXPECT_EQ(PopLinesFor(link, 300ms), std::vector<std::string>{std::string(kStatusLine)});
    ASSERT_TRUE(waitFor([&] { return !link.IsConnected(); }, 4000ms)) << "the cable was not pulled within 4 s";
    EXPECT_TRUE(link.IsOpen());
    EXPECT_FALSE(link.Write("?S\r"));
    ASSERT_TRUE(waitFor([&] { return link.IsConnected(); }, 4000ms)) << "the link did not come back within 4 s";
    EXPECT_EQ(link.ReopenCount(), 1u);
    ASSERT_TRUE(link.Write("?S\r"));
    EXPECT_EQ(PopLinesFor(link, 300ms), std::vector<std::string>{std::string(kStatusLine)});
    link.Close();
}

} // namespace
