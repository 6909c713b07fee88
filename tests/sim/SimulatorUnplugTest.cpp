// The simulator's cable: pulled and plugged in again, at the times its command line gives or at a signal, while
// the program's port watches the line go and come back.

#include "link/PosixPort.h"
#include "link/SerialLink.h"
#include "sim/SimOptions.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using ::testing::Each;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kComPort = 7;
constexpr int kBaudRate = 9600;
// How long a change of the cable may take to show, on a busy machine.
constexpr auto kCableTimeout = std::chrono::milliseconds{3000};
// How long a reply may take.
constexpr auto kReplyTimeout = std::chrono::milliseconds{2000};
// How long to watch for something that must not happen.
constexpr auto kQuietTime = std::chrono::milliseconds{400};
constexpr auto kPollPause = std::chrono::milliseconds{5};

// ---- The command line ---------------------------------------------------------------------------------------

struct SCableOptionRow {
    std::vector<std::string> args;
    std::optional<std::chrono::milliseconds> unplugAfter;
    std::optional<std::chrono::milliseconds> replugAfter;
};

TEST(SimulatorOptionsTest, CableTimesAreSecondsWithDecimals) {
    const SCableOptionRow rows[] = {
        {{}, std::nullopt, std::nullopt},
        {{"--unplug-after", "0.5"}, 500ms, std::nullopt},
        {{"--unplug-after", "3"}, 3000ms, std::nullopt},
        {{"--unplug-after", "2", "--replug-after", "1.25"}, 2000ms, 1250ms},
        {{"--replug-after", "0.75", "--unplug-after", "10"}, 10'000ms, 750ms},
        {{"--unplug-after", "1", "--unplug-after", "4"}, 4000ms, std::nullopt},
        {{"--unplug-after", "0.0001"}, 1ms, std::nullopt}, // rounded up: above 0 stays above 0
        {{"--unplug-after", "1.0004", "--replug-after", "86400"}, 1001ms, 86'400'000ms},
        {{"--frozen", "--unplug-after", "1e1", "--com", "3"}, 10'000ms, std::nullopt},
    };
    for (const auto& row : rows) {
        std::string strError;
        const auto options = ParseSimOptions(row.args, strError);
        const std::string strArgs = ::testing::PrintToString(row.args);
        ASSERT_TRUE(options) << strArgs << ": " << strError;
        EXPECT_EQ(options->unplugAfter, row.unplugAfter) << strArgs;
        EXPECT_EQ(options->replugAfter, row.replugAfter) << strArgs;
    }
}

struct SBadOptionRow {
    std::vector<std::string> args;
    const char* pError;
};

TEST(SimulatorOptionsTest, BadCableTimesAreRefusedWithTheReason) {
    constexpr const char* kSeconds = "expects seconds above 0 and at most 86400";
    const std::string strUnplug = std::string("--unplug-after: ") + kSeconds;
    const std::string strReplug = std::string("--replug-after: ") + kSeconds;
    const SBadOptionRow rows[] = {
        {{"--unplug-after"}, "--unplug-after: needs a value"},
        {{"--unplug-after", "1", "--replug-after"}, "--replug-after: needs a value"},
        {{"--unplug-after", "0"}, strUnplug.c_str()},
        {{"--unplug-after", "-1"}, strUnplug.c_str()},
        {{"--unplug-after", ""}, strUnplug.c_str()},
        {{"--unplug-after", "abc"}, strUnplug.c_str()},
        {{"--unplug-after", "2s"}, strUnplug.c_str()},
        {{"--unplug-after", "0,5"}, strUnplug.c_str()},
        {{"--unplug-after", "nan"}, strUnplug.c_str()},
        {{"--unplug-after", "inf"}, strUnplug.c_str()},
        {{"--unplug-after", "86400.5"}, strUnplug.c_str()},
        {{"--unplug-after", "1", "--replug-after", "0"}, strReplug.c_str()},
        {{"--unplug-after", "1", "--replug-after", "-0.5"}, strReplug.c_str()},
        {{"--replug-after", "1"}, "--replug-after: needs --unplug-after"},
        {{"--frozen", "--replug-after", "0.5", "--com", "3"}, "--replug-after: needs --unplug-after"},
    };
    for (const auto& row : rows) {
        std::string strError;
        EXPECT_FALSE(ParseSimOptions(row.args, strError)) << ::testing::PrintToString(row.args);
        EXPECT_EQ(strError, row.pError) << ::testing::PrintToString(row.args);
    }
}

TEST(SimulatorOptionsTest, UsageNamesTheCableOptionsAndSignals) {
    const std::string strUsage = SimUsage();
    for (const char* pWord : {"--unplug-after S", "--replug-after S", "SIGUSR1", "SIGUSR2"})
        EXPECT_THAT(strUsage, HasSubstr(pWord));
}

// ---- The cable on the line ---------------------------------------------------------------------------------

// Whether the test holds within `timeout`, looked at every kPollPause.
bool Eventually(const std::function<bool()>& test, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!test()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kPollPause);
    }
    return true;
}

bool Exists(const std::string& strPath) {
    std::error_code error;
    return fs::exists(strPath, error);
}

// The link's target; empty when there is no link.
std::string LinkTarget(const std::string& strLink) {
    std::error_code error;
    const fs::path target = fs::read_symlink(strLink, error);
    return error ? std::string() : target.string();
}

bool IsLinkPresent(const std::string& strLink) {
    std::error_code error;
    return fs::exists(fs::symlink_status(strLink, error));
}

// Opens the port the way the program does: by the link's name, raw at the program's baud rate.
bool OpenPort(CPosixPort& port, const std::string& strLink) {
    if (!port.Open(strLink))
        return false;
    port.Configure(kBaudRate);
    return true;
}

// Reads the open port until a read fails (the line was hung up), within `timeout`. Bytes and silence do not count.
bool ReadFails(CPosixPort& port, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        char buffer[64];
        if (port.Read(buffer, sizeof buffer, 50ms) < 0)
            return true;
    }
    return false;
}

// Writes the command with its carriage return and returns the first reply line that begins with strPrefix, or a
// description of what went wrong.
std::string Ask(CPosixPort& port, const std::string& strCommand, const std::string& strPrefix) {
    if (!port.Write(strCommand + "\r", 500ms))
        return "(write failed)";
    std::string strPending;
    const auto deadline = Clock::now() + kReplyTimeout;
    while (Clock::now() < deadline) {
        char buffer[64];
        const int nRead = port.Read(buffer, sizeof buffer, 50ms);
        if (nRead < 0)
            return "(read failed)";
        strPending.append(buffer, static_cast<std::size_t>(nRead));
        for (std::size_t nEnd; (nEnd = strPending.find('\r')) != std::string::npos;) {
            const std::string strLine = strPending.substr(0, nEnd);
            strPending.erase(0, nEnd + 1);
            if (strLine.rfind(strPrefix, 0) == 0)
                return strLine;
        }
    }
    return "(no reply)";
}

class SimulatorUnplugTest : public ::testing::Test {
protected:
    void Start(std::vector<std::string> args) { m_sim = std::make_unique<CSimProcess>(m_dir.Path(), std::move(args)); }

    // Lines of the program's link until nCount have come or `timeout` has passed.
    std::vector<std::string> Lines(std::size_t nCount, std::chrono::milliseconds timeout) {
        std::vector<std::string> lines;
        const auto deadline = Clock::now() + timeout;
        while (lines.size() < nCount && Clock::now() < deadline) {
            std::string strLine;
            if (m_link.PopLine(strLine))
                lines.push_back(strLine);
            else
                std::this_thread::sleep_for(2ms);
        }
        return lines;
    }

    // Forgets the lines received so far.
    void DropLines() {
        std::string strLine;
        while (m_link.PopLine(strLine)) {
        }
    }

    CExecutableDirectory m_dir;
    std::unique_ptr<CSimProcess> m_sim;
    CSerialLink m_link; // closed before the simulator stops
};

TEST_F(SimulatorUnplugTest, TimedPullHangsUpTheOpenPortAndThePlugInServesANewTerminal) {
    Start({"--frozen", "--unplug-after", "0.5", "--replug-after", "0.5"});
    const std::string strLink = m_sim->LinkPath();
    const std::string strFirst = m_sim->DevicePath();
    const auto started = Clock::now();
    CPosixPort port;
    ASSERT_TRUE(OpenPort(port, strLink)); // well within the first half second

    ASSERT_TRUE(ReadFails(port, kCableTimeout)) << "the open port never saw the cable go";
    const auto pulled = Clock::now();
    EXPECT_GE(pulled - started, 250ms); // not before its time (less what the start of the test took)
    // The link stays, but leads to a terminal that is gone.
    EXPECT_EQ(LinkTarget(strLink), strFirst);
    EXPECT_FALSE(Exists(strFirst));
    CPosixPort other;
    EXPECT_FALSE(other.Open(strLink));

    const std::string strSecond = m_sim->NextLine(kCableTimeout);
    ASSERT_FALSE(strSecond.empty()) << "no new terminal after the plug-in";
    EXPECT_GE(Clock::now() - pulled, 250ms);
    EXPECT_EQ(LinkTarget(strLink), strSecond);
    EXPECT_TRUE(ReadFails(port, 100ms)) << "the old port came back to life";
    port.Close();
    ASSERT_TRUE(OpenPort(port, strLink));
    const std::string strStatus = Ask(port, "?S", "S?");
    EXPECT_EQ(strStatus, "S?     0:30    1 2 1 0:30 9");
}

struct SCableStepRow {
    int nSignal;
    bool bPluggedIn;   // the cable is in after the signal
    bool bNewTerminal; // the signal brought a new terminal
    const char* pWhat;
};

TEST_F(SimulatorUnplugTest, SignalsPullAndPlugInTheCableOnDemand) {
    Start({"--frozen"});
    const std::string strLink = m_sim->LinkPath();
    std::string strTerminal = m_sim->DevicePath();
    CPosixPort port;
    ASSERT_TRUE(OpenPort(port, strLink));
    ASSERT_EQ(Ask(port, "?S", "S?").substr(0, 2), "S?");
    bool bPluggedIn = true;

    const SCableStepRow rows[] = {
        {SIGUSR1, false, false, "pull"},       {SIGUSR1, false, false, "pull while out"},
        {SIGUSR2, true, true, "plug in"},      {SIGUSR2, true, false, "plug in while in"},
        {SIGUSR1, false, false, "pull again"}, {SIGUSR2, true, true, "plug in again"},
    };
    for (const auto& row : rows) {
        m_sim->Signal(row.nSignal);
        if (row.bNewTerminal) {
            const std::string strNew = m_sim->NextLine(kCableTimeout);
            ASSERT_FALSE(strNew.empty()) << row.pWhat;
            strTerminal = strNew;
        } else {
            // Nothing new shows up, and the signal has surely been handled by the end of the wait.
            if (bPluggedIn && !row.bPluggedIn) {
                EXPECT_TRUE(ReadFails(port, kCableTimeout)) << row.pWhat;
            }
            EXPECT_THAT(m_sim->NextLine(kQuietTime), IsEmpty()) << row.pWhat;
        }
        bPluggedIn = row.bPluggedIn;

        EXPECT_EQ(LinkTarget(strLink), strTerminal) << row.pWhat;
        EXPECT_EQ(Exists(strTerminal), row.bPluggedIn) << row.pWhat;
        if (!row.bPluggedIn) {
            CPosixPort other;
            EXPECT_FALSE(other.Open(strLink)) << row.pWhat;
            continue;
        }
        if (row.bNewTerminal) {
            port.Close();
            ASSERT_TRUE(OpenPort(port, strLink)) << row.pWhat;
        }
        // A plug-in while the cable is in leaves the open port as it was.
        EXPECT_EQ(Ask(port, "?S", "S?").substr(0, 2), "S?") << row.pWhat;
    }
}

struct SMonitoringRow {
    bool bMonitoring; // before the cable is pulled
    const char* pWhat;
};

TEST_F(SimulatorUnplugTest, MonitoringGoesOnOrStaysOffAcrossThePlugIn) {
    const SMonitoringRow rows[] = {{true, "monitoring"}, {false, "not monitoring"}};
    for (const auto& row : rows) {
        CSimProcess sim(m_dir.Path(), {"--frozen", "--clock", "12:00:00"});
        ASSERT_TRUE(m_link.Open(kComPort, kBaudRate)) << row.pWhat;
        if (row.bMonitoring) {
            ASSERT_TRUE(m_link.Write("?D\r"));
            ASSERT_THAT(Lines(2, kReplyTimeout), SizeIs(2)) << row.pWhat;
        }
        sim.Signal(SIGUSR1);
        ASSERT_TRUE(Eventually([&] { return !Exists(sim.DevicePath()); }, kCableTimeout)) << row.pWhat;
        m_link.Close();
        DropLines(); // what came before the pull

        sim.Signal(SIGUSR2);
        ASSERT_FALSE(sim.NextLine(kCableTimeout).empty()) << row.pWhat;
        ASSERT_TRUE(m_link.Open(kComPort, kBaudRate)) << row.pWhat;
        // No new "?D": the unit kept streaming while the cable was out.
        const std::vector<std::string> lines = Lines(row.bMonitoring ? 4 : SIZE_MAX, row.bMonitoring ? 2s : 600ms);
        EXPECT_THAT(lines, SizeIs(row.bMonitoring ? 4 : 0)) << row.pWhat;
        EXPECT_THAT(lines, Each(std::string("D?     0:30    1 2"))) << row.pWhat;
        m_link.Close();
    }
}

TEST_F(SimulatorUnplugTest, DeviceRunsOnWhileTheCableIsOut) {
    // At thirty times the speed, program 1's first interval (0:30) ends a second after the start, with the cable out.
    Start({"--speed", "30", "--clock", "12:00:00"});
    const auto started = Clock::now();
    CPosixPort port;
    ASSERT_TRUE(OpenPort(port, m_sim->LinkPath()));
    ASSERT_EQ(Ask(port, "=B3", "B="), "B=3");
    m_sim->Signal(SIGUSR1);
    ASSERT_TRUE(ReadFails(port, kCableTimeout));
    port.Close();
    // The start comes at 1 s; the next one not before 3 s.
    std::this_thread::sleep_until(started + 1300ms);
    m_sim->Signal(SIGUSR2);
    ASSERT_FALSE(m_sim->NextLine(kCableTimeout).empty());
    ASSERT_TRUE(OpenPort(port, m_sim->LinkPath()));
    EXPECT_EQ(Ask(port, "?M", "M?"), "M?0001     12:00:30.00   0:00:30"); // recorded while the cable was out
    const std::string strStatus = Ask(port, "?S", "S?");
    EXPECT_EQ(strStatus.substr(12, 4), "   2") << strStatus; // counting the next start
    EXPECT_EQ(strStatus.substr(26, 1), "3") << strStatus;    // the brightness set before the pull
}

struct SEndRow {
    std::vector<std::string> args;
    std::vector<int> cableSignals; // sent in turn, each once the one before has shown
    bool bPluggedIn;               // at the end
    int nEndSignal;
    const char* pWhat;
};

TEST_F(SimulatorUnplugTest, EndingRemovesTheLinkWhetherTheCableIsInOrOut) {
    const SEndRow rows[] = {
        {{"--unplug-after", "0.2"}, {}, false, SIGTERM, "timed pull, left out"},
        {{}, {SIGUSR1}, false, SIGTERM, "pulled, SIGTERM"},
        {{}, {SIGUSR1}, false, SIGINT, "pulled, SIGINT"},
        {{}, {SIGUSR1}, false, SIGHUP, "pulled, SIGHUP"},
        {{}, {SIGUSR1, SIGUSR2}, true, SIGTERM, "plugged in again"},
        {{}, {SIGUSR1, SIGUSR2, SIGUSR1}, false, SIGTERM, "pulled again"},
    };
    for (const auto& row : rows) {
        CSimProcess sim(m_dir.Path(), row.args);
        const std::string strLink = sim.LinkPath();
        std::string strTerminal = sim.DevicePath();
        for (int nSignal : row.cableSignals) {
            sim.Signal(nSignal);
            if (nSignal == SIGUSR2)
                strTerminal = sim.NextLine(kCableTimeout);
            else
                EXPECT_TRUE(Eventually([&] { return !Exists(strTerminal); }, kCableTimeout)) << row.pWhat;
        }
        if (!row.bPluggedIn) {
            ASSERT_TRUE(Eventually([&] { return !Exists(strTerminal); }, kCableTimeout)) << row.pWhat;
            if (row.cableSignals.empty()) { // no --replug-after: the cable stays out
                EXPECT_THAT(sim.NextLine(kQuietTime), IsEmpty()) << row.pWhat;
            }
        }
        EXPECT_EQ(LinkTarget(strLink), strTerminal) << row.pWhat;
        EXPECT_EQ(Exists(strLink), row.bPluggedIn) << row.pWhat;

        sim.Signal(row.nEndSignal);
        EXPECT_TRUE(Eventually([&] { return !IsLinkPresent(strLink); }, kCableTimeout)) << row.pWhat;
        EXPECT_EQ(sim.Stop(), 0) << row.pWhat;
    }
}

} // namespace
