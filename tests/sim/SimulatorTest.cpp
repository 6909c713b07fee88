// The device simulator as the program meets it: a child process on a pseudo-terminal, spoken to through the
// program's own serial link. Reply columns are checked at the positions the program reads them from, written out
// here, so that a column mistake cannot hide by being made the same way on both ends.

#include "i18n/Language.h"
#include "link/SerialLink.h"
#include "tests/support/InstalledLayout.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

extern char** environ;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kComPort = 7;
constexpr int kBaudRate = 9600;

// Columns of a line, shorter or empty past its end.
std::string Columns(const std::string& strLine, std::size_t nFirst, std::size_t nCount) {
    return nFirst < strLine.size() ? strLine.substr(nFirst, nCount) : std::string();
}

bool Matches(const std::string& strText, const char* pPattern) {
    return std::regex_match(strText, std::regex(pPattern));
}

class SimulatorTest : public ::testing::Test {
protected:
    // Starts the simulator with the arguments and opens the program's link to it as COM port 7.
    void Start(std::vector<std::string> args, int nBaudRate = kBaudRate) {
        m_sim = std::make_unique<CSimProcess>(m_dir.Path(), std::move(args));
        ASSERT_TRUE(m_link.Open(kComPort, nBaudRate));
    }

    // Lines popped until nCount have come or `timeout` has passed.
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

    // Every line that arrives within `duration`.
    std::vector<std::string> LinesFor(std::chrono::milliseconds duration) { return Lines(SIZE_MAX, duration); }

    // Writes the command with its carriage return and collects nCount reply lines.
    std::vector<std::string> Ask(const std::string& strCommand, std::size_t nCount = 1,
                                 std::chrono::milliseconds timeout = 2s) {
        EXPECT_TRUE(m_link.Write(strCommand + "\r"));
        return Lines(nCount, timeout);
    }

    // The first line within `timeout` for which the test holds.
    template <typename Test>
    std::string WaitForLine(Test test, std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            std::string strLine;
            if (!m_link.PopLine(strLine))
                std::this_thread::sleep_for(2ms);
            else if (test(strLine))
                return strLine;
        }
        return "(none)";
    }

    CExecutableDirectory m_dir;
    std::unique_ptr<CSimProcess> m_sim;
    CSerialLink m_link; // closed before the simulator stops
};

// ---- Replies and their columns ------------------------------------------------------------------------------

struct SColumn {
    std::size_t nFirst;
    std::size_t nCount;
    const char* pText;
};

struct SReplyRow {
    const char* pCommand;
    const char* pPrefix;
    std::size_t nMinLength;
    std::vector<SColumn> columns;
};

TEST_F(SimulatorTest, AnswersEveryCommandWithItsPrefixAndColumns) {
    Start({"--frozen", "--clock", "12:00:00"});
    // One session, in order: program 1 runs CD0 (0:30) from the start; the clock stands still.
    const SReplyRow rows[] = {
        {"?S",
         "S?",
         27,
         {{3, 8, "    0:30"},
          {12, 4, "   1"},
          {17, 1, "2"},
          {18, 1, " "},
          {19, 1, "1"},
          {21, 4, "0:30"},
          {26, 1, "9"}}},
        {"=P60", "P=", 2, {{2, 2, "60"}}},
        {"?S", "S?", 27, {{3, 8, "12:00:00"}, {17, 1, "0"}, {18, 1, "6"}, {19, 1, "0"}, {21, 4, "0:00"}}},
        {"=P5", "P=", 2, {{2, 1, "5"}}},
        {"=C3", "C=", 2, {{2, 1, "3"}}},
        {"=B7", "B=", 2, {{2, 1, "7"}}},
        {"?S", "S?", 27, {{3, 8, "    5:00"}, {17, 1, "1"}, {18, 1, " "}, {19, 1, "5"}, {21, 4, "5:00"}, {26, 1, "7"}}},
        {"=T093000", "T=", 2, {}},
        {"=MASTER", "M=", 2, {}},
        {"=SLAVE", "S=", 2, {}},
        {"?L100", "L?", 7, {{2, 1, "1"}, {3, 2, "00"}, {5, 1, "0"}, {6, 1, "0"}}},
        {"?L110", "L?", 7, {{2, 1, "1"}, {3, 2, "10"}, {5, 1, "3"}, {6, 1, "2"}}},
        {"?L831", "L?", 7, {{2, 1, "8"}, {3, 2, "31"}}},
        {"?C14", "C?", 8, {{2, 1, "1"}, {3, 1, "4"}, {4, 4, "3:00"}}},
        {"?C73", "C?", 8, {{2, 1, "7"}, {3, 1, "3"}, {4, 4, "0:00"}}},
        {"?C70", "C?", 8, {{4, 4, "1000"}}},
        {"?M", "M?", 7, {{2, 5, "EMPTY"}}},
        {"?E", "E?", 2, {}},
    };
    for (const auto& row : rows) {
        const std::vector<std::string> replies = Ask(row.pCommand);
        ASSERT_THAT(replies, SizeIs(1)) << row.pCommand;
        const std::string& strLine = replies[0];
        EXPECT_EQ(Columns(strLine, 0, 2), row.pPrefix) << row.pCommand << " -> " << strLine;
        EXPECT_GE(strLine.size(), row.nMinLength) << row.pCommand << " -> " << strLine;
        for (const auto& column : row.columns)
            EXPECT_EQ(Columns(strLine, column.nFirst, column.nCount), column.pText)
                << row.pCommand << " -> \"" << strLine << "\" at " << column.nFirst;
    }
    EXPECT_THAT(LinesFor(300ms), IsEmpty()); // one reply each, nothing more
}

TEST_F(SimulatorTest, InvalidValuesAndUnknownCommandsGetNoAnswer) {
    Start({"--frozen"});
    const std::string strOverlong(100, 'A');
    for (const std::string strCommand : {"=P9", "=P65", "=C12", "=B", "=B10", "=T246000", "=Lx", "?L9", "?C1", "?X",
                                         "hello", "=master", "", "\x01\x02\xff"})
        ASSERT_TRUE(m_link.Write(strCommand + "\r"));
    ASSERT_TRUE(m_link.Write(strOverlong + "\r"));
    const std::vector<std::string> replies = Ask("?S");
    ASSERT_THAT(replies, SizeIs(1));
    EXPECT_EQ(Columns(replies[0], 0, 2), "S?");
    EXPECT_EQ(Columns(replies[0], 18, 2), " 1"); // the program is still 1
    EXPECT_EQ(Columns(replies[0], 26, 1), "9");  // and the brightness 9
    EXPECT_THAT(LinesFor(300ms), IsEmpty());
}

struct SRoundTripRow {
    const char* pUpload;
    const char* pDownload;
    const char* pReply;
};

TEST_F(SimulatorTest, UploadedRowsAndIntervalsComeBackOnDownload) {
    Start({"--frozen"});
    const SRoundTripRow rows[] = {
        {"=L10531", "?L105", "L?10531"}, {"=L82000", "?L820", "L?82000"},  {"=L00512", "?L005", "L?00512"},
        {"=W17130", "?C17", "C?171:30"}, {"=W171000", "?C17", "C?171000"}, {"=W12Break", "?C12", "C?120:00"},
        {"=W8930", "?C89", "C?890:30"},  {"=W00245", "?C00", "C?002:45"},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(m_link.Write(std::string(row.pUpload) + "\r"));
        std::this_thread::sleep_for(60ms); // the program's own pace between commands
        EXPECT_THAT(Ask(row.pDownload), ElementsAre(row.pReply)) << row.pUpload;
    }
}

// ---- Memory -------------------------------------------------------------------------------------------------

TEST_F(SimulatorTest, MemoryListsStoredStartsInThirtyTwoColumnsAndErases) {
    Start({"--frozen", "--memory", "3", "--clock", "08:00:00"});
    const std::vector<std::string> lines = Ask("?M", 3);
    ASSERT_THAT(lines, SizeIs(3));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& strLine = lines[i];
        EXPECT_EQ(strLine.size(), 32u) << strLine;
        EXPECT_EQ(Columns(strLine, 0, 2), "M?");
        EXPECT_EQ(Columns(strLine, 2, 4), "000" + std::to_string(i + 1)) << strLine;
        EXPECT_EQ(Columns(strLine, 6, 4), "    ") << strLine;
        EXPECT_TRUE(Matches(Columns(strLine, 10, 12), " 07:5\\d:\\d\\d\\.\\d\\d")) << strLine;
        EXPECT_EQ(Columns(strLine, 22, 3), "   ") << strLine;
        EXPECT_TRUE(Matches(Columns(strLine, 25, 7), "0:01:\\d\\d")) << strLine;
    }
    EXPECT_THAT(Ask("?E"), ElementsAre("E?"));
    EXPECT_THAT(Ask("?M"), ElementsAre("M?EMPTY"));
}

// ---- Live monitoring and the countdown ----------------------------------------------------------------------

TEST_F(SimulatorTest, StreamStartsAndStopsWithD) {
    Start({"--frozen", "--clock", "12:00:00"});
    EXPECT_THAT(LinesFor(300ms), IsEmpty());
    ASSERT_TRUE(m_link.Write("?D\r"));
    const std::vector<std::string> lines = LinesFor(1000ms);
    // About ten a second; generous bounds for a busy machine.
    EXPECT_GE(lines.size(), 5u);
    EXPECT_LE(lines.size(), 13u);
    for (const auto& strLine : lines) {
        EXPECT_EQ(strLine, "D?     0:30    1 2");
        EXPECT_EQ(Columns(strLine, 3, 8), "    0:30");
        EXPECT_EQ(Columns(strLine, 12, 4), "   1");
        EXPECT_EQ(Columns(strLine, 17, 1), "2");
    }
    ASSERT_TRUE(m_link.Write("?D\r"));
    LinesFor(300ms); // what was on its way
    EXPECT_THAT(LinesFor(500ms), IsEmpty());
}

TEST_F(SimulatorTest, AStreamPeriodSpacesTheDisplayLinesButNotTheStarts) {
    // A display line every 400 ms; at thirty times the speed, program 1's first start comes after a second.
    Start({"--speed", "30", "--clock", "12:00:00", "--stream-period", "400"});
    ASSERT_TRUE(m_link.Write("?D\r"));
    const std::vector<std::string> lines = LinesFor(2000ms);
    int nDisplays = 0;
    int nStarts = 0;
    for (const auto& strLine : lines) {
        nDisplays += Columns(strLine, 0, 2) == "D?";
        nStarts += Columns(strLine, 5, 2) == "ST";
    }
    // Five in two seconds (one at once, then every 400 ms); generous bounds for a busy machine.
    EXPECT_GE(nDisplays, 3);
    EXPECT_LE(nDisplays, 6);
    EXPECT_GE(nStarts, 1);
    ASSERT_TRUE(m_link.Write("?D\r"));
}

TEST_F(SimulatorTest, CountdownReachesItsStartAndStreamsIt) {
    // At thirty times the speed, program 1's first interval (0:30) takes a second.
    Start({"--speed", "30", "--clock", "12:00:00"});
    ASSERT_TRUE(m_link.Write("?D\r"));
    const std::string strStart = WaitForLine([](const std::string& s) { return Columns(s, 5, 2) == "ST"; }, 5s);
    EXPECT_EQ(Columns(strStart, 0, 4), "0002") << strStart; // the start that comes next
    EXPECT_EQ(Columns(strStart, 8, 12), " 12:00:30.00") << strStart;
    const std::string strLead = WaitForLine([](const std::string& s) { return Columns(s, 0, 2) != "D?"; }, 2s);
    EXPECT_EQ(Columns(strLead, 0, 2), "  ") << strLead;
    EXPECT_EQ(Columns(strLead, 13, 7), "0:00:30") << strLead;
    // The display counts the next start.
    const std::string strShown = WaitForLine([](const std::string& s) { return Columns(s, 0, 2) == "D?"; }, 2s);
    EXPECT_EQ(Columns(strShown, 12, 4), "   2") << strShown;

    ASSERT_TRUE(m_link.Write("?D\r"));
    LinesFor(300ms);
    ASSERT_TRUE(m_link.Write("?M\r"));
    const std::string strFirst = WaitForLine([](const std::string& s) { return Columns(s, 0, 2) == "M?"; }, 2s);
    EXPECT_EQ(strFirst, "M?0001     12:00:30.00   0:00:30");
}

TEST_F(SimulatorTest, FrozenBreakShowsTheClockThatWasSet) {
    Start({"--frozen", "--clock", "08:15:00", "--program", "0"});
    std::vector<std::string> replies = Ask("?S");
    ASSERT_THAT(replies, SizeIs(1));
    EXPECT_EQ(Columns(replies[0], 3, 8), "08:15:00");
    EXPECT_EQ(Columns(replies[0], 18, 2), " 0");
    EXPECT_THAT(Ask("=T101010"), ElementsAre("T=101010"));
    replies = Ask("?S");
    ASSERT_THAT(replies, SizeIs(1));
    EXPECT_EQ(Columns(replies[0], 3, 8), "10:10:10");
}

// ---- The line: link, openings, pacing and faults ------------------------------------------------------------

TEST_F(SimulatorTest, AnswersAgainAfterTheProgramClosesAndReopensItsPort) {
    Start({"--frozen"});
    for (int i = 0; i < 3; ++i) {
        EXPECT_THAT(Ask("=B" + std::to_string(i)), ElementsAre("B=" + std::to_string(i)));
        m_link.Close();
        ASSERT_TRUE(m_link.Open(kComPort, kBaudRate));
    }
}

TEST_F(SimulatorTest, RepliesToAClosedPortAreNotKeptForTheNextOpening) {
    Start({"--frozen", "--memory", "40", "--baud", "4800"});
    ASSERT_TRUE(m_link.Write("?M\r"));
    Lines(1, 2s);
    m_link.Close(); // in the middle of 40 lines of 33 bytes (about 2.7 s at 4800 baud)
    std::string strLeft;
    while (m_link.PopLine(strLeft)) {
    }
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(m_link.Open(kComPort, kBaudRate));
    EXPECT_THAT(LinesFor(500ms), IsEmpty());
}

struct SSignalRow {
    int nSignal;
    const char* pName;
};

TEST_F(SimulatorTest, LinkGoesWhenTheSimulatorIsStopped) {
    const SSignalRow rows[] = {{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}};
    for (const auto& row : rows) {
        CSimProcess sim(m_dir.Path(), {"--com", "9"});
        const std::filesystem::path link = sim.LinkPath();
        EXPECT_EQ(std::filesystem::read_symlink(link), std::filesystem::path(sim.DevicePath())) << row.pName;
        sim.Signal(row.nSignal);
        const auto deadline = Clock::now() + 3s;
        std::error_code error;
        while (std::filesystem::exists(std::filesystem::symlink_status(link, error)) && Clock::now() < deadline)
            std::this_thread::sleep_for(5ms);
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link, error))) << row.pName;
        EXPECT_EQ(sim.Stop(), 0) << row.pName;
    }
}

TEST_F(SimulatorTest, StaleLinkIsReplaced) {
    std::filesystem::create_directories(m_dir.File("ports"));
    std::filesystem::create_symlink("/nonexistent/pts/99", m_dir.File("ports/COM7"));
    Start({"--frozen"});
    EXPECT_EQ(std::filesystem::read_symlink(m_dir.File("ports/COM7")), std::filesystem::path(m_sim->DevicePath()));
    EXPECT_THAT(Ask("=B3"), ElementsAre("B=3"));
}

TEST_F(SimulatorTest, PacesItsOutputAtTheBaudRate) {
    // 12 memory lines of 33 bytes at 4800 baud take about 0.83 s; unpaced they take a few milliseconds.
    Start({"--frozen", "--memory", "12", "--baud", "4800"});
    const auto begin = Clock::now();
    const std::vector<std::string> lines = Ask("?M", 12, 5s);
    const auto elapsed = Clock::now() - begin;
    EXPECT_THAT(lines, SizeIs(12));
    EXPECT_GE(elapsed, 500ms);
    EXPECT_LE(elapsed, 3s);
}

TEST_F(SimulatorTest, ShortPauseInsideALineKeepsItWhole) {
    Start({"--frozen", "--split-pause", "100"});
    const std::vector<std::string> replies = Ask("?S");
    ASSERT_THAT(replies, SizeIs(1));
    EXPECT_EQ(Columns(replies[0], 0, 2), "S?");
    EXPECT_EQ(replies[0].size(), 27u);
}

TEST_F(SimulatorTest, LongPauseInsideALineLosesItsFirstHalf) {
    // The program's link drops a partial line after 250 ms of silence.
    Start({"--frozen", "--split-pause", "400"});
    const std::vector<std::string> replies = Ask("?S");
    ASSERT_THAT(replies, SizeIs(1));
    EXPECT_NE(Columns(replies[0], 0, 2), "S?");
    EXPECT_EQ(replies[0], "  1 2 1 0:30 9"); // columns 13-26 of "S?     0:30    1 2 1 0:30 9"
}

TEST_F(SimulatorTest, GarbageComesBetweenTheReplies) {
    Start({"--frozen", "--garbage", "--memory", "2"});
    const std::vector<std::string> lines = Ask("?M", 4);
    ASSERT_THAT(lines, SizeIs(4));
    EXPECT_NE(Columns(lines[0], 0, 2), "M?");
    EXPECT_EQ(Columns(lines[1], 0, 6), "M?0001");
    EXPECT_NE(Columns(lines[2], 0, 2), "M?");
    EXPECT_EQ(Columns(lines[3], 0, 6), "M?0002");
}

TEST_F(SimulatorTest, SilentSimulatorRecordsButSendsNothing) {
    const std::string strRecord = m_dir.File("received.bin");
    Start({"--silent", "--record", strRecord});
    ASSERT_TRUE(m_link.Write("?S\r"));
    ASSERT_TRUE(m_link.Write("?D\r"));
    EXPECT_THAT(LinesFor(600ms), IsEmpty());
    std::ifstream file(strRecord, std::ios::binary);
    const std::string strBytes{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(strBytes, "?S\r?D\r");
}

TEST_F(SimulatorTest, RecordHoldsExactlyTheBytesTheProgramSent) {
    const std::string strRecord = m_dir.File("received.bin");
    Start({"--frozen", "--record", strRecord});
    const std::string strSent = std::string("=P60\r\n?S\r") + "=T093000\r" + std::string("\x00\xff\r", 3);
    ASSERT_TRUE(m_link.Write(strSent));
    Lines(3, 2s);
    std::ifstream file(strRecord, std::ios::binary);
    const std::string strBytes{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(strBytes, strSent);
}

// ---- The command line ---------------------------------------------------------------------------------------

int RunSimulator(const std::string& strArguments, const std::string& strOutput) {
    const int nStatus = std::system((KALVORA_SIM_PATH " " + strArguments + " > " + strOutput + " 2>&1").c_str());
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

TEST_F(SimulatorTest, HelpListsTheOptionsAndBadOptionsAreRefused) {
    const std::string strOutput = m_dir.File("out.txt");
    EXPECT_EQ(RunSimulator("--help", strOutput), 0);
    std::ifstream file(strOutput);
    const std::string strHelp{std::istreambuf_iterator<char>(file), {}};
    for (const char* pOption :
         {"--com", "--dir", "--baud", "--memory", "--clock", "--frozen", "--speed", "--garbage", "--split-pause",
          "--stream-period", "--silent", "--record", "--clock-offset", "--clock-drift"})
        EXPECT_NE(strHelp.find(pOption), std::string::npos) << pOption;
    for (const char* pBad : {"--bogus", "--com", "--com 0", "--baud x", "--clock 25:00:00", "--speed 0",
                             "--memory 1000", "--program 9", "--split-pause -1", "--stream-period 9",
                             "--stream-period 60001", "--stream-period x", "--clock-offset", "--clock-offset x",
                             "--clock-offset 43200.5", "--clock-drift 600.1", "--clock-drift -601", "--clock-drift 1s"})
        EXPECT_EQ(RunSimulator(std::string(pBad) + " --dir " + m_dir.Path(), strOutput), 2) << pBad;
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("ports")));
}

// ---- Where ports/ goes by default

// Starts a copy of the simulator at strProgram without --dir and gives the path of the link it made (empty when
// none came within a few seconds), then stops it.
std::string DefaultLinkOfCopy(const std::string& strProgram, const std::vector<std::string>& candidates) {
    std::filesystem::copy_file(KALVORA_SIM_PATH, strProgram);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::string strArg0 = strProgram, strCom = "--com", strPort = "7";
    char* argv[] = {strArg0.data(), strCom.data(), strPort.data(), nullptr};
    pid_t nPid = -1;
    const int nError = posix_spawn(&nPid, strProgram.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (nError != 0)
        return "(not started)";
    std::string strFound;
    const auto deadline = Clock::now() + 5s;
    while (strFound.empty() && Clock::now() < deadline) {
        for (const std::string& strCandidate : candidates) {
            std::error_code error;
            if (std::filesystem::is_symlink(strCandidate, error))
                strFound = strCandidate;
        }
        std::this_thread::sleep_for(5ms);
    }
    kill(nPid, SIGTERM);
    waitpid(nPid, nullptr, 0);
    return strFound;
}

TEST(SimulatorDirectory, ByDefaultThePortsAreWhereTheProgramLooks) {
    {
        CTempDir dir;
        EXPECT_EQ(DefaultLinkOfCopy(dir.File("kalvora-sim"), {dir.File("ports/COM7")}), dir.File("ports/COM7"))
            << "built: beside the executable";
    }
    {
        CInstalledLayout layout;
        const std::string strUser = layout.User() + "/ports/COM7";
        const std::string strBeside = layout.Bin() + "/ports/COM7";
        EXPECT_EQ(DefaultLinkOfCopy(layout.Bin() + "/kalvora-sim", {strUser, strBeside}), strUser)
            << "installed: in the user's directory";
        EXPECT_FALSE(std::filesystem::exists(layout.Bin() + "/ports"));
    }
}

} // namespace
