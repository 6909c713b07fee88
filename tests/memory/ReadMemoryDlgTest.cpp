#include "memory/ReadMemoryDlg.h"
#include "window/DialogDriver.h"

#include "base/Files.h"
#include "i18n/Language.h"
#include "link/SerialLink.h"
#include "res/Resource.h"
#include "settings/Settings.h"
#include "tests/support/DevicePeer.h"
#include "tests/support/DeviceSimulator.h"
#include "tests/support/DialogTesting.h"
#include "tests/support/PngFile.h"
#include "tests/support/TempDir.h"
#include "window/FileDialog.h"
#include "window/MessageBox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace std::chrono_literals;

namespace {

using Texts = std::vector<std::string>;

constexpr int kPeerPort = 4;
constexpr auto kCommandWait = 2000ms;
// Long enough for any line already sent to reach the list (the timer drains every 100 ms).
constexpr auto kSettle = 400ms;
// 500 entries from the simulator, at its pace.
constexpr auto kFullMemory = 15s;

// Every cell of the memory list that holds text, as "row,column=text", row by row.
Texts FilledCells(const CDialogDriver& driver) {
    Texts cells;
    const int nColumns = static_cast<int>(driver.Headings(IDC_MEMORY_LIST).size());
    for (int nRow = 0; nRow < driver.ItemCount(IDC_MEMORY_LIST); ++nRow) {
        for (int nColumn = 0; nColumn < nColumns; ++nColumn) {
            const std::string strText = driver.ItemText(IDC_MEMORY_LIST, nRow, nColumn);
            if (!strText.empty())
                cells.push_back(std::to_string(nRow) + "," + std::to_string(nColumn) + "=" + strText);
        }
    }
    return cells;
}

// The cells once they are as expected, or as they are after a few seconds.
Texts CellsOnceThey(const CDialogDriver& driver, const Texts& expected) {
    CDialogDriver::WaitFor([&] { return FilledCells(driver) == expected; });
    return FilledCells(driver);
}

std::string Cell(const CDialogDriver& driver, int nRow, int nColumn) {
    return driver.ItemText(IDC_MEMORY_LIST, nRow, nColumn);
}

// A name no single ANSI code page can write (Polish, Greek and Japanese letters): a user's folder or file name as
// Windows and Linux both allow it.
const std::string kBeyondCodePage = "\xC5\x81\xC3\xB3"
                                    "d"
                                    "\xC5\xBA-\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1-"
                                    "\xE6\x9D\xB1\xE4\xBA\xAC"; // Łódź-Ελλάδα-東京

// A UTF-8 path as std::filesystem takes it on every system (its narrow form is no UTF-8 on Windows).
std::filesystem::path DiskPath(const std::string& strPath) {
    return std::filesystem::path(std::u8string(strPath.begin(), strPath.end()));
}

// The entries of a directory as "name=contents" (a directory as "name/"), sorted by name.
Texts FilesIn(const std::string& strDirectory) {
    std::vector<std::filesystem::directory_entry> entries(std::filesystem::directory_iterator(DiskPath(strDirectory)),
                                                          {});
    std::sort(entries.begin(), entries.end());
    Texts files;
    for (const auto& entry : entries) {
        const std::string strName = entry.path().filename().string();
        files.push_back(entry.is_directory() ? strName + "/"
                                             : strName + "=" + ReadFileBytes(entry.path().string()).value_or("?"));
    }
    return files;
}

// The save question answered by the test with the path "chosen" (none: cancelled), counting how often it is asked.
class CSaveAnswer {
public:
    explicit CSaveAnswer(std::optional<std::string> strPath) : m_strPath(std::move(strPath)) {
        m_previous = SetSaveQuestionHook([this](const CSaveQuestion&) {
            ++m_nAsked;
            return m_strPath;
        });
    }
    ~CSaveAnswer() { SetSaveQuestionHook(std::move(m_previous)); }
    CSaveAnswer(const CSaveAnswer&) = delete;
    CSaveAnswer& operator=(const CSaveAnswer&) = delete;
    int Asked() const { return m_nAsked; }

private:
    std::optional<std::string> m_strPath;
    int m_nAsked = 0;
    SaveQuestionHook m_previous;
};

// The filters as a window system may show them: runs of blanks collapsed (Qt's dialog does).
Texts Collapsed(Texts filters) {
    for (std::string& strFilter : filters)
        strFilter.erase(
            std::unique(strFilter.begin(), strFilter.end(), [](char a, char b) { return a == ' ' && b == ' '; }),
            strFilter.end());
    return filters;
}

// The files the replace question asked about, and the messages shown, in order.
constexpr std::string_view kReplaceQuestionEnd = " already exists.\nDo you want to replace it?";
Texts Asked(const CMessageBoxRecorder& boxes) {
    Texts files;
    for (const CMessageBoxShown& box : boxes.Entries()) {
        if (box.bQuestion)
            files.push_back(box.strText.ends_with(kReplaceQuestionEnd)
                                ? box.strText.substr(0, box.strText.size() - kReplaceQuestionEnd.size())
                                : box.strText);
    }
    return files;
}
Texts Messages(const CMessageBoxRecorder& boxes) {
    Texts texts;
    for (const CMessageBoxShown& box : boxes.Entries()) {
        if (!box.bQuestion)
            texts.push_back(box.strText);
    }
    return texts;
}

// One test's files (config.ini for COM kPeerPort at 9600 baud, its boxes recorded, a question answered as given), the
// device's recording end on that port, the dialog opened over them with its driver, and the read command the dialog
// sent first.
struct CBench {
    explicit CBench(bool bAnswerYes = false)
        : files(SettingsNaming(kPeerPort, 2), {}, bAnswerYes), peer(files.Dir().Path(), kPeerPort) {
        dialog.Create();
        strFirstCommand = peer.ReadUntil(3, kCommandWait);
    }
    CDialogFiles files;
    CDevicePeer peer;
    CReadMemoryDlg dialog;
    CDialogDriver driver{dialog};
    std::string strFirstCommand;
};

// The dialog over one entry of the device, with a directory "out" for the exports.
struct CExportBench : CBench {
    explicit CExportBench(bool bAnswerYes = false) : CBench(bAnswerYes) {
        std::filesystem::create_directory(strOut);
        EXPECT_EQ(strFirstCommand, "?M\r");
        EXPECT_TRUE(peer.Write("M?0001      9:05:01.25   0:00:00\r"));
        EXPECT_TRUE(CDialogDriver::WaitFor([this] { return Cell(driver, 0, 0) == "0001"; }));
    }
    const std::string strOut = files.Dir().File("out");
};

} // namespace

class ReadMemoryDlg : public testing::Test {
protected:
    void TearDown() override { LoadLanguage("none-loaded"); }
};

// Without a device: the link reports the port once, and the dialog opens all the same with its blank table.
TEST_F(ReadMemoryDlg, OpensWithoutADevice) {
    CDialogFiles files(SettingsNaming(9, 2));
    CReadMemoryDlg dialog;
    CDialogDriver driver(dialog);
    dialog.Create();
    EXPECT_TRUE(driver.IsShown());
    EXPECT_EQ(files.Messages(), Texts{"Can't open COM port"});
    EXPECT_EQ(files.Boxes().Entries().front().strTitle, ApplicationName());
    EXPECT_EQ(driver.Title(), "Read Memory Dialog");
    EXPECT_EQ(dialog.m_nPort, 9);
    EXPECT_EQ(dialog.m_nBaudRate, 9600);
    EXPECT_FALSE(dialog.m_link.IsOpen());

    EXPECT_EQ(&dialog.m_listMemory, dialog.Item<CListCtrl>(IDC_MEMORY_LIST));
    using CColumn = CDialogDriver::CColumn;
    EXPECT_EQ(driver.Columns(IDC_MEMORY_LIST), (std::vector<CColumn>{{"Start No", EAlign::Left, EAlign::Left, 60},
                                                                     {"Start Time", EAlign::Left, EAlign::Left, 85},
                                                                     {"Lead Time", EAlign::Right, EAlign::Right, 65}}));
    EXPECT_EQ(driver.ItemCount(IDC_MEMORY_LIST), kMemoryRows);
    EXPECT_EQ(FilledCells(driver), Texts{});
    EXPECT_TRUE(dialog.IsTimerRunning(CReadMemoryDlg::kMemoryTimer));

    // Commands on the unopened link are lost without a message; saving writes the empty list.
    EXPECT_TRUE(driver.Click(IDC_READ_MEMORY_AGAIN));
    EXPECT_TRUE(driver.Click(IDC_CLEAR_MEMORY));
    CSaveAnswer save(files.Dir().File("empty"));
    EXPECT_TRUE(driver.Click(IDC_SAVE_TO_FILE));
    EXPECT_EQ(files.Read("empty.txt"), "");
    EXPECT_EQ(files.Messages().size(), 1U);
    EXPECT_EQ(driver.ItemCount(IDC_MEMORY_LIST), kMemoryRows);
}

// Three stored starts, read as the dialog opens: the entries in arrival order, each cell from its columns.
TEST_F(ReadMemoryDlg, ShowsTheStoredStartsOfTheDevice) {
    CDialogFiles files(SettingsNaming(5, 2));
    CDeviceSimulator device(files.Dir().Path(), {"--com", "5", "--memory", "3", "--frozen", "--clock", "12:00:00"});
    CReadMemoryDlg dialog;
    CDialogDriver driver(dialog);
    dialog.Create();
    const Texts cells{"0,0=0001",    "0,1= 11:55:30.37", "0,2=0:01:30",      "1,0=0002",   "1,1= 11:57:00.74",
                      "1,2=0:01:30", "2,0=0003",         "2,1= 11:58:30.11", "2,2=0:01:29"};
    EXPECT_EQ(CellsOnceThey(driver, cells), cells);
    EXPECT_EQ(driver.ItemCount(IDC_MEMORY_LIST), kMemoryRows);
    EXPECT_EQ(files.Messages(), Texts{});
    // No end-of-list line: the dialog keeps draining.
    EXPECT_TRUE(dialog.IsTimerRunning(CReadMemoryDlg::kMemoryTimer));
}

TEST_F(ReadMemoryDlg, EmptyMemoryShowsTheNoticeAndSavesAnEmptyFile) {
    CDialogFiles files(SettingsNaming(5, 2));
    CDeviceSimulator device(files.Dir().Path(), {"--com", "5", "--memory", "0"});
    CReadMemoryDlg dialog;
    CDialogDriver driver(dialog);
    dialog.Create();
    const Texts notice{"5,1=Memory is", "6,1=Empty!"};
    EXPECT_EQ(CellsOnceThey(driver, notice), notice);
    CSaveAnswer save(files.Dir().File("none"));
    EXPECT_TRUE(driver.Click(IDC_SAVE_TO_FILE));
    EXPECT_EQ(files.Read("none.txt"), "");
}

TEST_F(ReadMemoryDlg, ClearMemoryThenReadMemory) {
    CDialogFiles files(SettingsNaming(5, 2));
    CDeviceSimulator device(files.Dir().Path(), {"--com", "5", "--memory", "3", "--frozen"});
    CReadMemoryDlg dialog;
    CDialogDriver driver(dialog);
    dialog.Create();
    EXPECT_TRUE(CDialogDriver::WaitFor([&] { return Cell(driver, 2, 0) == "0003"; }));
    EXPECT_TRUE(driver.Click(IDC_CLEAR_MEMORY));
    const Texts cleared{"5,1=Memory", "6,1=Cleared!"};
    EXPECT_EQ(CellsOnceThey(driver, cleared), cleared);
    EXPECT_TRUE(driver.Click(IDC_READ_MEMORY_AGAIN));
    const Texts empty{"5,1=Memory is", "6,1=Empty!"};
    EXPECT_EQ(CellsOnceThey(driver, empty), empty);
}

// The 501st entry has no row: it is neither shown nor saved, and nothing says so.
TEST_F(ReadMemoryDlg, EntriesBeyondRow499AreNeitherShownNorSaved) {
    CDialogFiles files(SettingsNaming(5, 2));
    CDeviceSimulator device(files.Dir().Path(), {"--com", "5", "--memory", "501", "--frozen"});
    CReadMemoryDlg dialog;
    CDialogDriver driver(dialog);
    dialog.Create();
    EXPECT_TRUE(CDialogDriver::WaitFor([&] { return Cell(driver, 499, 0) == "0500"; }, kFullMemory));
    CDialogDriver::Wait(kSettle);
    EXPECT_EQ(Cell(driver, 499, 0), "0500");
    EXPECT_EQ(Cell(driver, 498, 0), "0499");
    EXPECT_EQ(driver.ItemCount(IDC_MEMORY_LIST), kMemoryRows);
    EXPECT_EQ(files.Messages(), Texts{});

    CSaveAnswer save(files.Dir().File("all.txt"));
    EXPECT_TRUE(driver.Click(IDC_SAVE_TO_FILE));
    const std::string bytes = files.Read("all.txt").value_or("");
    const Texts lines = SplitTextLines(bytes);
    ASSERT_EQ(lines.size(), std::size_t{kMemoryRows});
    EXPECT_TRUE(lines.front().starts_with("0001 ")) << lines.front();
    EXPECT_TRUE(lines.back().starts_with("0500 ")) << lines.back();
    int nLineEnds = 0;
    for (std::size_t nAt = bytes.find("\r\n"); nAt != std::string::npos; nAt = bytes.find("\r\n", nAt + 2))
        ++nLineEnds;
    EXPECT_EQ(nLineEnds, kMemoryRows);
    EXPECT_EQ(bytes.size(), std::size_t{kMemoryRows * 27});
}

// What the device sends, and every cell that holds text afterwards.
TEST_F(ReadMemoryDlg, RepliesFillTheList) {
    struct CRow {
        const char* pszName;
        std::string device;
        Texts cells;
    };
    const std::vector<CRow> rows{
        // Columns 2-5, 10-21 and 25-31 are shown; the x, y and z in between and after are not.
        {"entry columns", "M?0012xxxx 12:34:56.78yyy0:01:30zz\r", {"0,0=0012", "0,1= 12:34:56.78", "0,2=0:01:30"}},
        {"arrival order", "M?0003\rM?0001\rM?0002\r", {"0,0=0003", "1,0=0001", "2,0=0002"}},
        {"short lines",
         "M?12\rM?0002    12:3\rM?0003    123456789012yyy0:0\r",
         {"0,0=12", "1,0=0002", "1,1=12:3", "2,0=0003", "2,1=123456789012", "2,2=0:0"}},
        {"bare M? takes a row", "M?\rM?0002\r", {"1,0=0002"}},
        {"empty memory", "M?EMPTY\r", {"5,1=Memory is", "6,1=Empty!"}},
        {"empty with more", "M?EMPTY, REALLY\r", {"5,1=Memory is", "6,1=Empty!"}},
        {"lower case is an entry", "M?empty\r", {"0,0=empt"}},
        {"shorter is an entry", "M?EMPT\r", {"0,0=EMPT"}},
        {"empty notice between entries",
         "M?0001\rM?EMPTY\rM?0002\r",
         {"0,0=0001", "1,0=0002", "5,1=Memory is", "6,1=Empty!"}},
        // An entry in row 5 sets all three of its cells, the notice's included.
        {"entries over the notice",
         "M?EMPTY\rM?0001\rM?0002\rM?0003\rM?0004\rM?0005\rM?0006\r",
         {"0,0=0001", "1,0=0002", "2,0=0003", "3,0=0004", "4,0=0005", "5,0=0006", "6,1=Empty!"}},
        {"other lines dropped", "X?0001\rm?0001\r M?0001\r\rM\rE\rS? 12:00\rM?0009\r", {"0,0=0009"}},
        // The erase resets the list but not the row counter.
        {"erased after entries", "M?0001\rM?0002\rE?\rM?0003\r", {"2,0=0003", "5,1=Memory", "6,1=Cleared!"}},
        {"erased with more", "M?0001\rE?xyz\r", {"5,1=Memory", "6,1=Cleared!"}},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        CBench bench;
        EXPECT_EQ(bench.strFirstCommand, "?M\r");
        EXPECT_TRUE(bench.peer.Write(row.device));
        EXPECT_EQ(CellsOnceThey(bench.driver, row.cells), row.cells);
        EXPECT_EQ(bench.driver.ItemCount(IDC_MEMORY_LIST), kMemoryRows);
    }
}

// Clear Memory only sends the erase; the device's "E?" clears the list; Read Memory starts again at row 0, even while
// an earlier reply is still arriving.
TEST_F(ReadMemoryDlg, EraseAndReadAgainOverTheLine) {
    CBench bench;
    auto& [files, peer, dialog, driver, strFirstCommand] = bench;
    EXPECT_EQ(strFirstCommand, "?M\r");
    EXPECT_TRUE(peer.Write("M?0001\rM?0002\r"));
    const Texts two{"0,0=0001", "1,0=0002"};
    EXPECT_EQ(CellsOnceThey(driver, two), two);

    EXPECT_TRUE(driver.Click(IDC_CLEAR_MEMORY));
    EXPECT_EQ(peer.ReadUntil(3, kCommandWait), "?E\r");
    CDialogDriver::Wait(kSettle);
    EXPECT_EQ(FilledCells(driver), two);
    EXPECT_TRUE(peer.Write("E?\r"));
    const Texts cleared{"5,1=Memory", "6,1=Cleared!"};
    EXPECT_EQ(CellsOnceThey(driver, cleared), cleared);
    EXPECT_TRUE(peer.Write("M?0003\r")); // late, and after the erase: the row counter went on
    const Texts late{"2,0=0003", "5,1=Memory", "6,1=Cleared!"};
    EXPECT_EQ(CellsOnceThey(driver, late), late);

    EXPECT_TRUE(driver.Click(IDC_READ_MEMORY_AGAIN));
    EXPECT_EQ(FilledCells(driver), Texts{});
    EXPECT_EQ(driver.ItemCount(IDC_MEMORY_LIST), kMemoryRows);
    EXPECT_EQ(peer.ReadUntil(3, kCommandWait), "?M\r");
    EXPECT_TRUE(peer.Write("M?0004\rM?0005\r"));
    const Texts again{"0,0=0004", "1,0=0005"};
    EXPECT_EQ(CellsOnceThey(driver, again), again);
    EXPECT_TRUE(driver.Click(IDC_READ_MEMORY_AGAIN));
    EXPECT_TRUE(peer.Write("M?0006\r"));
    const Texts restarted{"0,0=0006"};
    EXPECT_EQ(CellsOnceThey(driver, restarted), restarted);
    EXPECT_EQ(peer.ReadFor(100ms), "?M\r");
}

// Entries from full-length lines: 4 + 1 + 12 + 1 + 7 characters and CR LF per row, bytes as the device sent them;
// the export ends before the first row without a start number.
TEST_F(ReadMemoryDlg, ExportWritesTheRowsByteForByte) {
    CBench bench;
    auto& [files, peer, dialog, driver, strFirstCommand] = bench;
    EXPECT_EQ(strFirstCommand, "?M\r");
    EXPECT_TRUE(peer.Write("M?0001xxxx 09:05:01.25yyy0:00:00zz\r"
                           "M?0002      9:06:31.62   0:01:30\r"
                           "M?0013    123456789012   1234567\r"
                           "M?0014    12:00:00.0\xE9\xB0   0:00:01\r"
                           "M?\r"
                           "M?0016      9:10:00.00   0:00:10\r"));
    EXPECT_TRUE(CDialogDriver::WaitFor([&] { return Cell(driver, 5, 0) == "0016"; }));
    CSaveAnswer save(files.Dir().File("starts.txt"));
    EXPECT_TRUE(driver.Click(IDC_SAVE_TO_FILE));
    const std::string expected("0001  09:05:01.25 0:00:00\r\n"
                               "0002   9:06:31.62 0:01:30\r\n"
                               "0013 123456789012 1234567\r\n"
                               "0014 12:00:00.0\xE9\xB0 0:00:01\r\n");
    EXPECT_EQ(files.Read("starts.txt"), expected);
    EXPECT_EQ(expected.size(), std::size_t{4 * 27});
}

// The name chosen in the save dialog, the files already there, the answer to the replace question; the questions
// asked and the files afterwards.
TEST_F(ReadMemoryDlg, ExportFileName) {
    const std::string strNew = "0001   9:05:01.25 0:00:00\r\n";
    struct CRow {
        const char* pszName;
        std::string chosen;
        Texts existing; // each holds "old"
        bool bReplace;
        Texts asked;
        Texts files;
    };
    const std::vector<CRow> rows{
        {"gains .txt", "starts", {}, true, {}, {"starts.txt=" + strNew}},
        // The save dialog asked about this very name: no second .txt, no second question.
        {"ends in .txt", "starts.txt", {"starts.txt"}, true, {}, {"starts.txt=" + strNew}},
        {"ends in .TXT", "Starts.TXT", {}, true, {}, {"Starts.TXT=" + strNew}},
        {"other extension", "starts.csv", {"starts.csv"}, true, {}, {"starts.csv=old", "starts.csv.txt=" + strNew}},
        // The appended name is a file the user was not asked about.
        {"appended name refused", "starts", {"starts.txt"}, false, {"starts.txt"}, {"starts.txt=old"}},
        {"appended name replaced", "starts", {"starts.txt"}, true, {"starts.txt"}, {"starts.txt=" + strNew}},
        {"chosen file untouched", "starts", {"starts"}, false, {}, {"starts=old", "starts.txt=" + strNew}},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        CExportBench bench(row.bReplace);
        for (const std::string& strName : row.existing)
            ASSERT_TRUE(WriteFileReplacing(bench.strOut + "/" + strName, "old"));
        CSaveAnswer save(bench.strOut + "/" + row.chosen);
        EXPECT_TRUE(bench.driver.Click(IDC_SAVE_TO_FILE));
        EXPECT_EQ(Asked(bench.files.Boxes()), row.asked);
        EXPECT_EQ(FilesIn(bench.strOut), row.files);
        EXPECT_EQ(Messages(bench.files.Boxes()), Texts{});
    }
}

TEST_F(ReadMemoryDlg, CancelWritesNothing) {
    CDialogFiles files; // no device
    const std::string strOut = files.Dir().File("out");
    ASSERT_TRUE(std::filesystem::create_directory(strOut));
    CReadMemoryDlg dialog;
    CDialogDriver driver(dialog);
    dialog.Create();
    CSaveAnswer save(std::nullopt);
    EXPECT_TRUE(driver.Click(IDC_SAVE_TO_FILE));
    EXPECT_EQ(save.Asked(), 1);
    EXPECT_EQ(FilesIn(strOut), Texts{});
    EXPECT_EQ(files.Messages(), Texts{"Can't open COM port"});
    EXPECT_TRUE(driver.IsShown());
}

// A file that cannot be made: the message, nothing written, the dialog and its list as they were.
TEST_F(ReadMemoryDlg, CantOpenFile) {
    for (const char* pszChosen : {"missing/starts", "folder.txt"}) {
        SCOPED_TRACE(pszChosen);
        CExportBench bench;
        ASSERT_TRUE(std::filesystem::create_directory(bench.strOut + "/folder.txt"));
        const Texts before = FilledCells(bench.driver);
        CSaveAnswer save(bench.strOut + "/" + pszChosen);
        EXPECT_TRUE(bench.driver.Click(IDC_SAVE_TO_FILE));
        EXPECT_EQ(bench.files.Messages(), Texts{"Can't open file!"});
        EXPECT_EQ(bench.files.Boxes().Entries().front().strTitle, ApplicationName());
        EXPECT_EQ(FilesIn(bench.strOut), Texts{"folder.txt/"});
        EXPECT_EQ(FilesIn(bench.strOut + "/folder.txt"), Texts{});
        EXPECT_TRUE(bench.driver.IsShown());
        EXPECT_FALSE(bench.dialog.IsEnded());
        EXPECT_TRUE(bench.dialog.IsTimerRunning(CReadMemoryDlg::kMemoryTimer));
        EXPECT_EQ(FilledCells(bench.driver), before);
    }
}

// The real save dialog: one filter, no default extension, no initial name, the replace question on.
TEST_F(ReadMemoryDlg, SaveDialogAsTheUserSeesIt) {
    for (const bool bSave : {true, false}) {
        SCOPED_TRACE(bSave ? "save" : "cancel");
        CDialogFiles files; // no device
        const std::string strOut = files.Dir().File("out");
        ASSERT_TRUE(std::filesystem::create_directory(strOut));
        CReadMemoryDlg dialog;
        CDialogDriver driver(dialog);
        dialog.Create();
        const auto seen = driver.AnswerNextSaveQuestion(strOut, bSave ? "starts" : "");
        EXPECT_TRUE(driver.Click(IDC_SAVE_TO_FILE));

        EXPECT_TRUE(seen->bOpened);
        // The program hands over "Configuration File  (*.txt)" first, then the files for results programs; a
        // window system may show a description with its runs of blanks collapsed (Qt's dialog does).
        EXPECT_EQ(Collapsed(seen->filters), (Texts{"Configuration File (*.txt)", "IOF XML 3.0 Start List (*.xml)",
                                                   "CSV for Spreadsheets and Results Programs (*.csv)"}));
        EXPECT_EQ(seen->strDefaultExtension, "");
        EXPECT_EQ(seen->strInitialName, "");
        EXPECT_TRUE(seen->bConfirmsReplace);
        EXPECT_EQ(FilesIn(strOut), bSave ? Texts{"starts.txt="} : Texts{});
    }
}

// The save dialog's file types as the user picks them: each type writes its own file with its own extension, the
// names of the start list that config.ini names in the files for results programs.
TEST_F(ReadMemoryDlg, SaveDialogWritesTheTypeChosen) {
    struct CRow {
        int nType;
        const char* pszFile;
        const char* pszBegins; // what the file begins with
        const char* pszHolds;  // and what it holds
    };
    const std::vector<CRow> rows{
        {0, "starts.txt", "0001   9:05:01.25 0:00:00\r\n", "0001"},
        {1, "starts.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<StartList ", "<Family>Berg</Family>"},
        {2, "starts.csv", "\xEF\xBB\xBFStart No;Name;Club;Class;Planned;Actual;Difference\r\n",
         "1;Anna Berg;OK Skogen;D21;09:05:00;09:05:01.25;+0:01.25\r\n"},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszFile);
        CExportBench bench;
        const std::string strList = bench.files.Dir().File("list.csv");
        ASSERT_TRUE(WriteFileReplacing(strList, "Bib;Vorname;Nachname;Verein;Klasse;Startzeit\n"
                                                "1;Anna;Berg;OK Skogen;D21;09:05:00\n"));
        ASSERT_TRUE(WriteStartListSetting(bench.files.Dir().File("config.ini"), strList));
        const auto seen = bench.driver.AnswerNextSaveQuestion(bench.strOut, "starts", row.nType);
        EXPECT_TRUE(bench.driver.Click(IDC_SAVE_TO_FILE));
        EXPECT_TRUE(seen->bOpened);
        const Texts files = FilesIn(bench.strOut);
        ASSERT_EQ(files.size(), 1U);
        const std::string strContents = ReadFileBytes(bench.strOut + "/" + row.pszFile).value_or("<none>");
        EXPECT_TRUE(strContents.starts_with(row.pszBegins)) << strContents;
        EXPECT_NE(strContents.find(row.pszHolds), std::string::npos) << strContents;
        EXPECT_EQ(bench.files.Messages(), Texts{});
    }
}

// The exports for results programs, by the type chosen: the file name each gets, and what a start list that
// config.ini names, or one that cannot be read, or none, puts into them.
TEST_F(ReadMemoryDlg, ExportsForResultsPrograms) {
    struct CRow {
        const char* pszName;
        int nType;
        std::string chosen;
        const char* pszStartList; // the contents of config.ini's start list; nullptr: config.ini names none
        Texts files;              // the files afterwards, by name
        std::string holds;        // what the export holds
        Texts messages;
        bool bListEnded = false; // config.ini's start list emptied ("No Start List" in the Live Page dialog)
    };
    const char* const kList = "Startnummer;Name;Verein\n1;Anna Berg;OK Skogen\n";
    const std::vector<CRow> rows{
        {"CSV with names", 2, "heat", kList, {"heat.csv"}, "1;Anna Berg;OK Skogen;;;09:05:01.25;", {}},
        {"CSV keeps its name", 2, "heat.CSV", kList, {"heat.CSV"}, "1;Anna Berg", {}},
        {"CSV without a start list", 2, "heat", nullptr, {"heat.csv"}, "1;;;;;09:05:01.25;", {}},
        {"XML gains .xml", 1, "heat.txt", kList, {"heat.txt.xml"}, "<Name>OK Skogen</Name>", {}},
        {"XML without names", 1, "heat", nullptr, {"heat.xml"}, "<BibNumber>1</BibNumber>", {}},
        {"a start list that cannot be read",
         2,
         "heat",
         "",
         {"heat.csv"},
         "1;;;;;09:05:01.25;",
         {"The start list <list> cannot be read (the file is empty): the file is saved without names."}},
        {"a start list ended", 2, "heat", kList, {"heat.csv"}, "1;;;;;09:05:01.25;", {}, true},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        CExportBench bench;
        const std::string strList = bench.files.Dir().File("list.csv");
        if (row.pszStartList) {
            ASSERT_TRUE(WriteFileReplacing(strList, row.pszStartList));
            ASSERT_TRUE(WriteStartListSetting(bench.files.Dir().File("config.ini"), row.bListEnded ? "" : strList));
        }
        const auto previous = SetSaveQuestionHook([&](const CSaveQuestion& question) {
            EXPECT_EQ(question.moreTypes.size(), 2U);
            return CSaveChoice(bench.strOut + "/" + row.chosen, row.nType);
        });
        EXPECT_TRUE(bench.driver.Click(IDC_SAVE_TO_FILE));
        SetSaveQuestionHook(previous);
        Texts names;
        for (const std::string& strFile : FilesIn(bench.strOut))
            names.push_back(strFile.substr(0, strFile.find('=')));
        ASSERT_EQ(names, row.files);
        const std::string strContents = ReadFileBytes(bench.strOut + "/" + row.files.front()).value_or("");
        EXPECT_NE(strContents.find(row.holds), std::string::npos) << strContents;
        Texts messages;
        for (std::string strText : bench.files.Messages()) {
            if (const std::size_t nAt = strText.find(strList); nAt != std::string::npos)
                strText.replace(nAt, strList.size(), "<list>");
            messages.push_back(strText);
        }
        EXPECT_EQ(messages, row.messages);
    }
}

// A folder and a name beyond any one ANSI code page, chosen in the real save dialog: the export is the file of that
// very name, and the question before an existing one names it as it is.
TEST_F(ReadMemoryDlg, AFolderAndANameBeyondTheCodePage) {
    const std::string strNew = "0001   9:05:01.25 0:00:00\r\n";
    const std::string strFile = kBeyondCodePage + ".txt";
    for (const bool bExisting : {false, true}) {
        SCOPED_TRACE(bExisting ? "replacing a file" : "a new file");
        CExportBench bench(true);
        const std::string strFolder = bench.strOut + "/" + kBeyondCodePage;
        ASSERT_TRUE(std::filesystem::create_directory(DiskPath(strFolder)));
        if (bExisting) {
            std::ofstream old(DiskPath(strFolder + "/" + strFile), std::ios::binary);
            old << "old";
        }
        const auto seen = bench.driver.AnswerNextSaveQuestion(strFolder, kBeyondCodePage);
        EXPECT_TRUE(bench.driver.Click(IDC_SAVE_TO_FILE));
        EXPECT_TRUE(seen->bOpened);
        EXPECT_EQ(Asked(bench.files.Boxes()), bExisting ? Texts{strFile} : Texts{});
        EXPECT_EQ(FilesIn(strFolder), Texts{strFile + "=" + strNew});
        EXPECT_EQ(Messages(bench.files.Boxes()), Texts{});
    }
}

// The question for an appended name that exists, as the user sees it; no box is recorded here.
TEST_F(ReadMemoryDlg, ReplaceQuestionAsTheUserSeesIt) {
    for (const bool bYes : {false, true}) {
        SCOPED_TRACE(bYes ? "Yes" : "No");
        CExecutableDirectory directory;
        ASSERT_TRUE(WriteFileReplacing(directory.File("config.ini"), SettingsNaming(kPeerPort, 2)));
        CDevicePeer peer(directory.Path(), kPeerPort);
        const std::string strOut = directory.File("out");
        ASSERT_TRUE(std::filesystem::create_directory(strOut));
        ASSERT_TRUE(WriteFileReplacing(strOut + "/starts.txt", "old"));
        CReadMemoryDlg dialog;
        CDialogDriver driver(dialog);
        dialog.Create();
        CSaveAnswer save(strOut + "/starts");
        const auto seen = driver.AnswerNextMessageBox(bYes ? "Yes" : "No");
        EXPECT_TRUE(driver.Click(IDC_SAVE_TO_FILE));

        EXPECT_TRUE(seen->bOpened);
        EXPECT_EQ(seen->strText, "starts.txt already exists.\nDo you want to replace it?");
        EXPECT_EQ(seen->strTitle, ApplicationName());
        EXPECT_EQ(seen->buttons, (Texts{"Yes", "No"}));
        EXPECT_EQ(seen->strDefaultButton, "No");
        EXPECT_EQ(FilesIn(strOut), Texts{bYes ? "starts.txt=" : "starts.txt=old"});
    }
}

// OK, Escape and the close box release the port and stop the timer before the dialog ends.
TEST_F(ReadMemoryDlg, EveryWayOfClosingClosesTheLink) {
    struct CRow {
        const char* pszName;
        std::function<void(CDialogDriver&)> close;
        int nResult;
    };
    const std::vector<CRow> rows{
        {"OK", [](CDialogDriver& driver) { EXPECT_TRUE(driver.Click(IDOK)); }, IDOK},
        {"Escape", [](CDialogDriver& driver) { EXPECT_TRUE(driver.Key(0, EKey::Escape)); }, IDCANCEL},
        {"close box", [](CDialogDriver& driver) { driver.CloseBox(); }, IDCANCEL},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        CDialogFiles files(SettingsNaming(kPeerPort, 2));
        CDevicePeer peer(files.Dir().Path(), kPeerPort);
        CReadMemoryDlg dialog;
        CDialogDriver driver(dialog);
        std::optional<bool> heldWhileOpen;
        bool bDrainingWhileOpen = false;
        CDialogDriver::Later(0ms, [&] {
            CSerialLink other;
            heldWhileOpen = !other.Open(kPeerPort, 9600);
            bDrainingWhileOpen = dialog.IsTimerRunning(CReadMemoryDlg::kMemoryTimer);
            row.close(driver);
        });
        EXPECT_EQ(dialog.DoModal(), row.nResult);
        EXPECT_EQ(heldWhileOpen, true);
        EXPECT_TRUE(bDrainingWhileOpen);
        EXPECT_FALSE(driver.IsShown());
        EXPECT_FALSE(dialog.m_link.IsOpen());
        EXPECT_FALSE(dialog.IsTimerRunning(CReadMemoryDlg::kMemoryTimer));
        CSerialLink after;
        EXPECT_TRUE(after.Open(kPeerPort, 9600));
        after.Close();
        EXPECT_EQ(files.Messages(), Texts{});
    }
}

// The port and rate come from config.ini; without them the main window's defaults, COM 7 at 2400 baud. The rate is
// the one the program set on its end of the line.
TEST_F(ReadMemoryDlg, TakesPortAndRateFromTheSettings) {
    struct CRow {
        const char* pszName;
        std::string config; // empty: no file
        int nPort;
        int nBaudRate;
    };
    const std::vector<CRow> rows{
        {"no file", "", 7, 2400},
        {"both keys", "[Settings]\nCOMPort=2\nBaudrate=3\n", 3, 19200},
        {"rate out of range", "[Settings]\nCOMPort=0\nBaudrate=7\n", 1, 2400},
        {"rate only", "[settings]\nbaudrate=1\n", 7, 4800},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        CDialogFiles files(row.config);
        CDevicePeer peer(files.Dir().Path(), row.nPort);
        CReadMemoryDlg dialog;
        dialog.Create();
        EXPECT_EQ(peer.ReadUntil(3, kCommandWait), "?M\r");
        EXPECT_EQ(dialog.m_nPort, row.nPort);
        EXPECT_EQ(dialog.m_nBaudRate, row.nBaudRate);
        EXPECT_EQ(peer.LineBaudRate(), row.nBaudRate);
        EXPECT_EQ(files.Messages(), Texts{});
    }
}

// The language named in config.ini replaces the caption and the buttons; headings and notices stay.
TEST_F(ReadMemoryDlg, LanguageTextsForCaptionAndButtons) {
    CDialogFiles files("[System]\nLanguage=Deutsch\n[Settings]\nCOMPort=3\n");
    files.Write("identifiers.ini", "[Identifiers]\nIDD_READ_MEMORY=131\nIDOK=1\nIDC_SET_PROGRAM=1018\n"
                                   "IDC_SAVE_TO_FILE=1020\nIDC_CLEAR_MEMORY=1032\nIDC_PC_TIME=1033\n");
    files.Write("lng_Deutsch.ini", "[Strings]\nIDD_READ_MEMORY=Speicher auslesen\nIDOK=Fertig\nIDC_SET_PROGRAM=Setzen\n"
                                   "IDC_SAVE_TO_FILE=In Datei speichern\nIDC_CLEAR_MEMORY=Speicher l\xC3\xB6schen\n"
                                   "IDC_PC_TIME=Speicher lesen\n");
    CDevicePeer peer(files.Dir().Path(), kPeerPort);
    CReadMemoryDlg dialog;
    CDialogDriver driver(dialog);
    dialog.Create();
    EXPECT_EQ(driver.Title(), "Speicher auslesen");
    EXPECT_EQ(driver.Text(IDOK), "Fertig");
    EXPECT_EQ(driver.Text(IDC_SAVE_TO_FILE), "In Datei speichern");
    EXPECT_EQ(driver.Text(IDC_CLEAR_MEMORY), "Speicher l\xF6schen"); // the language file's UTF-8, read back as data
    EXPECT_EQ(driver.Text(IDC_READ_MEMORY_AGAIN), "Speicher lesen");
    EXPECT_EQ(driver.Headings(IDC_MEMORY_LIST), (Texts{"Start No", "Start Time", "Lead Time"}));
    EXPECT_EQ(peer.ReadUntil(3, kCommandWait), "?M\r");
    EXPECT_TRUE(peer.Write("M?EMPTY\r"));
    const Texts notice{"5,1=Memory is", "6,1=Empty!"};
    EXPECT_EQ(CellsOnceThey(driver, notice), notice);
}

// Only with KALVORA_SCREENSHOT_DIR: the dialog with five starts read from the device, into <dir>/read-memory.png.
TEST_F(ReadMemoryDlg, Screenshot) {
    const char* pszDirectory = std::getenv("KALVORA_SCREENSHOT_DIR");
    if (!pszDirectory || !*pszDirectory)
        GTEST_SKIP() << "KALVORA_SCREENSHOT_DIR is not set";
    CDialogFiles files(SettingsNaming(5, 2));
    CDeviceSimulator device(files.Dir().Path(), {"--com", "5", "--memory", "5", "--frozen", "--clock", "10:42:00"});
    CReadMemoryDlg dialog;
    CDialogDriver driver(dialog);
    dialog.Create();
    EXPECT_TRUE(driver.IsShown());
    EXPECT_TRUE(CDialogDriver::WaitFor([&] { return Cell(driver, 4, 0) == "0005"; }));
    CDialogDriver::Wait(200ms);
    const CDialogDriver::CImage image = driver.Snapshot(0);
    ASSERT_GT(image.cx, 0);
    EXPECT_TRUE(WritePngFile(std::string(pszDirectory) + "/read-memory.png", image));
}
