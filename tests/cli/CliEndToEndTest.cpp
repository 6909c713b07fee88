// kalvora-cli as a user runs it, against the simulator (or a recording peer) over a pseudo-terminal: the bytes each
// command puts on the line, what it prints, its exit status, and bad input refused before the line is touched.

#include "base/Files.h"
#include "link/SerialLink.h"
#include "live/LiveServer.h"
#include "memory/MemoryProtocol.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/InstalledLayout.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/RawHttp.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using ::testing::Not;

namespace {

constexpr int kPort = 5;
constexpr auto kRunTimeout = 15s;
const std::string kUsageStart = "Usage: kalvora-cli";

// A directory of the tool's files (config.ini, ports/, program files) with the simulator as COM 5.
class CliEndToEndTest : public ::testing::Test {
protected:
    void StartSim(std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"--com", std::to_string(kPort), "--record", RecordPath()});
        m_sim = std::make_unique<CSimProcess>(m_dir.Path(), args);
    }
    // The tool with --dir and --port before the arguments.
    CProgramRun Cli(std::vector<std::string> args, std::chrono::milliseconds timeout = kRunTimeout) const {
        args.insert(args.begin(), {"--dir", m_dir.Path(), "--port", std::to_string(kPort)});
        return RunProgram(KALVORA_CLI_PATH, args, timeout);
    }
    // The tool with exactly these arguments.
    static CProgramRun CliAsGiven(const std::vector<std::string>& args) {
        return RunProgram(KALVORA_CLI_PATH, args, kRunTimeout);
    }
    std::string RecordPath() const { return m_dir.File("received.bin"); }
    // Every byte the simulator received so far.
    std::string Received() const {
        std::this_thread::sleep_for(50ms); // the simulator's last read
        return ReadFileBytes(RecordPath()).value_or("<no record>");
    }

    CTempDir m_dir;
    std::unique_ptr<CSimProcess> m_sim;
};

std::string Printable(const std::string& strText) {
    std::string strOut;
    for (const char c : strText)
        strOut += c == '\r' ? std::string("\\r") : std::string(1, c);
    return strOut;
}

std::vector<std::string> Lines(const std::string& strText, const std::string& strEnd = "\n") {
    std::vector<std::string> lines;
    std::size_t nStart = 0;
    for (std::size_t nEnd; (nEnd = strText.find(strEnd, nStart)) != std::string::npos; nStart = nEnd + strEnd.size())
        lines.push_back(strText.substr(nStart, nEnd - nStart));
    return lines;
}

// ---- each command: its bytes, its output, its status

struct SCommandRow {
    const char* pszName;
    std::vector<std::string> simArgs;
    std::vector<std::string> args;
    std::string strReceived;
    int nExitCode;
    std::string strOutPattern; // the whole standard output, as an extended regular expression
    std::string strErrPart;    // a part of standard error; empty: nothing there
};

std::ostream& operator<<(std::ostream& stream, const SCommandRow& row) {
    return stream << row.pszName;
}

class CliCommandTest : public CliEndToEndTest, public ::testing::WithParamInterface<SCommandRow> {};

TEST_P(CliCommandTest, WritesItsBytesAndPrintsTheReply) {
    const SCommandRow& row = GetParam();
    StartSim(row.simArgs);
    const CProgramRun run = Cli(row.args);
    EXPECT_EQ(run.m_nExitCode, row.nExitCode) << run.m_strErr;
    EXPECT_TRUE(std::regex_match(run.m_strOut, std::regex(row.strOutPattern, std::regex::extended)))
        << Printable(run.m_strOut);
    if (row.strErrPart.empty()) {
        EXPECT_THAT(run.m_strErr, IsEmpty());
    } else {
        EXPECT_THAT(run.m_strErr, HasSubstr(row.strErrPart));
    }
    EXPECT_EQ(Printable(Received()), Printable(row.strReceived));
}

const std::string kCurrentValuesText =
    "display: 0:30\nsmall: 1\nlight: yellow\nprogram: P1\ntime: 0:30\nbrightness: 9\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, CliCommandTest,
    ::testing::Values(
        SCommandRow{"Get", {"--frozen"}, {"get"}, "?S\r", 0, kCurrentValuesText, ""},
        SCommandRow{
            "GetJson",
            {"--frozen"},
            {"get", "--json"},
            "?S\r",
            0,
            R"([{]"display":"0:30","small":"1","light":"yellow","program":"P1","time":"0:30","brightness":"9"[}])"
            "\n",
            ""},
        SCommandRow{"SetProgram", {"--frozen"}, {"set", "program", "P60"}, "=P60\r", 0, "acknowledged: P=60\n", ""},
        SCommandRow{"SetCountdown", {"--frozen"}, {"set", "countdown", "4"}, "=C4\r", 0, "acknowledged: C=4\n", ""},
        SCommandRow{"SetBrightness", {"--frozen"}, {"set", "brightness", "4"}, "=B4\r", 0, "acknowledged: B=4\n", ""},
        SCommandRow{"SetClockGiven",
                    {"--frozen"},
                    {"set", "clock", "08:30:00"},
                    "=T083000\r",
                    0,
                    "clock: 08:30:00\nerror: [0-9]+\\.[0-9][0-9] ms\n",
                    ""},
        SCommandRow{"Master", {"--frozen"}, {"master"}, "=MASTER\r?D\r", 0, "acknowledged: M=\n", ""},
        SCommandRow{"Slave", {"--frozen"}, {"slave"}, "=SLAVE\r", 0, "acknowledged: S=\n", ""},
        SCommandRow{"MemoryErase", {"--frozen", "--memory", "3"}, {"memory", "erase"}, "?E\r", 0, "erased\n", ""},
        SCommandRow{"ABrightnessTheUnitRefusesGetsNoAcknowledgement",
                    {"--frozen"},
                    {"set", "brightness", "12"},
                    "=B12\r",
                    1,
                    "",
                    "no reply to \"=B12\" from the unit on COM 5"},
        SCommandRow{"ASilentUnitGivesNoCurrentValues", {"--silent"}, {"get"}, "?S\r", 1, "", "no reply to \"?S\""},
        SCommandRow{"ASilentUnitGivesNoMemory", {"--silent"}, {"memory", "read"}, "?M\r", 1, "", "no reply to \"?M\""},
        SCommandRow{"ASilentUnitErasesNothing", {"--silent"}, {"memory", "erase"}, "?E\r", 1, "", "no reply"},
        SCommandRow{"ASilentUnitAcknowledgesNoMode", {"--silent"}, {"slave"}, "=SLAVE\r", 1, "", "no reply"},
        SCommandRow{"ASilentUnitStreamsNothing",
                    {"--silent"},
                    {"monitor", "--seconds", "0.5"},
                    "?D\r?D\r",
                    1,
                    "",
                    "no monitor line from the unit on COM 5"},
        SCommandRow{"ASilentUnitDoesNotAcknowledgeTheClock",
                    {"--silent"},
                    {"set", "clock", "08:30:00"},
                    "=T083000\r",
                    1,
                    "clock: 08:30:00\nerror: [0-9]+\\.[0-9][0-9] ms\n",
                    "no reply to \"=T083000\" from the unit on COM 5"}),
    [](const auto& info) { return std::string(info.param.pszName); });

// ---- the clock on the start of its second

TEST_F(CliEndToEndTest, SetClockSendsTheComputersSecondSoThatItsCarriageReturnStartsIt) {
    CPtyPeer peer;
    peer.LinkAsPort(m_dir.Path(), kPort);
    CChildProcess cli(KALVORA_CLI_PATH, {"--dir", m_dir.Path(), "--port", std::to_string(kPort), "set", "clock"});
    const std::string strBytes = peer.ReadUntil(9, 3s);
    const auto arrived = std::chrono::system_clock::now();
    ASSERT_TRUE(peer.Write("T=\r"));
    ASSERT_EQ(cli.Wait(kRunTimeout), 0) << cli.Err();

    std::smatch match;
    ASSERT_TRUE(std::regex_match(cli.Out(), match, std::regex("clock: (..):(..):(..)\nerror: ([0-9.]+) ms\n")))
        << cli.Out();
    EXPECT_EQ(Printable(strBytes), Printable("=T" + match[1].str() + match[2].str() + match[3].str() + "\r"));
    // On a line at 2400 baud the carriage return leaves 37.5 ms after the pseudo-terminal passes the bytes on.
    const auto leaves = arrived + 37'500us;
    const auto second = std::chrono::round<std::chrono::seconds>(leaves);
    EXPECT_LT(std::chrono::abs(leaves - second), 60ms);
    const std::time_t nSecond = std::chrono::system_clock::to_time_t(second);
    std::tm local{};
    ::localtime_r(&nSecond, &local);
    char szClock[16];
    std::strftime(szClock, sizeof szClock, "%H:%M:%S", &local);
    EXPECT_EQ(match[1].str() + ":" + match[2].str() + ":" + match[3].str(), szClock);
    EXPECT_LT(std::stod(match[4].str()), 60.0);
}

// ---- the memory of start times

// The lines a window's link collects for "?M", as the Read Memory dialog takes them into its rows.
std::vector<CMemoryCells> MemoryAsTheDialogReadsIt(const std::string& strDevice) {
    CSerialLink link;
    std::vector<CMemoryCells> rows;
    if (!link.OpenDevice(strDevice, 2400))
        return rows;
    link.Write(kCmdReadMemory);
    std::this_thread::sleep_for(1500ms);
    link.Close();
    DrainLines(link, [&](const std::string& strLine) {
        const CMemoryReply reply = ParseMemoryReply(strLine);
        if (reply.m_kind == EMemoryReply::Entry && rows.size() < static_cast<std::size_t>(kMemoryRows))
            rows.push_back(reply.m_cells);
    });
    return rows;
}

TEST_F(CliEndToEndTest, MemoryTxtIsTheReadMemoryDialogsExportByteForByte) {
    StartSim({"--frozen", "--memory", "12"});
    const CProgramRun toScreen = Cli({"memory", "read"});
    ASSERT_EQ(toScreen.m_nExitCode, 0) << toScreen.m_strErr;
    const CProgramRun toFile = Cli({"memory", "read", "--format", "txt", "-o", m_dir.File("heat.txt")});
    ASSERT_EQ(toFile.m_nExitCode, 0) << toFile.m_strErr;
    EXPECT_THAT(toFile.m_strOut, IsEmpty());

    const std::string strExport = BuildMemoryExport(MemoryAsTheDialogReadsIt(m_sim->DevicePath()));
    EXPECT_EQ(std::count(strExport.begin(), strExport.end(), '\n'), 12);
    EXPECT_EQ(toScreen.m_strOut, strExport);
    EXPECT_EQ(ReadFileBytes(m_dir.File("heat.txt")), strExport);
    // Full-length entries: 25 characters and CR LF a line.
    EXPECT_EQ(strExport.size(), 12u * 27);
    EXPECT_EQ(Received(), "?M\r?M\r?M\r");
}

// The export's cells by their widths: start number, blank, start time, blank, lead time.
std::vector<std::array<std::string, 3>> ExportCells(const std::string& strExport) {
    std::vector<std::array<std::string, 3>> cells;
    std::size_t nStart = 0;
    for (std::size_t nEnd; (nEnd = strExport.find("\r\n", nStart)) != std::string::npos; nStart = nEnd + 2) {
        const std::string strLine = strExport.substr(nStart, nEnd - nStart);
        const auto trimmed = [&](std::size_t nAt, std::size_t nLength) {
            std::string strField = strLine.substr(nAt, nLength);
            strField.erase(0, strField.find_first_not_of(' '));
            strField.erase(strField.find_last_not_of(' ') + 1);
            return strField;
        };
        cells.push_back({trimmed(0, 4), trimmed(5, 12), trimmed(18, 7)});
    }
    return cells;
}

TEST_F(CliEndToEndTest, MemoryCsvAndJsonHoldTheExportsEntriesTrimmed) {
    StartSim({"--frozen", "--memory", "3"});
    const CProgramRun txt = Cli({"memory", "read"});
    const CProgramRun csv = Cli({"memory", "read", "--format", "csv"});
    const CProgramRun json = Cli({"memory", "read", "--format", "json", "-o", m_dir.File("heat.json")});
    ASSERT_EQ(txt.m_nExitCode, 0);
    ASSERT_EQ(csv.m_nExitCode, 0);
    ASSERT_EQ(json.m_nExitCode, 0);

    std::string strCsv = "start_no,start_time,lead_time\r\n";
    std::string strJson = "[\n";
    const auto cells = ExportCells(txt.m_strOut);
    ASSERT_EQ(cells.size(), 3u);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        EXPECT_THAT(cells[i][1], MatchesRegex("[0-9]+:[0-9][0-9]:[0-9][0-9]\\.[0-9][0-9]"));
        strCsv += cells[i][0] + "," + cells[i][1] + "," + cells[i][2] + "\r\n";
        strJson += "  {\"start_no\":\"" + cells[i][0] + "\",\"start_time\":\"" + cells[i][1] + "\",\"lead_time\":\"" +
                   cells[i][2] + "\"}" + (i + 1 < cells.size() ? ",\n" : "\n");
    }
    strJson += "]\n";
    EXPECT_EQ(cells[0][0], "0001");
    EXPECT_EQ(csv.m_strOut, strCsv);
    EXPECT_EQ(ReadFileBytes(m_dir.File("heat.json")), strJson);
}

TEST_F(CliEndToEndTest, AnEmptyMemoryIsAHeaderAnEmptyArrayOrNothing) {
    StartSim({"--frozen"});
    const struct {
        const char* pszFormat;
        const char* pszOut;
    } rows[] = {{"txt", ""}, {"csv", "start_no,start_time,lead_time\r\n"}, {"json", "[]\n"}};
    for (const auto& row : rows) {
        const CProgramRun run = Cli({"memory", "read", "--format", row.pszFormat});
        EXPECT_EQ(run.m_nExitCode, 0) << row.pszFormat << run.m_strErr;
        EXPECT_EQ(run.m_strOut, row.pszOut) << row.pszFormat;
        EXPECT_LT(run.m_took, 1500ms) << row.pszFormat; // the empty reply is the whole reply: no quiet time to wait
    }
    EXPECT_EQ(Received(), "?M\r?M\r?M\r");
}

TEST_F(CliEndToEndTest, EraseThenReadGivesTheEmptyMemory) {
    StartSim({"--frozen", "--memory", "5"});
    EXPECT_EQ(Lines(Cli({"memory", "read", "--format", "csv"}).m_strOut, "\r\n").size(), 6u); // the header and five
    EXPECT_EQ(Cli({"memory", "erase"}).m_nExitCode, 0);
    EXPECT_EQ(Cli({"memory", "read", "--format", "csv"}).m_strOut, "start_no,start_time,lead_time\r\n");
}

// ---- the live stream

// One record: the local time stamp, the kind, and the kind's fields.
const char* const kJsonlPattern =
    R"re([{]"time":"[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}[+-][0-9]{2}:[0-9]{2}","kind":")re"
    R"re(((display","large":"[^"]*","small":"[^"]*","light":"(off|red|yellow|green|)")|)re"
    R"re((start","start_no":"[0-9]+","start_time":"[^"]+","clock_offset":(null|-?[0-9]+\.[0-9]{3}))|)re"
    R"re((lead","lead_time":"[^"]+"))[}])re";

TEST_F(CliEndToEndTest, MonitorJsonlIsOneObjectPerRecognisedLine) {
    // Program 3 starts every two minutes; at sixty times the speed, every two seconds.
    StartSim({"--program", "3", "--speed", "60"});
    const auto started = std::chrono::system_clock::now();
    const CProgramRun run = Cli({"monitor", "--format", "jsonl", "--seconds", "3"});
    ASSERT_EQ(run.m_nExitCode, 0) << run.m_strErr;
    EXPECT_GE(run.m_took, 3s);
    EXPECT_LT(run.m_took, 6s);
    const std::vector<std::string> lines = Lines(run.m_strOut);
    ASSERT_GE(lines.size(), 10u);
    int nStarts = 0;
    int nLeads = 0;
    std::string strPrevious;
    for (const std::string& strLine : lines) {
        EXPECT_TRUE(std::regex_match(strLine, std::regex(kJsonlPattern, std::regex::extended))) << strLine;
        nStarts += strLine.find("\"kind\":\"start\"") != std::string::npos;
        nLeads += strLine.find("\"kind\":\"lead\"") != std::string::npos;
        const std::string strTime = strLine.substr(9, 29);
        EXPECT_GE(strTime, strPrevious); // in order of arrival
        strPrevious = strTime;
    }
    EXPECT_GE(nStarts, 1);
    EXPECT_GE(nLeads, 1);
    // The stamps are the local time of this run.
    const std::time_t nStarted = std::chrono::system_clock::to_time_t(started);
    std::tm local{};
    ::localtime_r(&nStarted, &local);
    char szDay[16];
    std::strftime(szDay, sizeof szDay, "%Y-%m-%d", &local);
    EXPECT_EQ(lines.front().substr(9, 10), szDay);
    EXPECT_EQ(Received(), "?D\r?D\r");
}

TEST_F(CliEndToEndTest, MonitorTextAndCsv) {
    StartSim({"--frozen"});
    const CProgramRun text = Cli({"monitor", "--seconds", "1"});
    ASSERT_EQ(text.m_nExitCode, 0) << text.m_strErr;
    const auto textLines = Lines(text.m_strOut);
    ASSERT_FALSE(textLines.empty());
    for (const std::string& strLine : textLines)
        EXPECT_THAT(strLine,
                    MatchesRegex("[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} display large=0:30 small=1 light=yellow"));

    const CProgramRun csv = Cli({"monitor", "--format", "csv", "--seconds", "1"});
    ASSERT_EQ(csv.m_nExitCode, 0) << csv.m_strErr;
    const auto csvLines = Lines(csv.m_strOut, "\r\n");
    ASSERT_GE(csvLines.size(), 2u);
    EXPECT_EQ(csvLines[0], "time,kind,large,small,light,start_no,start_time,lead_time,name,club,class,planned,"
                           "difference,clock_offset");
    for (std::size_t i = 1; i < csvLines.size(); ++i)
        EXPECT_THAT(csvLines[i], MatchesRegex(".{29},display,0:30,1,yellow,,,,,,,,,")) << i;
    EXPECT_EQ(Received(), "?D\r?D\r?D\r?D\r");
}

// ---- the unit's clock and the start list

// The simulator's clock -0.62 s off the computer's and 36 s an hour fast, at sixty times the speed (so its offset
// grows by nearly a minute with every start of program 2), at 9600 baud (a start line takes 22 ms on the line): the
// monitor's figure after five starts is within 20 ms of the median of the offsets the simulator had at those five
// starts, as its --verbose output tells them.
TEST_F(CliEndToEndTest, MonitorShowsTheUnitsClockWithinTwentyMillisecondsOfTheSimulators) {
    CChildProcess sim(KALVORA_SIM_PATH, {"--dir", m_dir.Path(), "--com", std::to_string(kPort), "--program", "2",
                                         "--speed", "60", "--clock-offset", "-0.62", "--clock-drift", "36", "--baud",
                                         "9600", "--stream-period", "60000", "--verbose"});
    const std::string strLink = m_dir.File("ports/COM" + std::to_string(kPort));
    for (int i = 0; i < 100 && !std::filesystem::exists(strLink); ++i)
        std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(std::filesystem::exists(strLink));
    const CProgramRun run = Cli({"--baud", "9600", "monitor", "--format", "jsonl", "--seconds", "6"});
    sim.Signal(SIGTERM);
    sim.Wait(5s);
    ASSERT_EQ(run.m_nExitCode, 0) << run.m_strErr;

    // The simulator's offset at each start, by start number.
    std::map<std::string, double> truth;
    const std::regex logLine("kalvora-sim: start ([0-9]+) at [0-9:.]+, clock offset ([-+][0-9]+\\.[0-9]+) s");
    for (const std::string& strLine : Lines(sim.Err())) {
        std::smatch match;
        if (std::regex_match(strLine, match, logLine))
            truth[match[1]] = std::stod(match[2]);
    }
    // The monitor's start records: their numbers, and the figure after the fifth.
    const std::regex startRecord(".*\"kind\":\"start\",\"start_no\":\"([0-9]+)\".*\"clock_offset\":(-?[0-9.]+)[}]");
    std::vector<double> offsets;
    double dFigure = 0;
    for (const std::string& strLine : Lines(run.m_strOut)) {
        std::smatch match;
        if (!std::regex_match(strLine, match, startRecord) || offsets.size() == 5)
            continue;
        ASSERT_EQ(truth.count(match[1]), 1u) << strLine;
        offsets.push_back(truth[match[1]]);
        dFigure = std::stod(match[2]);
    }
    ASSERT_EQ(offsets.size(), 5u) << run.m_strOut;
    std::sort(offsets.begin(), offsets.end());
    EXPECT_NEAR(dFigure, offsets[2], 0.020) << run.m_strOut << sim.Err();
    std::printf("clock offset after five starts: %+.3f s, the simulator's %+.3f s: %+.1f ms\n", dFigure, offsets[2],
                (dFigure - offsets[2]) * 1000);
    // Far off the computer's clock: the monitor says so on standard error.
    EXPECT_THAT(run.m_strErr, HasSubstr("kalvora-cli: the unit's clock is "));
    EXPECT_THAT(run.m_strErr, HasSubstr(" s ahead of this computer: Set PC Time"));
}

// A start list puts names to the start numbers of the stream in every form, and to the memory in every export.
TEST_F(CliEndToEndTest, TheStartListNamesTheStartsOfTheStreamAndTheMemory) {
    const std::string strList = m_dir.File("list.csv");
    ASSERT_TRUE(WriteFileReplacing(strList, "Startnummer;Vorname;Nachname;Verein;Klasse;Startzeit\r\n"
                                            "1;J\xF6rg;M\xFCller;SC Hochfirst;H21;12:02:00\r\n"
                                            "2;Anna;Berg;OK Skogen;D21;12:04:00\r\n"
                                            "x;Bad;Row;;;\r\n"));
    // Program 3 starts every two minutes of its time; at sixty times the speed, every two seconds.
    StartSim({"--program", "3", "--speed", "60", "--clock", "12:00:00"});
    const CProgramRun text = Cli({"monitor", "--seconds", "2.6", "--start-list", strList});
    ASSERT_EQ(text.m_nExitCode, 0) << text.m_strErr;
    EXPECT_THAT(text.m_strOut,
                MatchesRegex("(.*\n)*[0-9:.]{12} start start_no=1 start_time=12:02:00.00 "
                             "name=\"J\xC3\xB6rg M\xC3\xBCller\" club=\"SC Hochfirst\" class=H21 "
                             "planned=12:02:00 difference=\\+0:00.00( clock_offset=[-+][0-9.]+)?\n(.*\n)*"));
    // Each row the start list leaves out is told on standard error, with the file and the line.
    EXPECT_THAT(text.m_strErr, HasSubstr("kalvora-cli: start list " + strList +
                                         ", line 4: start number \"x\" is not a number from 0 to 9999\n"));
    m_sim.reset();

    StartSim({"--frozen", "--memory", "3", "--clock", "12:00:00"});
    const CProgramRun csv = Cli({"memory", "read", "--format", "csv", "--start-list", strList});
    ASSERT_EQ(csv.m_nExitCode, 0) << csv.m_strErr;
    const auto rows = Lines(csv.m_strOut, "\r\n");
    ASSERT_EQ(rows.size(), 4u) << csv.m_strOut;
    EXPECT_EQ(rows[0], "\xEF\xBB\xBFStart No;Name;Club;Class;Planned;Actual;Difference");
    EXPECT_THAT(rows[1], MatchesRegex("1;J\xC3\xB6rg M\xC3\xBCller;SC Hochfirst;H21;12:02:00;[0-9:.]+;[-+][0-9:.]+"));
    EXPECT_THAT(rows[3], MatchesRegex("3;;;;;[0-9:.]+;"));

    const CProgramRun json = Cli({"memory", "read", "--format", "json", "--start-list", strList});
    ASSERT_EQ(json.m_nExitCode, 0) << json.m_strErr;
    EXPECT_THAT(json.m_strOut, HasSubstr("\"start_no\":\"0002\""));
    EXPECT_THAT(json.m_strOut, HasSubstr("\"name\":\"Anna Berg\",\"club\":\"OK Skogen\",\"class\":\"D21\","
                                         "\"planned\":\"12:04:00\""));

    const std::string strXml = m_dir.File("heat.xml");
    const CProgramRun iof = Cli({"memory", "read", "--format", "iof", "--start-list", strList, "-o", strXml});
    ASSERT_EQ(iof.m_nExitCode, 0) << iof.m_strErr;
    const std::string xml = ReadFileBytes(strXml).value_or("");
    EXPECT_THAT(xml, HasSubstr("<Family>M\xC3\xBCller</Family>"));
    EXPECT_THAT(xml,
                MatchesRegex("(.*\n)*        <BibNumber>3</BibNumber>\n        <StartTime>[0-9]{4}-[0-9]{2}-[0-9]{2}T"
                             "[0-9:.]+[-+][0-9]{2}:[0-9]{2}</StartTime>\n(.*\n)*"));
    // Without a start list the IOF export still holds every start.
    const CProgramRun plain = Cli({"memory", "read", "--format", "iof"});
    ASSERT_EQ(plain.m_nExitCode, 0) << plain.m_strErr;
    EXPECT_THAT(plain.m_strOut, Not(HasSubstr("<Person>")));
    for (const char* pszBib : {"<BibNumber>1</BibNumber>", "<BibNumber>2</BibNumber>", "<BibNumber>3</BibNumber>"})
        EXPECT_THAT(plain.m_strOut, HasSubstr(pszBib));
}

// A start list that cannot be read is status 4 before the line is touched; with the text export it is a usage error.
TEST_F(CliEndToEndTest, AStartListThatCannotBeReadIsStatusFour) {
    StartSim({"--frozen", "--memory", "3"});
    ASSERT_TRUE(WriteFileReplacing(m_dir.File("names.csv"), "Name;Club\nAnna;X\n"));
    const CProgramRun missing = Cli({"memory", "read", "--format", "csv", "--start-list", m_dir.File("none.csv")});
    EXPECT_EQ(missing.m_nExitCode, 4);
    EXPECT_THAT(missing.m_strErr,
                HasSubstr("cannot read the start list " + m_dir.File("none.csv") + ": there is no such file"));
    const CProgramRun noNumbers = Cli({"monitor", "--seconds", "1", "--start-list", m_dir.File("names.csv")});
    EXPECT_EQ(noNumbers.m_nExitCode, 4);
    EXPECT_THAT(noNumbers.m_strErr, HasSubstr("the first line names no start number column"));
    const CProgramRun txt = Cli({"memory", "read", "--start-list", m_dir.File("names.csv")});
    EXPECT_EQ(txt.m_nExitCode, 2);
    EXPECT_THAT(txt.m_strErr, HasSubstr("memory read --start-list goes with --format csv, json or iof"));
    EXPECT_EQ(Received(), "");
}

// The link opens the unit again by itself after its cable was out; the stream goes on and the monitor with it.
TEST_F(CliEndToEndTest, MonitorFollowsTheUnitAcrossAPulledCable) {
    StartSim({"--frozen", "--unplug-after", "1", "--replug-after", "1"});
    CChildProcess cli(KALVORA_CLI_PATH,
                      {"--dir", m_dir.Path(), "--port", std::to_string(kPort), "monitor", "--seconds", "4"});
    cli.Collect(2500ms); // the cable is out from 1 s to 2 s
    const std::size_t nBeforeReplug = cli.Out().size();
    EXPECT_GT(nBeforeReplug, 0u);
    EXPECT_EQ(cli.Wait(5s), 0) << cli.Err();
    EXPECT_GT(cli.Out().size(), nBeforeReplug); // lines after the unit was back
    EXPECT_THAT(cli.Out().substr(nBeforeReplug), HasSubstr(" display large=0:30 small=1 light=yellow\n"));
    EXPECT_EQ(Received(), "?D\r?D\r"); // it kept streaming: no "?D" to switch it on again
}

// A unit whose display stands still refreshes it, and sends its "D?" line, only once a second: after the
// reconnection the monitor waits for that line instead of switching the stream off.
TEST_F(CliEndToEndTest, MonitorLeavesAUnitThatRefreshesOnceASecondStreaming) {
    StartSim({"--frozen", "--stream-period", "1000", "--unplug-after", "1", "--replug-after", "1"});
    CChildProcess cli(KALVORA_CLI_PATH,
                      {"--dir", m_dir.Path(), "--port", std::to_string(kPort), "monitor", "--seconds", "6"});
    cli.Collect(3000ms); // the cable is out from 1 s to 2 s
    const std::size_t nBeforeTheEnd = cli.Out().size();
    EXPECT_EQ(cli.Wait(6s), 0) << cli.Err();
    // The last three seconds still brought the display, once a second.
    EXPECT_THAT(cli.Out().substr(nBeforeTheEnd), HasSubstr(" display large=0:30 small=1 light=yellow\n"));
    EXPECT_EQ(Received(), "?D\r?D\r");
}

// Starts and lead/leg times come only from a streaming unit: after the reconnection they count as its stream as
// much as a "D?" line, which a still display sends seldom.
TEST_F(CliEndToEndTest, MonitorTakesStartLinesAsASignOfTheStream) {
    // Program 2 starts every minute; at 120 times the speed, twice a second. The display's line comes once, when
    // the stream is switched on, and then not for a minute.
    StartSim(
        {"--program", "2", "--speed", "120", "--stream-period", "60000", "--unplug-after", "1", "--replug-after", "1"});
    CChildProcess cli(KALVORA_CLI_PATH,
                      {"--dir", m_dir.Path(), "--port", std::to_string(kPort), "monitor", "--seconds", "6"});
    cli.Collect(4500ms); // the cable is out from 1 s to 2 s; a "?D" would have gone out by now
    const std::size_t nBeforeTheEnd = cli.Out().size();
    EXPECT_EQ(cli.Wait(6s), 0) << cli.Err();
    EXPECT_THAT(cli.Out().substr(nBeforeTheEnd), HasSubstr(" start "));
    EXPECT_EQ(Received(), "?D\r?D\r"); // no "?D" that switched the streaming unit off
}

TEST_F(CliEndToEndTest, CtrlCEndsTheMonitorAndSwitchesTheStreamOff) {
    StartSim({"--frozen"});
    CChildProcess cli(KALVORA_CLI_PATH, {"--dir", m_dir.Path(), "--port", std::to_string(kPort), "monitor"});
    cli.Collect(1200ms);
    EXPECT_THAT(cli.Out(), HasSubstr(" display large=0:30"));
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(3s), 0) << cli.Err();
    EXPECT_EQ(Received(), "?D\r?D\r");
}

// ---- the live page

TEST_F(CliEndToEndTest, MonitorServesTheLivePageFromTheLinesItShows) {
    StartSim({"--frozen"});
    CChildProcess cli(KALVORA_CLI_PATH, {"--dir", m_dir.Path(), "--port", std::to_string(kPort), "monitor", "--serve",
                                         "127.0.0.1:0", "--seconds", "3"});
    cli.Collect(1500ms);
    std::smatch port;
    ASSERT_TRUE(std::regex_search(cli.Err(), port,
                                  std::regex("^kalvora-cli: live page at http://127\\.0\\.0\\.1:"
                                             "([0-9]+)/\n$")))
        << cli.Err();
    const auto nPort = static_cast<unsigned short>(std::stoi(port[1]));
    const CRawAnswer state = RawRequest(nPort, GetRequest("/state.json"));
    EXPECT_EQ(state.m_nStatus, 200);
    EXPECT_THAT(state.m_strBody, HasSubstr("\"monitoring\":true,\"unitAnswers\":true,\"large\":\"    0:30\""));
    EXPECT_THAT(cli.Out(), HasSubstr(" display large=0:30"));
    EXPECT_EQ(cli.Wait(5s), 0) << cli.Err();
    EXPECT_EQ(RawRequest(nPort, GetRequest("/state.json"), 1s).m_nStatus, 0); // it ended with the tool
    EXPECT_EQ(Received(), "?D\r?D\r");
}

TEST_F(CliEndToEndTest, MonitorOnAPortInUseSaysSoAndLeavesTheLineAlone) {
    StartSim({"--frozen"});
    CLiveServer other;
    ASSERT_TRUE(other.Start("127.0.0.1", 0).m_bOk);
    const std::string strPort = std::to_string(other.Port());
    const CProgramRun run = Cli({"monitor", "--serve", "127.0.0.1:" + strPort, "--seconds", "1"});
    EXPECT_EQ(run.m_nExitCode, 5);
    EXPECT_EQ(run.m_strErr, "kalvora-cli: cannot serve the live page on 127.0.0.1 port " + strPort + ": in use\n");
    EXPECT_EQ(run.m_strOut, "");
    EXPECT_EQ(Received(), "");
}

// ---- uploads from the program files

// A program file of the Parameters dialog: rows "label;light;signal;interval;" with CR LF.
std::string ProgramFile(const std::vector<std::string>& rows) {
    std::string strText;
    for (std::size_t i = 0; i < rows.size(); ++i)
        strText += std::to_string(10 - static_cast<int>(i)) + ";" + rows[i] + ";\r\n";
    return strText;
}

TEST_F(CliEndToEndTest, UploadSendsTheFilesRowsAndIntervalsAndTheUnitRunsThem) {
    StartSim({"--frozen"});
    ASSERT_TRUE(WriteFileReplacing(m_dir.File("P3.txt"),
                                   ProgramFile({"0;0;5:00", "1;1;1000", "2;0;Break", "3;2;0:30", "0;0;", "1;0;2:00",
                                                "0;0;2:00", "0;0;2:00", "0;0;2:00", "0;0;2:00", "3;2;"})));
    const CProgramRun both = Cli({"programs", "upload", "3"});
    ASSERT_EQ(both.m_nExitCode, 0) << both.m_strErr;
    EXPECT_EQ(both.m_strOut, "sent: P3 details, 11 rows\nsent: P3 intervals CD0 to CD9\n");
    const std::string strDetails = "=L30000\r=L30111\r=L30220\r=L30332\r=L30400\r=L30510\r=L30600\r=L30700\r"
                                   "=L30800\r=L30900\r=L31032\r";
    const std::string strIntervals = "=W30500\r=W311000\r=W32Break\r=W33030\r=W34\r=W35200\r=W36200\r=W37200\r"
                                     "=W38200\r=W39200\r";
    EXPECT_EQ(Printable(Received()), Printable(strDetails + strIntervals));

    // The unit took them: program 3 now starts with five minutes.
    EXPECT_EQ(Cli({"set", "program", "P3"}).m_nExitCode, 0);
    EXPECT_THAT(Cli({"get"}).m_strOut, HasSubstr("time: 5:00\n"));

    // One part alone, from another directory.
    const CTempDir backup;
    ASSERT_TRUE(WriteFileReplacing(backup.File("P0.txt"), ProgramFile({"1;2;1:00", "2;1;2:00"})));
    const std::size_t nBefore = Received().size();
    EXPECT_EQ(Cli({"programs", "upload", "0", "--details", "--from", backup.Path()}).m_nExitCode, 0);
    EXPECT_EQ(Printable(Received().substr(nBefore)), Printable("=L00012\r=L00121\r"));
    EXPECT_EQ(Cli({"programs", "upload", "0", "--intervals", "--from", backup.Path()}).m_nExitCode, 0);
    EXPECT_EQ(Printable(Received().substr(nBefore)),
              Printable("=L00012\r=L00121\r=W00100\r=W01200\r=W02\r=W03\r=W04\r=W05\r=W06\r=W07\r=W08\r=W09\r"));
    // The upload changes no file.
    EXPECT_EQ(ReadFileBytes(backup.File("P0.txt")), ProgramFile({"1;2;1:00", "2;1;2:00"}));
}

// ---- the port, the files and the usage

TEST_F(CliEndToEndTest, APortThatCannotBeOpenedIsStatusThreeNamingTheDeviceAndWhy) {
    StartSim();
    std::filesystem::create_symlink(m_dir.File("gone"), m_dir.Path() + "/ports/COM9");
    ASSERT_TRUE(WriteFileReplacing(m_dir.File("plain"), "x"));
    const struct {
        const char* pszName;
        std::vector<std::string> args;
        std::string strErr;
    } rows[] = {
        {"a COM port whose device has gone",
         {"--dir", m_dir.Path(), "--port", "9", "get"},
         "kalvora-cli: Can't open COM port: COM 9 (" + m_dir.Path() + "/ports/COM9): no such device (unplugged?)\n"},
        {"a device that does not exist",
         {"--dir", m_dir.Path(), "--device", m_dir.File("ttyUSB7"), "set", "program", "P1"},
         "kalvora-cli: Can't open COM port: " + m_dir.File("ttyUSB7") + ": no such device (unplugged?)\n"},
        {"a plain file",
         {"--dir", m_dir.Path(), "--device", m_dir.File("plain"), "monitor", "--seconds", "5"},
         "kalvora-cli: Can't open COM port: " + m_dir.File("plain") + ": not a serial line\n"},
        {"the clock",
         {"--dir", m_dir.Path(), "--port", "9", "set", "clock"},
         "kalvora-cli: Can't open COM port: COM 9 (" + m_dir.Path() + "/ports/COM9): no such device (unplugged?)\n"},
        {"an upload", {"--dir", m_dir.Path(), "--port", "9", "programs", "upload", "1"}, ""},
    };
    ASSERT_TRUE(WriteFileReplacing(m_dir.File("P1.txt"), ProgramFile({"0;0;1:00"})));
    for (const auto& row : rows) {
        const CProgramRun run = CliAsGiven(row.args);
        EXPECT_EQ(run.m_nExitCode, 3) << row.pszName;
        EXPECT_THAT(run.m_strOut, IsEmpty()) << row.pszName;
        if (!row.strErr.empty()) {
            EXPECT_EQ(run.m_strErr, row.strErr) << row.pszName;
        }
        EXPECT_LT(run.m_took, 1500ms) << row.pszName; // nothing to wait for
    }
    EXPECT_EQ(Received(), "");
}

TEST_F(CliEndToEndTest, AFileThatCannotBeReadOrWrittenIsStatusFour) {
    StartSim({"--frozen", "--memory", "2"});
    const CProgramRun unwritable = Cli({"memory", "read", "-o", m_dir.File("no-such-dir/heat.txt")});
    EXPECT_EQ(unwritable.m_nExitCode, 4);
    EXPECT_THAT(unwritable.m_strErr, HasSubstr("cannot write " + m_dir.File("no-such-dir/heat.txt")));
    EXPECT_THAT(unwritable.m_strOut, IsEmpty());

    const CTempDir empty;
    const CProgramRun unreadable = Cli({"programs", "upload", "4", "--from", empty.Path()});
    EXPECT_EQ(unreadable.m_nExitCode, 4);
    EXPECT_THAT(unreadable.m_strErr, HasSubstr("cannot read " + empty.Path() + "/P4.txt"));
    EXPECT_THAT(unreadable.m_strOut, IsEmpty());
    EXPECT_EQ(Received(), "?M\r"); // the upload read its file before it touched the line
}

TEST_F(CliEndToEndTest, BadInputIsAUsageErrorAndNothingIsWritten) {
    StartSim({"--frozen"});
    const std::vector<std::vector<std::string>> rows = {
        {"reboot"},
        {"set", "program", "P6"},
        {"set", "program", "p1"},
        {"set", "countdown", "10"},
        {"set", "countdown", "-1"},
        {"set", "clock", "8:30"},
        {"set", "clock", "25:00:00"},
        {"set", "clock", "12:00:00", "now"},
        {"monitor", "--format", "xml"},
        {"memory", "read", "--format", "jsonl"},
        {"programs", "upload", "9"},
        {"get", "--port", "5"},
        {},
    };
    for (const auto& args : rows) {
        const CProgramRun run = Cli(args);
        EXPECT_EQ(run.m_nExitCode, 2) << ::testing::PrintToString(args);
        EXPECT_THAT(run.m_strOut, IsEmpty());
        EXPECT_THAT(run.m_strErr, HasSubstr(kUsageStart)) << ::testing::PrintToString(args);
        EXPECT_EQ(run.m_strErr.rfind("kalvora-cli: ", 0), 0u) << run.m_strErr;
    }
    const CProgramRun both = CliAsGiven({"--port", "5", "--device", "/dev/null", "get"});
    EXPECT_EQ(both.m_nExitCode, 2);
    EXPECT_THAT(both.m_strErr, HasSubstr("exclude each other"));
    EXPECT_EQ(Received(), "");
}

TEST_F(CliEndToEndTest, HelpIsTheUsageOnStandardOutput) {
    const CProgramRun run = CliAsGiven({"--help"});
    EXPECT_EQ(run.m_nExitCode, 0);
    EXPECT_EQ(run.m_strOut.rfind(kUsageStart, 0), 0u);
    EXPECT_THAT(run.m_strErr, IsEmpty());
}

TEST_F(CliEndToEndTest, ThePortComesFromConfigIniWhenNotGiven) {
    StartSim({"--frozen"});
    // COM 5 (index 4) at 9600 baud (index 2).
    ASSERT_TRUE(WriteFileReplacing(m_dir.File("config.ini"), "[Settings]\nCOMPort=4\nBaudrate=2\n"));
    const CProgramRun run = CliAsGiven({"--dir", m_dir.Path(), "get"});
    EXPECT_EQ(run.m_nExitCode, 0) << run.m_strErr;
    EXPECT_EQ(run.m_strOut, kCurrentValuesText);
    // Without the file: COM 7, whose device has gone.
    std::filesystem::remove(m_dir.File("config.ini"));
    std::filesystem::create_symlink(m_dir.File("gone"), m_dir.Path() + "/ports/COM7");
    const CProgramRun fallback = CliAsGiven({"--dir", m_dir.Path(), "get"});
    EXPECT_EQ(fallback.m_nExitCode, 3);
    EXPECT_THAT(fallback.m_strErr, HasSubstr("COM 7 (" + m_dir.Path() + "/ports/COM7)"));
    EXPECT_EQ(Received(), "?S\r");
}

TEST_F(CliEndToEndTest, PortsListsTwentyPortsWithTheirDevicesAndWhy) {
    StartSim({"--frozen"});
    std::filesystem::create_symlink(m_dir.File("gone"), m_dir.Path() + "/ports/COM9");
    const CProgramRun run = CliAsGiven({"--dir", m_dir.Path(), "ports"});
    EXPECT_EQ(run.m_nExitCode, 0);
    const std::vector<std::string> lines = Lines(run.m_strOut);
    ASSERT_EQ(lines.size(), 20u);
    // "COM n", or "COM n - <adapter>" for a USB adapter of this machine.
    for (int nPort = 1; nPort <= 20; ++nPort)
        EXPECT_THAT(lines[nPort - 1], MatchesRegex("COM " + std::to_string(nPort) + "( - [^:]+)?: .+")) << nPort;
    EXPECT_EQ(lines[4], "COM 5: " + m_dir.Path() + "/ports/COM5: can be opened");
    EXPECT_EQ(lines[8], "COM 9: " + m_dir.Path() + "/ports/COM9: no such device (unplugged?)");
    EXPECT_EQ(lines[9].rfind("COM 10: /dev/ttyS9: ", 0), 0u);
    EXPECT_EQ(Received(), ""); // opening a port writes nothing
}

// Installed, the command finds the ports where the program does: in the user's directory, not beside itself.
TEST(CliInstalled, PortsAreTheUsersLinks) {
    CInstalledLayout layout;
    const std::string strCli = layout.Bin() + "/kalvora-cli";
    std::filesystem::copy_file(KALVORA_CLI_PATH, strCli);
    std::filesystem::create_directories(layout.User() + "/ports");
    std::filesystem::create_symlink(layout.File("gone"), layout.User() + "/ports/COM9");
    const CProgramRun run = RunProgram(strCli, {"ports"}, kRunTimeout);
    EXPECT_EQ(run.m_nExitCode, 0);
    const std::vector<std::string> lines = Lines(run.m_strOut);
    ASSERT_EQ(lines.size(), 20u);
    EXPECT_EQ(lines[8], "COM 9: " + layout.User() + "/ports/COM9: no such device (unplugged?)");
    EXPECT_FALSE(std::filesystem::exists(layout.Bin() + "/ports"));
}

} // namespace
