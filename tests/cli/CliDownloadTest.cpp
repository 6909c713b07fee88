// Programs backed up and restored with kalvora-cli against the simulator: the one download (it takes its fixed
// twenty seconds), the files it leaves as the Parameters dialog saves them, and an edited program sent back.

#include "base/Files.h"
#include "programs/TransferCodec.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using ::testing::HasSubstr;

namespace {

constexpr int kPort = 5;

// The simulator's programs as it starts: the intervals CD0 to CD9 as the unit reports them, and in P1 to P8 the
// lights and signals of minutes 5 to 0 before a start (rows 5 to 10).
struct SDeviceProgram {
    std::array<const char*, 10> intervals;
};
const std::array<SDeviceProgram, 9> kDevicePrograms = {{
    {{"Break", "Break", "Break", "Break", "Break", "Break", "Break", "Break", "Break", "Break"}},
    {{"0:30", "1:00", "1:30", "2:00", "3:00", "0:30", "1:00", "1:30", "2:00", "3:00"}},
    {{"1:00", "1:00", "1:00", "1:00", "1:00", "1:00", "1:00", "1:00", "1:00", "1:00"}},
    {{"2:00", "2:00", "2:00", "2:00", "2:00", "2:00", "2:00", "2:00", "2:00", "2:00"}},
    {{"3:00", "3:00", "3:00", "3:00", "3:00", "3:00", "3:00", "3:00", "3:00", "3:00"}},
    {{"5:00", "5:00", "5:00", "5:00", "5:00", "5:00", "5:00", "5:00", "5:00", "5:00"}},
    {{"1:30", "1:30", "1:30", "1:30", "1:30", "1:30", "1:30", "1:30", "1:30", "1:30"}},
    {{"1000", "1000", "1000", "Break", "1000", "1000", "1000", "Break", "1000", "1000"}},
    {{"5:00", "5:00", "Break", "2:00", "2:00", "Break", "1:00", "1:00", "1:00", "Break"}},
}};
// Light and signal codes of rows 5 to 10.
const std::array<std::array<int, 2>, 6> kStartRows = {{{1, 1}, {1, 1}, {1, 0}, {1, 0}, {2, 1}, {3, 2}}};

// The file the Parameters dialog saves for a downloaded program of nRows rows: "label;light;signal;interval;" and
// CR LF, the label counting down from 10, intervals on the first ten rows.
std::string SavedProgramFile(int nProgram, int nRows) {
    std::string strText;
    for (int nRow = 0; nRow < nRows; ++nRow) {
        const bool bStartRow = nRow >= 5 && nRow <= 10;
        const auto codes = bStartRow ? kStartRows[static_cast<std::size_t>(nRow - 5)] : std::array<int, 2>{0, 0};
        strText += std::to_string(10 - nRow) + ";" + std::to_string(codes[0]) + ";" + std::to_string(codes[1]) + ";";
        if (nRow < 10)
            strText += kDevicePrograms[static_cast<std::size_t>(nProgram)].intervals[static_cast<std::size_t>(nRow)];
        strText += ";\r\n";
    }
    return strText;
}

std::string Joined(const std::vector<std::string>& commands) {
    std::string strText;
    for (const std::string& strCommand : commands)
        strText += strCommand;
    return strText;
}

CProgramRun Cli(const CTempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), {"--dir", dir.Path(), "--port", std::to_string(kPort)});
    return RunProgram(KALVORA_CLI_PATH, args, 60s);
}

TEST(CliPrograms, DownloadLeavesTheFilesTheDialogSavesAndAnEditedProgramGoesBack) {
    CTempDir dir;
    const CTempDir backup;
    const std::string strRecord = dir.File("received.bin");
    CSimProcess sim(dir.Path(), {"--com", std::to_string(kPort), "--record", strRecord});
    // A program file of eleven rows keeps its eleven rows; an empty one takes the rows the download filled.
    ASSERT_TRUE(WriteFileReplacing(backup.File("P3.txt"), SavedProgramFile(0, 11)));
    ASSERT_TRUE(WriteFileReplacing(backup.File("P5.txt"), ""));

    const CProgramRun download = Cli(dir, {"programs", "download", "--to", backup.Path()});
    ASSERT_EQ(download.m_nExitCode, 0) << download.m_strErr;
    EXPECT_GE(download.m_took, 20s);  // 336 requests at the dialog's pace
    EXPECT_EQ(download.m_strErr, ""); // no progress line when standard error is no terminal
    // The dialog's requests in its order, nothing else.
    const std::string strRequests = ReadFileBytes(strRecord).value_or("");
    EXPECT_EQ(strRequests, Joined(DownloadOperation().Commands()));
    EXPECT_EQ(strRequests.substr(0, 18), "?L100\r?L101\r?L102\r");
    EXPECT_EQ(strRequests.substr(strRequests.size() - 10), "?C88\r?C89\r");

    for (int nProgram = 1; nProgram <= 8; ++nProgram) {
        const int nRows = nProgram == 3 ? 11 : 21;
        const std::string strFile = backup.File("P" + std::to_string(nProgram) + ".txt");
        EXPECT_EQ(ReadFileBytes(strFile), SavedProgramFile(nProgram, nRows)) << strFile;
        EXPECT_THAT(download.m_strOut, HasSubstr("saved: " + strFile + " (" + std::to_string(nRows) + " rows)\n"));
    }
    EXPECT_FALSE(ReadFileBytes(backup.File("P0.txt"))); // program 0 is not downloaded

    // Restored with a change: program 7 now begins with five minutes.
    std::string strProgram7 = *ReadFileBytes(backup.File("P7.txt"));
    const std::string strFirstRow = "10;0;0;1000;\r\n";
    ASSERT_EQ(strProgram7.rfind(strFirstRow, 0), 0u);
    strProgram7.replace(0, strFirstRow.size(), "10;0;0;5:00;\r\n");
    ASSERT_TRUE(WriteFileReplacing(backup.File("P7.txt"), strProgram7));
    const std::size_t nBefore = strRequests.size();
    const CProgramRun upload = Cli(dir, {"programs", "upload", "7", "--from", backup.Path()});
    ASSERT_EQ(upload.m_nExitCode, 0) << upload.m_strErr;
    std::string strUpload;
    for (int nRow = 0; nRow < 21; ++nRow) {
        const bool bStartRow = nRow >= 5 && nRow <= 10;
        const auto codes = bStartRow ? kStartRows[static_cast<std::size_t>(nRow - 5)] : std::array<int, 2>{0, 0};
        strUpload += "=L7" + std::string(nRow < 10 ? "0" : "") + std::to_string(nRow) + std::to_string(codes[0]) +
                     std::to_string(codes[1]) + "\r";
    }
    strUpload += "=W70500\r=W711000\r=W721000\r=W73Break\r=W741000\r=W751000\r=W761000\r=W77Break\r=W781000\r"
                 "=W791000\r";
    EXPECT_EQ(ReadFileBytes(strRecord).value_or("").substr(nBefore), strUpload);

    EXPECT_EQ(Cli(dir, {"set", "program", "P7"}).m_nExitCode, 0);
    EXPECT_THAT(Cli(dir, {"get"}).m_strOut, HasSubstr("time: 5:00\n"));
}

TEST(CliPrograms, ADownloadThatGetsNoReplyWritesNoFile) {
    CTempDir dir;
    const CTempDir backup;
    CSimProcess sim(dir.Path(), {"--com", std::to_string(kPort), "--silent"});
    ASSERT_TRUE(WriteFileReplacing(backup.File("P2.txt"), "kept\r\n"));
    // Ctrl+C ends the download after the request it is on, as closing the dialog does.
    CChildProcess cli(KALVORA_CLI_PATH, {"--dir", dir.Path(), "--port", std::to_string(kPort), "programs", "download",
                                         "--to", backup.Path()});
    cli.Collect(1500ms);
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(5s), 1);
    EXPECT_THAT(cli.Err(), HasSubstr("download incomplete: 0 of 336 replies"));
    EXPECT_THAT(cli.Err(), HasSubstr("no program file written"));
    EXPECT_EQ(cli.Out(), "");
    EXPECT_EQ(ReadFileBytes(backup.File("P2.txt")), "kept\r\n");
    EXPECT_FALSE(ReadFileBytes(backup.File("P1.txt")));
}

} // namespace
