#include "programs/ParametersDlg.h"
#include "window/DialogDriver.h"

#include "base/Files.h"
#include "i18n/Language.h"
#include "link/SerialLink.h"
#include "res/Resource.h"
#include "settings/Settings.h"
#include "tests/support/DevicePeer.h"
#include "tests/support/DeviceSimulator.h"
#include "tests/support/DialogTesting.h"
#include "tests/support/Environment.h"
#include "tests/support/PngFile.h"
#include "window/MessageBox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace std::chrono_literals;

namespace {

using Texts = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

constexpr int kPort = 5; // COM 5 in each test's own directory
constexpr auto kPeerWait = 500ms;
constexpr auto kPace = 60ms;         // one command of a transfer sequence
constexpr auto kClockSlack = 5ms;    // the timers' rounding
constexpr auto kDeviceAnswers = 10s; // the simulator answers every request of a download
constexpr auto kFullDownload = 336 * kPace;

// A program file's lines, each ended by CR LF.
std::string FileText(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines)
        text += std::string(line) + "\r\n";
    return text;
}

// Program 1 of several tests: row r carries light r % 4 and signal (r + 1) % 3.
const std::string kEleven =
    FileText({"10;0;1;1:30;", "9;1;2;Break;", "8;2;0;0:45;", "7;3;1;2:00;", "6;0;2;3:15;", "5;1;0;Break;",
              "4;2;1;4:00;", "3;3;2;0:30;", "2;0;0;5:00;", "1;1;1;9:59;", "0;2;2;;"});
const std::string kThree = FileText({"10;0;0;1:30;", "9;2;1;Break;", "8;3;2;10:00;"});

// The files beside the "executable" of one test: the English language files, config.ini for COM kPort at 9600 baud.
const std::string kSettings = SettingsNaming(kPort, 2, "English");
const std::string kLanguageOnly = "[System]\nLanguage=English\n";
const std::initializer_list<const char*> kLanguageFiles = {"identifiers.ini", "lng_English.ini"};

// The texts the English language gives the setting codes.
const Texts kLights{"Off", "Red", "Yellow", "Green"};
const Texts kSignals{"None", "Short", "Long"};

Texts Column(const CDialogDriver& driver, int nList, int nColumn) {
    Texts texts;
    for (int nRow = 0; nRow < driver.ItemCount(nList); ++nRow)
        texts.push_back(driver.ItemText(nList, nRow, nColumn));
    return texts;
}

// The first nCount texts (all when there are fewer).
Texts First(const Texts& texts, std::size_t nCount) {
    return Texts(texts.begin(), texts.begin() + static_cast<std::ptrdiff_t>(std::min(nCount, texts.size())));
}

Texts IntervalTimes(const CDialogDriver& driver) {
    return Column(driver, IDC_INTERVALS, 1);
}

// The interval field emptied, then the text typed into it.
void EnterInterval(CDialogDriver& driver, const std::string& strText) {
    driver.Dialog().GetDlgItem(IDC_INTERVAL_TEXT)->SetWindowText("");
    EXPECT_TRUE(driver.Type(IDC_INTERVAL_TEXT, strText));
}

// The interval typed and stored with Change.
void ChangeInterval(CDialogDriver& driver, const std::string& strText) {
    EnterInterval(driver, strText);
    EXPECT_TRUE(driver.Click(IDC_CHANGE_INTERVAL));
}

int ProgressPosition(const CDialog& dialog) {
    return dialog.Item<CProgressCtrl>(IDC_PROGRESS)->GetPos();
}

// Commands split at their carriage returns.
Texts Commands(const std::string& bytes) {
    Texts commands;
    std::size_t nStart = 0;
    for (std::size_t nEnd = bytes.find('\r'); nEnd != std::string::npos; nEnd = bytes.find('\r', nStart)) {
        commands.push_back(bytes.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    if (nStart < bytes.size())
        commands.push_back(bytes.substr(nStart));
    return commands;
}

// Every request of one download, in order.
Texts DownloadRequests() {
    Texts requests;
    for (int p = 1; p <= 8; ++p) {
        for (int r = 0; r < 32; ++r)
            requests.push_back("?L" + std::to_string(p) + (r < 10 ? "0" : "") + std::to_string(r));
    }
    for (int p = 1; p <= 8; ++p) {
        for (int k = 0; k < 10; ++k)
            requests.push_back("?C" + std::to_string(p) + std::to_string(k));
    }
    return requests;
}

// The ways the user closes the dialog, and the result each gives.
enum class EClose { Ok, Escape, CloseBox };
struct CCloseWay {
    const char* pszName;
    EClose way;
    int nResult;
};
const std::vector<CCloseWay> kCloseWays{
    {"OK", EClose::Ok, IDOK}, {"Escape", EClose::Escape, IDCANCEL}, {"close box", EClose::CloseBox, IDCANCEL}};

void CloseBy(CDialogDriver& driver, EClose way) {
    switch (way) {
    case EClose::Ok:
        EXPECT_TRUE(driver.Click(IDOK));
        break;
    case EClose::Escape:
        EXPECT_TRUE(driver.Key(0, EKey::Escape));
        break;
    case EClose::CloseBox:
        driver.CloseBox();
        break;
    }
}

// What the simulator holds for programs 1 to 8, rows 0 to 20 and CD0 to CD9, asked with its own link.
struct CDeviceData {
    std::map<std::pair<int, int>, std::pair<int, int>> rows; // (program, row) -> (light, signal)
    std::map<std::pair<int, int>, std::string> intervals;    // (program, interval) -> time as the device sends it
};

CDeviceData AskDevice(int nPort) {
    CDeviceData data;
    CSerialLink link;
    if (!link.Open(nPort, 9600))
        return data;
    std::size_t nAsked = 0;
    for (int p = 1; p <= 8; ++p) {
        for (int r = 0; r < CProgramStore::kRows; ++r, ++nAsked)
            link.Write("?L" + std::to_string(p) + (r < 10 ? "0" : "") + std::to_string(r) + "\r");
        for (int k = 0; k < 10; ++k, ++nAsked)
            link.Write("?C" + std::to_string(p) + std::to_string(k) + "\r");
    }
    const auto deadline = Clock::now() + kDeviceAnswers;
    std::string strLine;
    while (data.rows.size() + data.intervals.size() < nAsked && Clock::now() < deadline) {
        if (!link.PopLine(strLine)) {
            CDialogDriver::Wait(5ms);
            continue;
        }
        if (strLine.size() == 7 && strLine.starts_with("L?"))
            data.rows[{strLine[2] - '0', std::stoi(strLine.substr(3, 2))}] = {strLine[5] - '0', strLine[6] - '0'};
        else if (strLine.size() == 8 && strLine.starts_with("C?"))
            data.intervals[{strLine[2] - '0', strLine[3] - '0'}] = strLine.substr(4);
    }
    link.Close();
    return data;
}

std::string RecordedSince(const std::string& strRecord, std::size_t nBefore) {
    const std::string recorded = ReadFileBytes(strRecord).value_or("");
    return recorded.substr(std::min(nBefore, recorded.size()));
}

long long Milliseconds(Clock::duration duration) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
}

// One test's files (config.ini for COM kPort, P1.txt when given, and what prepare() adds), the device's recording
// end when asked for, and the dialog opened over them with its driver.
struct CBench {
    explicit CBench(const std::string& strP1 = {}, bool bPeer = false,
                    const std::function<void(CDialogFiles&)>& prepare = {}) {
        if (!strP1.empty())
            files.Write("P1.txt", strP1);
        if (prepare)
            prepare(files);
        if (bPeer)
            peer.emplace(files.Dir().Path(), kPort);
        dialog.Create();
    }
    CDialogFiles files{kSettings, kLanguageFiles};
    std::optional<CDevicePeer> peer;
    CParametersDlg dialog;
    CDialogDriver driver{dialog};
};

} // namespace

class ParametersDlg : public testing::Test {
protected:
    void TearDown() override { LoadLanguage("none-loaded"); }
};

TEST_F(ParametersDlg, OpensWithoutAProgramFile) {
    CDialogFiles files(kSettings, kLanguageFiles);
    CParametersDlg dialog;
    CDialogDriver driver(dialog);
    // The message comes before the dialog is on the screen.
    std::optional<bool> shownAtMessage;
    MessageBoxHook recorder = SetMessageBoxHook({});
    SetMessageBoxHook([&](const CMessageBoxShown& box) {
        shownAtMessage = driver.IsShown();
        return recorder(box);
    });
    dialog.Create();
    SetMessageBoxHook(std::move(recorder));

    EXPECT_EQ(files.Messages(), Texts{"Can't Open File!"});
    EXPECT_EQ(shownAtMessage, false);
    EXPECT_TRUE(driver.IsShown());
    EXPECT_EQ(driver.Title(), "Parameters Dialog");
    EXPECT_EQ(driver.ItemCount(IDC_PROGRAM_DETAILS), 0);
    EXPECT_EQ(Column(driver, IDC_INTERVALS, 0),
              (Texts{"CD0", "CD1", "CD2", "CD3", "CD4", "CD5", "CD6", "CD7", "CD8", "CD9"}));
    EXPECT_EQ(IntervalTimes(driver), Texts(10));

    EXPECT_EQ(driver.Entries(IDC_SELECT_PROGRAM), (Texts{"P0", "P1", "P2", "P3", "P4", "P5", "P6", "P7", "P8"}));
    EXPECT_EQ(driver.Selection(IDC_SELECT_PROGRAM), 1);
    EXPECT_EQ(driver.Text(IDC_SELECT_PROGRAM), "P1");
    EXPECT_EQ(driver.Entries(IDC_FIRST_SETTING), kLights);
    EXPECT_EQ(driver.Selection(IDC_FIRST_SETTING), 0);
    EXPECT_EQ(driver.Entries(IDC_SECOND_SETTING), kSignals);
    EXPECT_EQ(driver.Selection(IDC_SECOND_SETTING), 0);

    int nLower = -1;
    int nUpper = -1;
    dialog.Item<CProgressCtrl>(IDC_PROGRESS)->GetRange(nLower, nUpper);
    EXPECT_EQ(nLower, 0);
    EXPECT_EQ(nUpper, 336);
    EXPECT_EQ(ProgressPosition(dialog), 0);
    // The interval field takes five characters at most.
    EXPECT_TRUE(driver.Type(IDC_INTERVAL_TEXT, "123456"));
    EXPECT_EQ(driver.Text(IDC_INTERVAL_TEXT), "12345");
    EXPECT_FALSE(driver.IsVisible(IDC_PAINT));
    EXPECT_FALSE(dialog.SendCommand(IDC_PAINT));
    EXPECT_FALSE(dialog.IsTimerRunning(CParametersDlg::kTransferTimer));
}

// Both lists: their headings and widths, every column centred, heading and cells.
TEST_F(ParametersDlg, ListsHaveTheirColumns) {
    CBench bench(kThree);
    auto& [files, peer, dialog, driver] = bench;
    using CColumn = CDialogDriver::CColumn;
    constexpr EAlign kCentred = EAlign::Center;
    std::vector<CColumn> details = driver.Columns(IDC_PROGRAM_DETAILS);
    std::vector<CColumn> intervals = driver.Columns(IDC_INTERVALS);
    // Wine's list view draws the cells of a list's first column from the left whatever the column's format (it
    // justifies the other columns only); the rest is checked there all the same.
    const bool bWine = RunsUnderWine();
    if (bWine) {
        for (std::vector<CColumn>* columns : {&details, &intervals}) {
            ASSERT_FALSE(columns->empty());
            columns->front().cellAlign = kCentred;
        }
    }
    EXPECT_EQ(details, (std::vector<CColumn>{{"Minute", kCentred, kCentred, 55},
                                             {"Light", kCentred, kCentred, 80},
                                             {"Signal", kCentred, kCentred, 50}}));
    EXPECT_EQ(intervals,
              (std::vector<CColumn>{{"CD No", kCentred, kCentred, 50}, {"CD Time", kCentred, kCentred, 60}}));
    EXPECT_EQ(dialog.Item<CListCtrl>(IDC_PROGRAM_DETAILS)->GetColumnCount(), 3);
    EXPECT_EQ(dialog.Item<CListCtrl>(IDC_INTERVALS)->GetColumnCount(), 2);
    if (bWine)
        GTEST_SKIP() << "Wine's list view cannot centre the cells of a list's first column (comctl32 "
                        "LISTVIEW_DrawItemPart justifies the other columns only)";
}

TEST_F(ParametersDlg, WithoutALanguageEveryTextItAsksForIsAQuestionMark) {
    CBench bench(kThree, false, [](CDialogFiles& files) { files.Write("config.ini", ""); });
    auto& [files, peer, dialog, driver] = bench;
    EXPECT_EQ(driver.Title(), "Parameters Dialog");
    EXPECT_EQ(driver.Headings(IDC_PROGRAM_DETAILS).at(1), "?");
    EXPECT_EQ(driver.Entries(IDC_FIRST_SETTING), Texts(4, "?"));
    EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 2), Texts(3, "?"));
    // The position is the code: a choice among equal texts still sets the right one.
    EXPECT_TRUE(driver.ClickRow(IDC_PROGRAM_DETAILS, 0));
    EXPECT_TRUE(driver.Choose(IDC_FIRST_SETTING, 2));
    EXPECT_EQ(dialog.Store().GetFirstSetting(1, 0), std::optional<int>(2));
}

TEST_F(ParametersDlg, OpensWithAProgramFile) {
    CBench bench(kThree);
    auto& [files, peer, dialog, driver] = bench;
    EXPECT_EQ(files.Messages(), Texts{});
    EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 0), (Texts{"10", "9", "8"}));
    EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 1), (Texts{"Off", "Yellow", "Green"}));
    EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 2), (Texts{"None", "Short", "Long"}));
    EXPECT_EQ(IntervalTimes(driver), (Texts{"1:30", "Break", "10:00", "", "", "", "", "", "", ""}));
    EXPECT_EQ(dialog.Store().RowCount(), 3);
}

TEST_F(ParametersDlg, ChangeRightAfterOpeningStoresIntoCD0) {
    CBench bench(kThree);
    auto& [files, peer, dialog, driver] = bench;
    ChangeInterval(driver, "2:00");
    EXPECT_EQ(driver.ItemText(IDC_INTERVALS, 0, 1), "2:00");
    EXPECT_EQ(dialog.Store().GetInterval(1, 0), "2:00");
    // No test of its form: what is typed is what is kept.
    ChangeInterval(driver, "x;y");
    EXPECT_EQ(dialog.Store().GetInterval(1, 0), "x;y");
}

TEST_F(ParametersDlg, SettingChoiceBeforeAnyRowIsSelectedChangesNothing) {
    for (const int nChoice : {IDC_FIRST_SETTING, IDC_SECOND_SETTING}) {
        SCOPED_TRACE(nChoice == IDC_FIRST_SETTING ? "light" : "signal");
        CBench bench(kThree);
        auto& [files, peer, dialog, driver] = bench;
        const Texts lights = Column(driver, IDC_PROGRAM_DETAILS, 1);
        const Texts signals = Column(driver, IDC_PROGRAM_DETAILS, 2);
        EXPECT_TRUE(driver.Choose(nChoice, 2));
        EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 1), lights);
        EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 2), signals);
        EXPECT_FALSE(dialog.Store().IsModified(1));
    }
}

TEST_F(ParametersDlg, SelectedRowShowsItsSettingsAndTakesTheChoices) {
    CBench bench(kThree);
    auto& [files, peer, dialog, driver] = bench;
    EXPECT_TRUE(driver.ClickRow(IDC_PROGRAM_DETAILS, 1));
    // The edit fields show the row; the lists keep their selection.
    EXPECT_EQ(driver.Text(IDC_FIRST_SETTING), "Yellow");
    EXPECT_EQ(driver.Selection(IDC_FIRST_SETTING), 0);
    EXPECT_EQ(driver.Text(IDC_SECOND_SETTING), "Short");
    EXPECT_EQ(driver.Selection(IDC_SECOND_SETTING), 0);

    EXPECT_TRUE(driver.Choose(IDC_FIRST_SETTING, 3));
    EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 1), (Texts{"Off", "Green", "Green"}));
    EXPECT_TRUE(driver.Choose(IDC_SECOND_SETTING, 0));
    EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 2), (Texts{"None", "None", "Long"}));
    EXPECT_EQ(dialog.Store().GetFirstSetting(1, 1), std::optional<int>(3));
    EXPECT_EQ(dialog.Store().GetSecondSetting(1, 1), std::optional<int>(0));
    // Edits stay in memory until saved.
    EXPECT_EQ(files.Read("P1.txt"), kThree);

    // Typing into a choice's edit field chooses nothing, not even an entry's text.
    EXPECT_TRUE(driver.ClickRow(IDC_PROGRAM_DETAILS, 2));
    dialog.GetDlgItem(IDC_FIRST_SETTING)->SetWindowText("");
    EXPECT_TRUE(driver.Type(IDC_FIRST_SETTING, "Off"));
    EXPECT_TRUE(driver.Key(IDC_FIRST_SETTING, EKey::Enter));
    EXPECT_EQ(dialog.Store().GetFirstSetting(1, 2), std::optional<int>(3));
    EXPECT_FALSE(dialog.IsEnded());
}

TEST_F(ParametersDlg, SelectedIntervalGoesToTheFieldAndChangeStoresIt) {
    CBench bench(kThree);
    auto& [files, peer, dialog, driver] = bench;
    EXPECT_TRUE(driver.ClickRow(IDC_INTERVALS, 1));
    EXPECT_EQ(driver.Text(IDC_INTERVAL_TEXT), "Break");
    EXPECT_EQ(driver.FocusId(), IDC_INTERVAL_TEXT);
    ChangeInterval(driver, "3:00");
    EXPECT_EQ(IntervalTimes(driver), (Texts{"1:30", "3:00", "10:00", "", "", "", "", "", "", ""}));
    // The field takes five characters at most.
    EnterInterval(driver, "123456");
    EXPECT_EQ(driver.Text(IDC_INTERVAL_TEXT), "12345");
}

// Enter with the focus on each control that is no push button: the interval field stores the interval, the
// others do nothing, and the dialog stays open. The same with Shift, Ctrl or Alt held and for the keypad's Enter,
// which the window system's dialog manager would have taken for OK.
TEST_F(ParametersDlg, EnterStoresTheIntervalAndNeverClosesTheDialog) {
    struct CRow {
        const char* pszName;
        int nFocus;
        const char* pszInterval; // CD0 afterwards
    };
    const std::vector<CRow> rows{{"interval field", IDC_INTERVAL_TEXT, "4:00"},
                                 {"detail list", IDC_PROGRAM_DETAILS, "1:30"},
                                 {"interval list", IDC_INTERVALS, "1:30"},
                                 {"program choice", IDC_SELECT_PROGRAM, "1:30"}};
    struct CVariant {
        const char* pszName;
        EKey key;
        CKeyModifiers modifiers;
    };
    const std::vector<CVariant> variants{{"Enter", EKey::Enter, {}},
                                         {"Shift+Enter", EKey::Enter, {.bShift = true}},
                                         {"Ctrl+Enter", EKey::Enter, {.bControl = true}},
                                         {"Alt+Enter", EKey::Enter, {.bAlt = true}},
                                         {"keypad's Enter", EKey::KeypadEnter, {}},
                                         {"Shift+keypad's Enter", EKey::KeypadEnter, {.bShift = true}}};
    for (const CVariant& variant : variants) {
        SCOPED_TRACE(variant.pszName);
        for (const CRow& row : rows) {
            SCOPED_TRACE(row.pszName);
            CBench bench(kThree);
            auto& [files, peer, dialog, driver] = bench;
            EnterInterval(driver, "4:00");
            if (row.nFocus == IDC_SELECT_PROGRAM) {
                // A program typed into the choice's field is no choice either.
                dialog.GetDlgItem(IDC_SELECT_PROGRAM)->SetWindowText("");
                EXPECT_TRUE(driver.Type(IDC_SELECT_PROGRAM, "P3"));
            }
            EXPECT_TRUE(driver.Key(row.nFocus, variant.key, variant.modifiers));
            EXPECT_FALSE(dialog.IsEnded());
            EXPECT_TRUE(driver.IsShown());
            EXPECT_EQ(driver.ItemText(IDC_INTERVALS, 0, 1), row.pszInterval);
            EXPECT_EQ(dialog.Store().RowCount(), 3); // still program 1 from its file
        }
    }
}

TEST_F(ParametersDlg, ClosingSavesAndSendsNothing) {
    for (const CCloseWay& close : kCloseWays) {
        SCOPED_TRACE(close.pszName);
        CBench bench(kThree, true);
        auto& [files, peer, dialog, driver] = bench;
        ChangeInterval(driver, "7:00");
        CloseBy(driver, close.way);
        EXPECT_TRUE(dialog.IsEnded());
        EXPECT_EQ(dialog.Result(), close.nResult);
        EXPECT_FALSE(driver.IsShown());
        EXPECT_EQ(files.Read("P1.txt"), kThree);
        EXPECT_EQ(peer->ReadFor(100ms), "");
    }
}

TEST_F(ParametersDlg, SaveWritesTheFileAndReopeningShowsIt) {
    CDialogFiles files(kSettings, kLanguageFiles);
    files.Write("P1.txt", kThree);
    {
        CParametersDlg dialog;
        CDialogDriver driver(dialog);
        dialog.Create();
        EXPECT_TRUE(driver.ClickRow(IDC_PROGRAM_DETAILS, 0));
        EXPECT_TRUE(driver.Choose(IDC_FIRST_SETTING, 2));
        EXPECT_TRUE(driver.ClickRow(IDC_INTERVALS, 2));
        ChangeInterval(driver, "0:45");
        EXPECT_TRUE(driver.Click(IDC_SAVE_PROGRAM));
        EXPECT_FALSE(dialog.Store().IsModified(1));
    }
    const std::string saved = FileText({"10;2;0;1:30;", "9;2;1;Break;", "8;3;2;0:45;"});
    EXPECT_EQ(files.Read("P1.txt"), saved);

    CParametersDlg reopened;
    CDialogDriver driver(reopened);
    reopened.Create();
    EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 1), (Texts{"Yellow", "Yellow", "Green"}));
    EXPECT_EQ(IntervalTimes(driver), (Texts{"1:30", "Break", "0:45", "", "", "", "", "", "", ""}));
    EXPECT_TRUE(driver.Click(IDC_SAVE_PROGRAM));
    EXPECT_EQ(files.Read("P1.txt"), saved);
}

TEST_F(ParametersDlg, FileThatCannotBeWrittenIsReportedAndTheDialogStaysOpen) {
    CBench bench({}, false, [](CDialogFiles& files) { std::filesystem::create_directory(files.Dir().File("P1.txt")); });
    auto& [files, peer, dialog, driver] = bench;
    EXPECT_TRUE(driver.Click(IDC_SAVE_PROGRAM));
    EXPECT_EQ(files.Messages(), (Texts{"Can't Open File!", "Can't open file!"}));
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_TRUE(driver.IsShown());
}

TEST_F(ParametersDlg, EditedDataSurvivesSwitchingPrograms) {
    CBench bench(kThree, false, [](CDialogFiles& files) {
        files.Write("P2.txt", FileText({"10;3;2;7:00;", "9;3;2;7:30;", "8;3;2;;", "7;3;2;;", "6;3;2;;"}));
    });
    auto& [files, peer, dialog, driver] = bench;
    ChangeInterval(driver, "9:59");

    EXPECT_TRUE(driver.Choose(IDC_SELECT_PROGRAM, 2)); // read from its file
    EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 1), Texts(5, "Green"));
    EXPECT_EQ(driver.ItemText(IDC_INTERVALS, 0, 1), "7:00");

    EXPECT_TRUE(driver.Choose(IDC_SELECT_PROGRAM, 1)); // edited since read: kept, with the rows it showed
    EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 0), (Texts{"10", "9", "8"}));
    EXPECT_EQ(IntervalTimes(driver), (Texts{"9:59", "Break", "10:00", "", "", "", "", "", "", ""}));
    EXPECT_TRUE(driver.Click(IDC_SAVE_PROGRAM));
    EXPECT_EQ(files.Read("P1.txt"), FileText({"10;0;0;9:59;", "9;2;1;Break;", "8;3;2;10:00;"}));

    // A program without a file keeps the rows shown before and shows its own (empty) settings.
    EXPECT_TRUE(driver.Choose(IDC_SELECT_PROGRAM, 3));
    EXPECT_EQ(files.Messages(), Texts{"Can't Open File!"});
    EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 1), Texts(3));
    EXPECT_EQ(IntervalTimes(driver), Texts(10));
}

// The lists are built again for another program: the rows the user selected stay selected, and the fields beside
// them show that program's data, so that a choice and "Change" act on what the user sees.
TEST_F(ParametersDlg, SwitchingProgramsKeepsTheSelectedRowsAndTheirFields) {
    CBench bench(kThree, false, [](CDialogFiles& files) {
        files.Write("P2.txt", FileText({"10;3;2;7:00;", "9;1;0;7:30;", "8;2;1;8:00;"}));
    });
    auto& [files, peer, dialog, driver] = bench;
    EXPECT_TRUE(driver.ClickRow(IDC_PROGRAM_DETAILS, 1));
    EXPECT_TRUE(driver.ClickRow(IDC_INTERVALS, 2));
    EXPECT_EQ(driver.Text(IDC_INTERVAL_TEXT), "10:00");

    EXPECT_TRUE(driver.Choose(IDC_SELECT_PROGRAM, 2));
    EXPECT_EQ(driver.Selection(IDC_PROGRAM_DETAILS), 1);
    EXPECT_EQ(driver.Text(IDC_FIRST_SETTING), "Red");
    EXPECT_EQ(driver.Text(IDC_SECOND_SETTING), "None");
    EXPECT_EQ(driver.Selection(IDC_INTERVALS), 2);
    EXPECT_EQ(driver.Text(IDC_INTERVAL_TEXT), "8:00");

    EXPECT_TRUE(driver.Choose(IDC_FIRST_SETTING, 3));
    EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 1), (Texts{"Green", "Green", "Yellow"}));
    ChangeInterval(driver, "9:00");
    EXPECT_EQ(IntervalTimes(driver), (Texts{"7:00", "7:30", "9:00", "", "", "", "", "", "", ""}));
    EXPECT_EQ(dialog.Store().GetInterval(1, 2), "10:00"); // the program left behind is untouched

    // A program with fewer rows: the selected detail row is gone, and a choice has no row to act on.
    files.Write("P3.txt", FileText({"10;0;0;1:00;"}));
    EXPECT_TRUE(driver.Choose(IDC_SELECT_PROGRAM, 3));
    EXPECT_EQ(driver.ItemCount(IDC_PROGRAM_DETAILS), 1);
    EXPECT_EQ(driver.Selection(IDC_PROGRAM_DETAILS), -1);
    EXPECT_TRUE(driver.Choose(IDC_FIRST_SETTING, 2));
    EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 1), Texts{"Off"});
}

// A download without a program file builds the lists again with the rows it filled: CD3, selected before, stays
// selected, its field shows the downloaded time, and "Change" stores into the downloaded CD3. Disabling the button
// that started the download moved the focus along the tab order, to OK: Enter meanwhile, or once the download is
// over, must not end the dialog and drop what was not saved.
TEST_F(ParametersDlg, ADownloadKeepsTheSelectedIntervalItsFieldAndTheFocus) {
    CBench bench({}, true);
    auto& [files, peer, dialog, driver] = bench;
    EXPECT_TRUE(driver.ClickRow(IDC_INTERVALS, 3));
    EXPECT_EQ(driver.Text(IDC_INTERVAL_TEXT), "");
    EXPECT_TRUE(driver.Focus(IDC_DOWNLOAD));
    CDialogDriver::Later(150ms, [&] { peer->Write("L?10031\rL?10121\rC?131:30\rC?141:45\r"); });
    std::optional<bool> endedByEnter;
    CDialogDriver::Later(300ms, [&] {
        EXPECT_TRUE(driver.Key(0, EKey::Enter));
        endedByEnter = dialog.IsEnded();
    });
    EXPECT_TRUE(driver.Click(IDC_DOWNLOAD));

    EXPECT_EQ(endedByEnter, false);
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_EQ(driver.FocusId(), IDC_DOWNLOAD);
    EXPECT_EQ(driver.ItemCount(IDC_PROGRAM_DETAILS), 2);
    EXPECT_EQ(driver.Selection(IDC_INTERVALS), 3);
    EXPECT_EQ(driver.Text(IDC_INTERVAL_TEXT), "1:30");
    ChangeInterval(driver, "9:59");
    EXPECT_EQ(IntervalTimes(driver), (Texts{"", "", "", "9:59", "1:45", "", "", "", "", ""}));
}

// The same for the upload of the countdown intervals, the other button whose disabling hands the focus to OK.
TEST_F(ParametersDlg, AnUploadNeverHandsEnterToOk) {
    CBench bench(kThree, true);
    auto& [files, peer, dialog, driver] = bench;
    EXPECT_TRUE(driver.Focus(IDC_UPLOAD_INTERVALS));
    std::optional<bool> endedByEnter;
    CDialogDriver::Later(300ms, [&] {
        EXPECT_TRUE(driver.Key(0, EKey::Enter));
        endedByEnter = dialog.IsEnded();
    });
    EXPECT_TRUE(driver.Click(IDC_UPLOAD_INTERVALS));
    EXPECT_TRUE(CDialogDriver::WaitFor([&] { return endedByEnter.has_value(); }));
    EXPECT_EQ(endedByEnter, false);
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_EQ(driver.FocusId(), IDC_UPLOAD_INTERVALS);
}

// Disabling the button that started a transfer hands the focus on to the next control Tab reaches; from there Tab
// goes on and Escape asks for the close, which comes when the sequence ends. The window system alone would leave
// the focus nowhere, where no key reaches a control.
TEST_F(ParametersDlg, TheKeyboardReachesTheDialogDuringATransfer) {
    struct CRow {
        const char* pszName;
        int nStarter;
        std::string strP1;
        int nFocusDuring; // the next tab stop that stays enabled
        int nAfterTab;
    };
    const std::vector<CRow> rows{
        {"download", IDC_DOWNLOAD, {}, IDOK, IDC_PROGRAM_DETAILS},
        {"upload of details", IDC_UPLOAD_DETAILS, kEleven, IDC_INTERVALS, IDC_INTERVAL_TEXT},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        CBench bench(row.strP1, true);
        auto& [files, peer, dialog, driver] = bench;
        // A row chosen first: a list that gets the focus without one may choose its first row itself, and a row of
        // this list sends the focus to the interval field.
        EXPECT_TRUE(driver.ClickRow(IDC_INTERVALS, 0));
        ASSERT_TRUE(driver.Focus(row.nStarter));
        int nFocusDuring = -1;
        int nAfterTab = -1;
        std::optional<bool> endedByEscape;
        CDialogDriver::Later(200ms, [&] {
            nFocusDuring = driver.FocusId();
            EXPECT_TRUE(driver.Key(0, EKey::Tab));
            nAfterTab = driver.FocusId();
            EXPECT_TRUE(driver.Key(0, EKey::Escape));
            endedByEscape = dialog.IsEnded();
        });
        EXPECT_TRUE(driver.Click(row.nStarter));
        EXPECT_EQ(nFocusDuring, row.nFocusDuring);
        EXPECT_EQ(nAfterTab, row.nAfterTab);
        EXPECT_EQ(endedByEscape, false); // asked for, and waiting for the sequence's end
        EXPECT_TRUE(dialog.IsEnded());
        EXPECT_EQ(dialog.Result(), IDCANCEL);
    }
}

// While a transfer runs nothing edits the store: an upload was built before and saves afterwards (the file and the
// unit would differ), a download's replies land in it meanwhile. The setting choices and "Change" are disabled with
// the transfer buttons and the program choice, and the user's attempts reach nothing.
TEST_F(ParametersDlg, NothingEditsTheStoreDuringATransfer) {
    const std::vector<int> locked{IDC_SELECT_PROGRAM, IDC_FIRST_SETTING,    IDC_SECOND_SETTING, IDC_CHANGE_INTERVAL,
                                  IDC_UPLOAD_DETAILS, IDC_UPLOAD_INTERVALS, IDC_SAVE_PROGRAM,   IDC_DOWNLOAD};
    struct CRow {
        const char* pszName;
        int nStarter;
    };
    for (const CRow& row : {CRow{"upload of details", IDC_UPLOAD_DETAILS}, CRow{"download", IDC_DOWNLOAD}}) {
        SCOPED_TRACE(row.pszName);
        CBench bench(kEleven, true);
        auto& [files, peer, dialog, driver] = bench;
        EXPECT_TRUE(driver.ClickRow(IDC_PROGRAM_DETAILS, 0));
        EXPECT_TRUE(driver.ClickRow(IDC_INTERVALS, 0));
        std::vector<int> enabledDuring;
        std::vector<bool> attempts;
        CDialogDriver::Later(150ms, [&] {
            for (const int nId : locked) {
                if (driver.IsEnabled(nId))
                    enabledDuring.push_back(nId);
            }
            attempts.push_back(driver.Choose(IDC_FIRST_SETTING, 3));
            attempts.push_back(driver.Choose(IDC_SECOND_SETTING, 2));
            driver.Dialog().GetDlgItem(IDC_INTERVAL_TEXT)->SetWindowText("");
            attempts.push_back(driver.Type(IDC_INTERVAL_TEXT, "9:59") && driver.Click(IDC_CHANGE_INTERVAL));
            attempts.push_back(driver.Key(IDC_INTERVAL_TEXT, EKey::Enter) &&
                               driver.ItemText(IDC_INTERVALS, 0, 1) != "1:30");
            if (row.nStarter == IDC_DOWNLOAD)
                driver.Key(0, EKey::Escape); // a download stops at the next request
        });
        EXPECT_TRUE(driver.Click(row.nStarter));

        EXPECT_EQ(enabledDuring, std::vector<int>{});
        EXPECT_EQ(attempts, (std::vector<bool>{false, false, false, false}));
        EXPECT_EQ(dialog.Store().GetInterval(1, 0), "1:30");
        EXPECT_EQ(dialog.Store().GetFirstSetting(1, 0), 0);
        EXPECT_EQ(dialog.Store().GetSecondSetting(1, 0), 1);
        if (row.nStarter == IDC_UPLOAD_DETAILS) {
            // What the unit got is what the file holds.
            EXPECT_EQ(Commands(peer->ReadFor(kPeerWait)).front(), "=L10001");
            EXPECT_EQ(files.Read("P1.txt"), kEleven);
            for (const int nId : locked)
                EXPECT_TRUE(driver.IsEnabled(nId)) << nId;
        }
    }
}

TEST_F(ParametersDlg, UploadOfDetailsSendsEveryRowAtItsPaceAndSaves) {
    CBench bench(kEleven, true);
    auto& [files, peer, dialog, driver] = bench;
    ChangeInterval(driver, "1:45");

    // Window messages run between the rows, while the transfer buttons are disabled.
    std::optional<bool> pumped;
    bool bDisabledMeanwhile = false;
    CDialogDriver::Later(0ms, [&] {
        pumped = dialog.IsTransferring();
        bDisabledMeanwhile = !driver.IsEnabled(IDC_UPLOAD_DETAILS);
    });
    const auto start = Clock::now();
    EXPECT_TRUE(driver.Click(IDC_UPLOAD_DETAILS));
    const auto elapsed = Clock::now() - start;

    EXPECT_EQ(Commands(peer->ReadFor(kPeerWait)),
              (Texts{"=L10001", "=L10112", "=L10220", "=L10331", "=L10402", "=L10510", "=L10621", "=L10732", "=L10800",
                     "=L10911", "=L11022"}));
    EXPECT_GE(elapsed, 11 * kPace - kClockSlack) << Milliseconds(elapsed) << " ms";
    EXPECT_LT(elapsed, 10s) << Milliseconds(elapsed) << " ms";
    EXPECT_EQ(pumped, true);
    EXPECT_TRUE(bDisabledMeanwhile);
    EXPECT_TRUE(driver.IsEnabled(IDC_UPLOAD_DETAILS));
    EXPECT_FALSE(dialog.IsTransferring());
    EXPECT_EQ(files.Read("P1.txt"), "10;0;1;1:45;\r\n" + kEleven.substr(14));
}

TEST_F(ParametersDlg, UploadOfIntervalsSendsTheShownTimesWithoutPausingForMessages) {
    CBench bench(kThree, true);
    auto& [files, peer, dialog, driver] = bench;
    EXPECT_TRUE(driver.ClickRow(IDC_INTERVALS, 3));
    ChangeInterval(driver, "1:3:0");

    std::optional<bool> ranDuring;
    CDialogDriver::Later(0ms, [&] { ranDuring = dialog.IsTransferring(); });
    const auto start = Clock::now();
    EXPECT_TRUE(driver.Click(IDC_UPLOAD_INTERVALS));
    const auto elapsed = Clock::now() - start;
    EXPECT_TRUE(CDialogDriver::WaitFor([&] { return ranDuring.has_value(); }));

    EXPECT_EQ(Commands(peer->ReadFor(kPeerWait)),
              (Texts{"=W10130", "=W11Break", "=W121000", "=W13130", "=W14", "=W15", "=W16", "=W17", "=W18", "=W19"}));
    EXPECT_GE(elapsed, 10 * kPace - kClockSlack) << Milliseconds(elapsed) << " ms";
    EXPECT_EQ(ranDuring, false);
    // Saved afterwards: the file has the rows it had, and CD3 is not among them.
    EXPECT_EQ(files.Read("P1.txt"), kThree);
    EXPECT_FALSE(dialog.Store().IsModified(1));
}

TEST_F(ParametersDlg, UploadWithNoRowsSendsNothingButSavesAnEmptyFile) {
    CBench bench({}, true);
    auto& [files, peer, dialog, driver] = bench;
    EXPECT_TRUE(driver.Click(IDC_UPLOAD_DETAILS));
    EXPECT_EQ(peer->ReadFor(200ms), "");
    EXPECT_EQ(files.Read("P1.txt"), "");
    EXPECT_EQ(files.Messages(), Texts{"Can't Open File!"});
}

TEST_F(ParametersDlg, WithoutPortSettingsTheMainWindowsPortIsUsed) {
    CDialogFiles files(kLanguageOnly, kLanguageFiles);
    files.Write("P1.txt", kThree);
    CDevicePeer peer(files.Dir().Path(), kDefaultPort);
    CParametersDlg dialog;
    CDialogDriver driver(dialog);
    dialog.Create();
    EXPECT_TRUE(driver.Click(IDC_UPLOAD_INTERVALS));
    EXPECT_EQ(Commands(peer.ReadFor(kPeerWait)).size(), 10U);
    EXPECT_EQ(files.Messages(), Texts{});
}

TEST_F(ParametersDlg, PortThatCannotBeOpenedIsReportedAndTheUploadStillSaves) {
    CBench bench(kThree);
    auto& [files, peer, dialog, driver] = bench;
    ChangeInterval(driver, "0:10");
    EXPECT_TRUE(driver.Click(IDC_UPLOAD_INTERVALS));
    EXPECT_EQ(files.Messages(), Texts{"Can't open COM port"});
    EXPECT_EQ(files.Read("P1.txt"), FileText({"10;0;0;0:10;", "9;2;1;Break;", "8;3;2;10:00;"}));
    EXPECT_FALSE(dialog.IsEnded());
}

// A request to close while a download runs stops its requests; the dialog closes once the link is closed, and what
// arrived meanwhile is decoded and shown, all rows of it although there was no program file.
TEST_F(ParametersDlg, ClosingDuringADownloadWaitsForItsEnd) {
    for (const CCloseWay& close : kCloseWays) {
        SCOPED_TRACE(close.pszName);
        CBench bench({}, true);
        auto& [files, peer, dialog, driver] = bench;

        CDialogDriver::Later(150ms, [&] { peer->Write("L?10031\rL?10121\rL?10200\rOK\r\rC?101:30\rC?110:00\r"); });
        std::optional<bool> endedAtRequest;
        bool bTransferringAfterRequest = false;
        CDialogDriver::Later(600ms, [&] {
            CloseBy(driver, close.way);
            endedAtRequest = dialog.IsEnded();
            bTransferringAfterRequest = dialog.IsTransferring();
        });
        EXPECT_TRUE(driver.Click(IDC_DOWNLOAD));

        EXPECT_EQ(endedAtRequest, false);
        EXPECT_TRUE(bTransferringAfterRequest);
        EXPECT_TRUE(dialog.IsEnded());
        EXPECT_EQ(dialog.Result(), close.nResult);
        const Texts sent = Commands(peer->ReadFor(200ms));
        EXPECT_FALSE(sent.empty());
        EXPECT_LT(sent.size(), 40U);
        EXPECT_EQ(sent, First(DownloadRequests(), sent.size()));

        // One step per reply, and back to the start at the end.
        EXPECT_EQ(driver.HighestPosition(IDC_PROGRESS), 5);
        EXPECT_EQ(ProgressPosition(dialog), 0);
        EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 0), (Texts{"10", "9", "8"}));
        EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 1), (Texts{"Green", "Yellow", "Off"}));
        EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 2), (Texts{"Short", "Short", "None"}));
        EXPECT_EQ(IntervalTimes(driver), (Texts{"1:30", "Break", "", "", "", "", "", "", "", ""}));
        EXPECT_EQ(dialog.Store().RowCount(), 3); // an upload or a save would cover them too
        EXPECT_EQ(files.Messages(), Texts{"Can't Open File!"});
    }
}

TEST_F(ParametersDlg, ClosingDuringAnUploadLetsItFinishAndSave) {
    CBench bench(kEleven, true);
    auto& [files, peer, dialog, driver] = bench;
    ChangeInterval(driver, "0:20");
    std::optional<bool> endedAtRequest;
    CDialogDriver::Later(100ms, [&] {
        EXPECT_TRUE(driver.Key(0, EKey::Escape));
        endedAtRequest = dialog.IsEnded();
    });
    EXPECT_TRUE(driver.Click(IDC_UPLOAD_DETAILS));
    EXPECT_EQ(endedAtRequest, false);
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.Result(), IDCANCEL);
    EXPECT_EQ(Commands(peer->ReadFor(kPeerWait)).size(), 11U);
    EXPECT_EQ(files.Read("P1.txt"), "10;0;1;0:20;\r\n" + kEleven.substr(14));
}

// The one full download of this file: the simulator first gets program 1 uploaded, then is downloaded while "P0" is
// the current program.
TEST_F(ParametersDlg, FullDownloadFromTheSimulator) {
    CDialogFiles files(kSettings, kLanguageFiles);
    const std::string p0 = FileText({"10;1;1;2:00;", "9;2;2;2:30;"});
    files.Write("P0.txt", p0);
    files.Write("P1.txt", kEleven);
    files.Write("P2.txt", FileText({"10;3;2;7:00;", "9;3;2;7:30;"}));
    const std::string strRecord = files.Dir().File("received.bin");
    CDeviceSimulator sim(files.Dir().Path(), {"--com", std::to_string(kPort), "--record", strRecord});
    CParametersDlg dialog;
    CDialogDriver driver(dialog);
    dialog.Create();

    // Upload program 1, then see what the device holds.
    EXPECT_TRUE(driver.Click(IDC_UPLOAD_DETAILS));
    EXPECT_TRUE(driver.Click(IDC_UPLOAD_INTERVALS));
    const CDeviceData device = AskDevice(sim.Port());
    ASSERT_EQ(device.rows.size(), std::size_t{8 * 21});
    ASSERT_EQ(device.intervals.size(), std::size_t{8 * 10});
    const Texts uploadedLights{"Off",    "Red",   "Yellow", "Green", "Off",   "Red",
                               "Yellow", "Green", "Off",    "Red",   "Yellow"};
    for (int r = 0; r <= 10; ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(device.rows.at({1, r}).first, r % 4);
        EXPECT_EQ(device.rows.at({1, r}).second, (r + 1) % 3);
    }
    EXPECT_EQ(device.intervals.at({1, 0}), "1:30");
    EXPECT_EQ(device.intervals.at({1, 1}), "0:00"); // "Break"

    EXPECT_TRUE(driver.Choose(IDC_SELECT_PROGRAM, 0));
    EXPECT_EQ(driver.ItemCount(IDC_PROGRAM_DETAILS), 2);

    std::vector<bool> enabledMeanwhile;
    bool bStillOneDownload = false;
    CDialogDriver::Later(1500ms, [&] {
        for (const int nId :
             {IDC_UPLOAD_DETAILS, IDC_UPLOAD_INTERVALS, IDC_SAVE_PROGRAM, IDC_DOWNLOAD, IDC_SELECT_PROGRAM, IDOK})
            enabledMeanwhile.push_back(driver.IsEnabled(nId));
        // A second download, a save and another program are all refused while the first one runs.
        driver.Click(IDC_DOWNLOAD);
        dialog.SendCommand(IDC_DOWNLOAD);
        dialog.SendCommand(IDC_UPLOAD_DETAILS);
        dialog.SendCommand(IDC_SAVE_PROGRAM);
        driver.Key(IDC_SELECT_PROGRAM, EKey::Down);
        bStillOneDownload = dialog.IsTransferring() && ProgressPosition(dialog) > 0;
    });
    const std::size_t nRecordedBefore = ReadFileBytes(strRecord).value_or("").size();
    const auto start = Clock::now();
    EXPECT_TRUE(driver.Click(IDC_DOWNLOAD));
    const auto elapsed = Clock::now() - start;

    // Exactly one download went out, in order, at its pace.
    EXPECT_EQ(enabledMeanwhile, (std::vector<bool>{false, false, false, false, false, true}));
    EXPECT_TRUE(bStillOneDownload);
    EXPECT_EQ(Commands(RecordedSince(strRecord, nRecordedBefore)), DownloadRequests());
    EXPECT_GE(elapsed, kFullDownload - kClockSlack) << Milliseconds(elapsed) << " ms";
    EXPECT_EQ(driver.HighestPosition(IDC_PROGRESS), 336);
    EXPECT_EQ(ProgressPosition(dialog), 0);
    EXPECT_TRUE(dialog.IsTimerRunning(CParametersDlg::kTransferTimer));
    EXPECT_EQ(files.Messages(), Texts{});

    // "P0" stays current and unchanged; the store holds what the device holds.
    EXPECT_EQ(driver.Selection(IDC_SELECT_PROGRAM), 0);
    EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 1), (Texts{"Red", "Yellow"}));
    EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 2), (Texts{"Short", "Long"}));
    EXPECT_EQ(First(IntervalTimes(driver), 2), (Texts{"2:00", "2:30"}));
    EXPECT_FALSE(dialog.Store().IsModified(0));
    const CProgramStore& store = dialog.Store();
    for (int p = 1; p <= 8; ++p) {
        SCOPED_TRACE("program " + std::to_string(p));
        for (int r = 0; r < CProgramStore::kRows; ++r) {
            EXPECT_EQ(store.GetFirstSetting(p, r), std::optional<int>(device.rows.at({p, r}).first)) << "row " << r;
            EXPECT_EQ(store.GetSecondSetting(p, r), std::optional<int>(device.rows.at({p, r}).second)) << "row " << r;
        }
        for (int k = 0; k < 10; ++k) {
            const std::string& strTime = device.intervals.at({p, k});
            EXPECT_EQ(store.GetInterval(p, k), strTime == "0:00" ? std::string("Break") : strTime) << "CD" << k;
        }
        EXPECT_EQ(store.FilledRowCount(p), CProgramStore::kRows);
    }

    // Program 2 shows what was downloaded, not its file, in the two rows its file has; program 3 (no file) shows
    // every downloaded row.
    EXPECT_TRUE(driver.Choose(IDC_SELECT_PROGRAM, 2));
    EXPECT_EQ(driver.ItemCount(IDC_PROGRAM_DETAILS), 2);
    EXPECT_EQ(driver.ItemText(IDC_PROGRAM_DETAILS, 1, 1), kLights.at(device.rows.at({2, 1}).first));
    EXPECT_EQ(driver.ItemText(IDC_INTERVALS, 0, 1), device.intervals.at({2, 0}));
    EXPECT_TRUE(driver.Choose(IDC_SELECT_PROGRAM, 3));
    EXPECT_EQ(files.Messages(), Texts{});
    EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 0).back(), "-10");
    Texts lightColumn;
    std::string expectedFile;
    for (int r = 0; r < CProgramStore::kRows; ++r) {
        const auto [nLight, nSignal] = device.rows.at({3, r});
        lightColumn.push_back(kLights.at(nLight));
        expectedFile += std::to_string(10 - r) + ";" + std::to_string(nLight) + ";" + std::to_string(nSignal) + ";" +
                        (r < 10 ? store.GetInterval(3, r) : "") + ";\r\n";
    }
    EXPECT_EQ(Column(driver, IDC_PROGRAM_DETAILS, 1), lightColumn);

    // Saving covers every shown row and stops the transfer timer.
    EXPECT_TRUE(driver.Click(IDC_SAVE_PROGRAM));
    EXPECT_EQ(files.Read("P3.txt"), expectedFile);
    EXPECT_FALSE(dialog.IsTimerRunning(CParametersDlg::kTransferTimer));
    EXPECT_TRUE(driver.Choose(IDC_SELECT_PROGRAM, 1));
    EXPECT_EQ(First(Column(driver, IDC_PROGRAM_DETAILS, 1), 11), uploadedLights);
    EXPECT_EQ(IntervalTimes(driver),
              (Texts{"1:30", "Break", "0:45", "2:00", "3:15", "Break", "4:00", "0:30", "5:00", "9:59"}));
    EXPECT_EQ(files.Read("P0.txt"), p0);

    // P1.txt has eleven lines: after the download the program still has eleven rows, the upload sends eleven rows
    // and the file keeps eleven lines.
    EXPECT_EQ(driver.ItemCount(IDC_PROGRAM_DETAILS), 11);
    const std::size_t nBeforeUpload = ReadFileBytes(strRecord).value_or("").size();
    EXPECT_TRUE(driver.Click(IDC_UPLOAD_DETAILS));
    const Texts uploaded = Commands(RecordedSince(strRecord, nBeforeUpload));
    ASSERT_EQ(uploaded.size(), 11U);
    EXPECT_EQ(uploaded.front(),
              "=L100" + std::to_string(device.rows.at({1, 0}).first) + std::to_string(device.rows.at({1, 0}).second));
    EXPECT_EQ(uploaded.back(),
              "=L110" + std::to_string(device.rows.at({1, 10}).first) + std::to_string(device.rows.at({1, 10}).second));
    EXPECT_EQ(SplitTextLines(files.Read("P1.txt").value_or("")).size(), std::size_t{11});
}

// Only with KALVORA_SCREENSHOT_DIR: the dialog after a download from the simulator, with a detail row selected, into
// <dir>/parameters.png.
TEST_F(ParametersDlg, Screenshot) {
    const char* pszDirectory = std::getenv("KALVORA_SCREENSHOT_DIR");
    if (!pszDirectory || !*pszDirectory)
        GTEST_SKIP() << "KALVORA_SCREENSHOT_DIR is not set";
    CDialogFiles files(kSettings, kLanguageFiles);
    CDeviceSimulator sim(files.Dir().Path(), {"--com", std::to_string(kPort)});
    CParametersDlg dialog;
    CDialogDriver driver(dialog);
    dialog.Create();
    EXPECT_TRUE(driver.Click(IDC_DOWNLOAD));
    EXPECT_TRUE(driver.ClickRow(IDC_PROGRAM_DETAILS, 6));
    EXPECT_TRUE(driver.ClickRow(IDC_INTERVALS, 2));
    EXPECT_TRUE(driver.ClickRow(IDC_PROGRAM_DETAILS, 6));
    CDialogDriver::Wait(200ms);
    const CDialogDriver::CImage image = driver.Snapshot(0);
    ASSERT_GT(image.cx, 0);
    EXPECT_TRUE(WritePngFile(std::string(pszDirectory) + "/parameters.png", image));
}
