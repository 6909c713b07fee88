// The one runner of every device conversation on the POSIX port: a clock command over a pseudo-terminal.
// SerialPortWinTest.cpp has the same over the Windows port.

#include "link/DeviceOperation.h"
#include "link/SerialLink.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <string_view>

using namespace std::chrono_literals;

namespace {

constexpr auto kNineBytesAt2400 = std::chrono::microseconds{37'500}; // 90 bits

// "=T" and the digits of a clock text: the clock command's form, built here so that the runner is tested alone.
std::string ClockCommand(std::string_view clockText) {
    std::string strCommand = "=T";
    for (const char c : clockText)
        if (c != ':')
            strCommand += c;
    return strCommand + "\r";
}

// On the system's port: the reader waits for input without holding the port, so the write is not held up.
TEST(WriteAtSecond, TheComputersClockWritesWithinMillisecondsOfTheDueMoment) {
    CExecutableDirectory dir;
    CPtyPeer peer;
    peer.LinkAsPort(dir.Path(), 7);
    CDeviceOperation operation;
    operation.WriteAtSecond(&ClockCommand);
    CSerialLink link;
    const WallTime started = std::chrono::system_clock::now();
    const COperationResult result = RunDeviceOperation(link, 7, 2400, operation, {});
    const WallTime ended = std::chrono::system_clock::now();
    ASSERT_TRUE(result.m_timedWrite);
    const CTimedWrite& write = *result.m_timedWrite;
    EXPECT_TRUE(write.m_bWritten);
    EXPECT_EQ(write.m_secondStart, std::chrono::floor<std::chrono::seconds>(write.m_secondStart));
    EXPECT_EQ(write.m_due, write.m_secondStart - kNineBytesAt2400);
    EXPECT_GT(write.m_due, started);
    EXPECT_LE(write.m_due - started, std::chrono::seconds{1}); // never more than a second's wait
    EXPECT_GE(write.m_error, 0us);
    EXPECT_LT(write.m_error, 100ms); // a busy machine may be late; the rule is "on the moment"
    EXPECT_LT(ended - started, std::chrono::seconds{1} + CSerialLink::kCloseWait + 200ms);
    EXPECT_EQ(write.m_strCommand, ClockCommand(write.m_strSecond));
    EXPECT_EQ(peer.ReadFor(50ms), write.m_strCommand);
}

} // namespace
