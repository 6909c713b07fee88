// The Live Page dialog and the main window's side of the live page, through the test driver: the same file on every
// window implementation. The servers listen on ports the tests pick free; the tests talk to them on 127.0.0.1 alone.

#include "window/DialogDriver.h"

#include "base/Files.h"
#include "base/WallClock.h"
#include "console/MainConsoleDlg.h"
#include "i18n/Language.h"
#include "live/LivePageDlg.h"
#include "live/LiveServer.h"
#include "live/LiveShare.h"
#include "live/QrCode.h"
#include "res/Resource.h"
#include "settings/SessionSettings.h"
#include "settings/Settings.h"
#include "tests/support/DevicePeer.h"
#include "tests/support/DialogTesting.h"
#include "tests/support/Environment.h"
#include "tests/support/PngFile.h"
#include "tests/support/QrReader.h"
#include "tests/support/RawHttp.h"
#include "window/Dialog.h"
#include "window/FileDialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr int kPort = 5; // the COM port of the tests' settings, where the peer answers

// A port no program listens on now: the one the system gives a server for port 0, closed again.
unsigned short FreePort() {
    CLiveServer probe;
    if (!probe.Start("", 0).m_bOk)
        return 0;
    const unsigned short nPort = probe.Port();
    probe.Stop();
    return nPort;
}

// What the server at nPort answers for /state.json on this computer (a status of 0 when nothing listens).
CRawAnswer StateJson(unsigned short nPort) {
    return RawRequest(nPort, GetRequest("/state.json"), 3s);
}

std::string Settings(bool bShare, int nLivePort) {
    return SettingsNaming(kPort) + "[LivePage]\nShare=" + (bShare ? "1" : "0") + "\nPort=" + std::to_string(nLivePort) +
           "\n";
}

// The addresses the dialog lists for a port: each of this computer's addresses on its networks.
std::vector<std::string> ExpectedAddresses(int nPort) {
    std::vector<std::string> urls;
    for (const std::string& strAddress : LocalIPv4Addresses())
        urls.push_back(LivePageUrl(strAddress, nPort));
    return urls;
}

std::vector<std::string> ShownAddresses(const CDialogDriver& driver) {
    std::vector<std::string> rows;
    for (int nRow = 0; nRow < driver.ItemCount(IDC_LIVE_ADDRESSES); ++nRow)
        rows.push_back(driver.ItemText(IDC_LIVE_ADDRESSES, nRow, 0));
    return rows;
}

// The modules of a QR code read back from the pixels a picture control shows: the code's square is found by its dark
// pixels (its quiet zone is light, like the control around it), and each module is read at its middle.
std::optional<CMonochromePicture> ModulesShown(const CMonochromePicture& shown, int nModules) {
    int nLeft = shown.cx, nTop = shown.cy, nRight = -1, nBottom = -1;
    for (int y = 0; y < shown.cy; ++y) {
        for (int x = 0; x < shown.cx; ++x) {
            if (shown.IsDark(x, y)) {
                nLeft = std::min(nLeft, x);
                nRight = std::max(nRight, x);
                nTop = std::min(nTop, y);
                nBottom = std::max(nBottom, y);
            }
        }
    }
    const int nInner = nModules - 2 * CQrCode::kQuietZone; // the dark part spans the code without its quiet zone
    if (nRight < 0 || nInner <= 0 || (nRight - nLeft + 1) % nInner != 0 || nRight - nLeft != nBottom - nTop)
        return std::nullopt;
    const int nSquare = (nRight - nLeft + 1) / nInner;
    CMonochromePicture modules;
    modules.cx = nModules;
    modules.cy = nModules;
    for (int my = 0; my < nModules; ++my) {
        for (int mx = 0; mx < nModules; ++mx) {
            const int x = nLeft + (mx - CQrCode::kQuietZone) * nSquare + nSquare / 2;
            const int y = nTop + (my - CQrCode::kQuietZone) * nSquare + nSquare / 2;
            modules.dark.push_back(x >= 0 && y >= 0 && x < shown.cx && y < shown.cy && shown.IsDark(x, y));
        }
    }
    return modules;
}

// Types a port into the dialog's port field, which the program empties first (typing goes where the caret is).
bool TypePort(CDialog& dialog, CDialogDriver& driver, const std::string& strPort) {
    dialog.GetDlgItem(IDC_LIVE_PORT)->SetWindowText("");
    return driver.Type(IDC_LIVE_PORT, strPort) || strPort.empty();
}

// The Live Page dialog over its own server, on the screen, with its driver; the files of one test around it.
struct CLivePageBench : CDialogFiles {
    explicit CLivePageBench(const std::string& strSettings, std::initializer_list<const char*> resources = {})
        : CDialogFiles(strSettings, resources) {}
    CLiveServer server;
};

class LivePageDlg : public testing::Test {
protected:
    void TearDown() override { LoadLanguage("none-loaded"); }
};

const char* const kNoStartList = "(none: the page shows start numbers without names)";

// The open question answered with a path, for as long as it lives.
class COpenAnswer {
public:
    explicit COpenAnswer(std::string strPath)
        : m_previous(SetOpenQuestionHook([strPath](const COpenQuestion&) { return std::optional(strPath); })) {}
    ~COpenAnswer() { SetOpenQuestionHook(std::move(m_previous)); }
    COpenAnswer(const COpenAnswer&) = delete;
    COpenAnswer& operator=(const COpenAnswer&) = delete;

private:
    OpenQuestionHook m_previous;
};

// The file types as a dialog lists them, with Qt's blanks between several patterns as Windows's ";".
std::vector<std::string> PatternsAsWindowsLists(std::vector<std::string> filters) {
    for (std::string& strFilter : filters) {
        const std::size_t nOpen = strFilter.rfind('(');
        if (nOpen != std::string::npos)
            std::replace(strFilter.begin() + static_cast<long>(nOpen), strFilter.end(), ' ', ';');
    }
    return filters;
}

// ---- opening it

TEST_F(LivePageDlg, TheButtonAndTheMenuEntryOpenIt) {
    CDialogFiles files(SettingsNaming(kPort));
    CMainConsoleDlg window;
    CDialogDriver driver(window);
    window.Create();
    // In the tab order the button comes after Slave and right before Port Settings.
    ASSERT_TRUE(driver.Focus(IDC_SLAVE));
    ASSERT_TRUE(driver.Key(0, EKey::Tab));
    EXPECT_EQ(driver.FocusId(), IDC_LIVE_PAGE);
    ASSERT_TRUE(driver.Key(0, EKey::Tab));
    EXPECT_EQ(driver.FocusId(), IDC_PORT_SETTINGS);
    ASSERT_TRUE(driver.Key(0, EKey::BackTab));
    EXPECT_EQ(driver.FocusId(), IDC_LIVE_PAGE);

    const auto entries = driver.MenuEntries();
    const auto entry = std::find_if(entries.begin(), entries.end(), [](const CDialogDriver::CMenuEntry& candidate) {
        return candidate.strText == "&Live Page...";
    });
    ASSERT_NE(entry, entries.end());
    EXPECT_EQ(entry->nCommandId, IDM_LIVE_PAGE);

    const std::vector<std::function<bool()>> ways = {[&] { return driver.Click(IDC_LIVE_PAGE); },
                                                     [&] {
                                                         return driver.ChooseMenuEntry(IDM_LIVE_PAGE);
                                                     }};
    for (const auto& open : ways) {
        int nTemplate = 0;
        std::string strTitle;
        driver.WhenDialogOpens([&](CDialog& opened) {
            nTemplate = opened.TemplateId();
            strTitle = CDialogDriver(opened).Title();
            opened.EndDialog(IDCANCEL);
        });
        ASSERT_TRUE(open());
        EXPECT_EQ(nTemplate, IDD_LIVE_PAGE);
        EXPECT_EQ(strTitle, "Live Page");
        EXPECT_FALSE(window.IsEnded());
    }
}

TEST_F(LivePageDlg, ItsTextsComeInTheWindowsLanguage) {
    CDialogFiles files(SettingsNaming(kPort, {}, "Deutsch"), {"identifiers.ini", "lng_English.ini", "lng_Deutsch.ini"});
    CMainConsoleDlg window;
    CDialogDriver driver(window);
    window.Create();
    EXPECT_EQ(driver.Text(IDC_LIVE_PAGE), "Live-Seite");
    const auto entries = driver.MenuEntries();
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const CDialogDriver::CMenuEntry& candidate) {
        return candidate.strText == "&Live-Seite..." && candidate.nCommandId == IDM_LIVE_PAGE;
    }));
    std::string strTitle, strShare, strState, strStartList, strNoStartList, strField;
    driver.WhenDialogOpens([&](CDialog& opened) {
        const CDialogDriver dialog(opened);
        strTitle = dialog.Title();
        strShare = dialog.Text(IDC_LIVE_SHARE);
        strState = dialog.Text(IDC_LIVE_STATE);
        strStartList = dialog.Text(IDC_START_LIST);
        strNoStartList = dialog.Text(IDC_NO_START_LIST);
        strField = dialog.Text(IDC_START_LIST_FILE);
        opened.EndDialog(IDCANCEL);
    });
    ASSERT_TRUE(driver.Click(IDC_LIVE_PAGE));
    EXPECT_EQ(strTitle, "Live-Seite");
    EXPECT_EQ(strShare, "Live-Seite in diesem Netzwerk &freigeben");
    EXPECT_EQ(strState, "Nicht freigegeben.");
    EXPECT_EQ(strStartList, "Start&liste...");
    EXPECT_EQ(strNoStartList, "&Keine Startliste");
    EXPECT_EQ(strField, "(keine: die Seite zeigt Startnummern ohne Namen)");
}

// ---- sharing

TEST_F(LivePageDlg, TheCheckBoxStartsAndStopsServingAndTheFileKeepsTheChoice) {
    const unsigned short nPort = FreePort();
    ASSERT_NE(nPort, 0);
    CLivePageBench bench("[System]\nLanguage=English\n; kept as it is\n");
    CLivePageDlg dialog(bench.server);
    CDialogDriver driver(dialog);
    dialog.Create();
    EXPECT_FALSE(driver.IsChecked(IDC_LIVE_SHARE));
    EXPECT_EQ(driver.Text(IDC_LIVE_PORT), "8080"); // the default, from no setting
    EXPECT_EQ(driver.Text(IDC_LIVE_STATE), "Not shared.");
    EXPECT_EQ(driver.ItemCount(IDC_LIVE_ADDRESSES), 0);
    EXPECT_EQ(driver.Text(IDC_LIVE_VIEWERS), "0");

    ASSERT_TRUE(TypePort(dialog, driver, std::to_string(nPort)));
    ASSERT_TRUE(driver.Click(IDC_LIVE_SHARE));
    EXPECT_TRUE(driver.IsChecked(IDC_LIVE_SHARE));
    EXPECT_TRUE(bench.server.IsRunning());
    EXPECT_EQ(bench.server.Port(), nPort);
    EXPECT_EQ(StateJson(nPort).m_nStatus, 200);
    EXPECT_EQ(driver.Text(IDC_LIVE_STATE), "Shared.");
    EXPECT_FALSE(driver.IsEnabled(IDC_LIVE_PORT)); // the port moves only while the page is not shared
    const std::vector<std::string> expected = ExpectedAddresses(nPort);
    if (expected.empty())
        EXPECT_EQ(ShownAddresses(driver), std::vector<std::string>{"(no network)"});
    else
        EXPECT_EQ(ShownAddresses(driver), expected);
    EXPECT_EQ(bench.Read("config.ini"),
              "[System]\nLanguage=English\n; kept as it is\n[LivePage]\nShare=1\nPort=" + std::to_string(nPort) + "\n");

    ASSERT_TRUE(driver.Click(IDC_LIVE_SHARE));
    EXPECT_FALSE(driver.IsChecked(IDC_LIVE_SHARE));
    EXPECT_FALSE(bench.server.IsRunning());
    EXPECT_EQ(StateJson(nPort).m_nStatus, 0);
    EXPECT_EQ(driver.Text(IDC_LIVE_STATE), "Not shared.");
    EXPECT_EQ(driver.ItemCount(IDC_LIVE_ADDRESSES), 0);
    EXPECT_TRUE(driver.IsEnabled(IDC_LIVE_PORT));
    EXPECT_EQ(bench.Read("config.ini"),
              "[System]\nLanguage=English\n; kept as it is\n[LivePage]\nShare=0\nPort=" + std::to_string(nPort) + "\n");
    EXPECT_EQ(bench.Messages(), std::vector<std::string>{});
}

TEST_F(LivePageDlg, APortItCannotHaveGivesItsMessageAndLeavesTheBoxClear) {
    CLiveServer other; // another program on the port
    ASSERT_TRUE(other.Start("", 0).m_bOk);
    const std::string strTaken = std::to_string(other.Port());
    const struct {
        std::string typed;
        std::string message;
    } rows[] = {
        {strTaken, "Port " + strTaken + " is in use by another program. Choose another port and share again."},
        {"0", "Port 0 may not be used here. Choose a port from 1024 to 65535."},
        {"65536", "Port 65536 may not be used here. Choose a port from 1024 to 65535."},
        {"", "Port  may not be used here. Choose a port from 1024 to 65535."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.typed);
        CLivePageBench bench(SettingsNaming(kPort, {}, "English") + "[LivePage]\nShare=0\nPort=8080\n",
                             {"identifiers.ini", "lng_English.ini"});
        const std::string strBefore = bench.Read("config.ini").value_or("");
        LoadLanguage("English");
        CLivePageDlg dialog(bench.server);
        CDialogDriver driver(dialog);
        dialog.Create();
        ASSERT_TRUE(TypePort(dialog, driver, row.typed));
        EXPECT_EQ(driver.Text(IDC_LIVE_PORT), row.typed);
        ASSERT_TRUE(driver.Click(IDC_LIVE_SHARE));
        EXPECT_EQ(bench.Messages(), std::vector<std::string>{row.message});
        EXPECT_FALSE(driver.IsChecked(IDC_LIVE_SHARE));
        EXPECT_FALSE(bench.server.IsRunning());
        EXPECT_TRUE(driver.IsEnabled(IDC_LIVE_PORT));
        EXPECT_EQ(driver.Text(IDC_LIVE_STATE), "Not shared.");
        EXPECT_EQ(bench.Read("config.ini"), strBefore);
    }
    EXPECT_TRUE(other.IsRunning()); // the other program keeps its port
}

TEST_F(LivePageDlg, TheChoiceComesBackAtTheNextStart) {
    const unsigned short nPort = FreePort();
    ASSERT_NE(nPort, 0);
    CDialogFiles files(Settings(false, 8080));
    {
        CMainConsoleDlg window;
        CDialogDriver driver(window);
        window.Create();
        EXPECT_EQ(StateJson(nPort).m_nStatus, 0);
        driver.WhenDialogOpens([&](CDialog& opened) {
            CDialogDriver dialog(opened);
            TypePort(opened, dialog, std::to_string(nPort));
            dialog.Click(IDC_LIVE_SHARE);
            opened.EndDialog(IDCANCEL);
        });
        ASSERT_TRUE(driver.Click(IDC_LIVE_PAGE));
        EXPECT_EQ(StateJson(nPort).m_nStatus, 200); // the window serves on after the dialog has closed
        window.EndDialog(IDOK);
    }
    EXPECT_EQ(StateJson(nPort).m_nStatus, 0); // and stops with the window
    EXPECT_EQ(ReadLivePageSettings(files.Dir().File("config.ini")), (CLivePageSettings{true, nPort}));

    // The next start shares at once, and the dialog shows it so.
    CMainConsoleDlg window;
    CDialogDriver driver(window);
    window.Create();
    EXPECT_EQ(StateJson(nPort).m_nStatus, 200);
    bool bChecked = false;
    std::string strPort;
    driver.WhenDialogOpens([&](CDialog& opened) {
        CDialogDriver dialog(opened);
        bChecked = dialog.IsChecked(IDC_LIVE_SHARE);
        strPort = dialog.Text(IDC_LIVE_PORT);
        dialog.Click(IDC_LIVE_SHARE); // and off again, for the start after this one
        opened.EndDialog(IDCANCEL);
    });
    ASSERT_TRUE(driver.Click(IDC_LIVE_PAGE));
    EXPECT_TRUE(bChecked);
    EXPECT_EQ(strPort, std::to_string(nPort));
    EXPECT_EQ(StateJson(nPort).m_nStatus, 0);
    EXPECT_EQ(ReadLivePageSettings(files.Dir().File("config.ini")), (CLivePageSettings{false, nPort}));
}

TEST_F(LivePageDlg, AStartWhosePortIsTakenSharesNothingAndSaysNothing) {
    CLiveServer other;
    ASSERT_TRUE(other.Start("", 0).m_bOk);
    CDialogFiles files(Settings(true, other.Port()));
    CMainConsoleDlg window;
    CDialogDriver driver(window);
    window.Create();
    EXPECT_EQ(files.Messages(), std::vector<std::string>{});
    bool bChecked = true;
    driver.WhenDialogOpens([&](CDialog& opened) {
        bChecked = CDialogDriver(opened).IsChecked(IDC_LIVE_SHARE);
        opened.EndDialog(IDCANCEL);
    });
    ASSERT_TRUE(driver.Click(IDC_LIVE_PAGE));
    EXPECT_FALSE(bChecked);
}

// A training session (kalvora-training.exe) shares the page as the user's config.ini says, and keeps a change made
// during the session in its own copy.
TEST_F(LivePageDlg, ATrainingSessionSharesByTheUsersChoiceAndKeepsItsChangesToItself) {
    const unsigned short nPort = FreePort();
    ASSERT_NE(nPort, 0);
    CDialogFiles files(Settings(true, nPort));
    const std::string strUserFile = files.Read("config.ini").value_or("");
    {
        CSessionSettings session(kPort);
        ASSERT_TRUE(session.IsInForce());
        CMainConsoleDlg window;
        CDialogDriver driver(window);
        window.Create();
        EXPECT_EQ(StateJson(nPort).m_nStatus, 200);
        driver.WhenDialogOpens([&](CDialog& opened) {
            CDialogDriver(opened).Click(IDC_LIVE_SHARE);
            opened.EndDialog(IDCANCEL);
        });
        ASSERT_TRUE(driver.Click(IDC_LIVE_PAGE));
        EXPECT_EQ(StateJson(nPort).m_nStatus, 0);
        EXPECT_EQ(ReadLivePageSettings(GetConfigPath()), (CLivePageSettings{false, nPort}));
    }
    EXPECT_EQ(files.Read("config.ini"), strUserFile);
}

// ---- what the dialog shows while the page is shared

TEST_F(LivePageDlg, TheViewerCountFollowsTheViewers) {
    const unsigned short nPort = FreePort();
    ASSERT_NE(nPort, 0);
    CLivePageBench bench(Settings(false, nPort));
    CLivePageDlg dialog(bench.server);
    CDialogDriver driver(dialog);
    dialog.Create();
    ASSERT_TRUE(driver.Click(IDC_LIVE_SHARE));
    ASSERT_TRUE(bench.server.IsRunning());
    std::vector<std::unique_ptr<CRawConnection>> viewers;
    for (const std::string strCount : {"1", "2", "3"}) {
        viewers.push_back(std::make_unique<CRawConnection>());
        ASSERT_TRUE(viewers.back()->Connect(nPort));
        ASSERT_TRUE(viewers.back()->Send(GetRequest("/events")));
        EXPECT_TRUE(CDialogDriver::WaitFor([&] { return driver.Text(IDC_LIVE_VIEWERS) == strCount; }))
            << driver.Text(IDC_LIVE_VIEWERS);
    }
    viewers.clear();
    EXPECT_TRUE(CDialogDriver::WaitFor([&] { return driver.Text(IDC_LIVE_VIEWERS) == "0"; }))
        << driver.Text(IDC_LIVE_VIEWERS);
}

TEST_F(LivePageDlg, TheQrCodeReadsAsTheFirstAddress) {
    const std::vector<std::string> addresses = LocalIPv4Addresses();
    if (addresses.empty())
        GTEST_SKIP() << "this computer has no network address but its loopback";
    const unsigned short nPort = FreePort();
    ASSERT_NE(nPort, 0);
    CLivePageBench bench(Settings(false, nPort));
    CLivePageDlg dialog(bench.server);
    CDialogDriver driver(dialog);
    dialog.Create();
    const CMonochromePicture before = driver.ShownPicture(IDC_LIVE_QR_CODE);
    EXPECT_EQ(std::count(before.dark.begin(), before.dark.end(), true), 0); // blank while the page is not shared
    ASSERT_TRUE(driver.Click(IDC_LIVE_SHARE));
    const std::string strUrl = LivePageUrl(addresses.front(), nPort);
    EXPECT_EQ(driver.ItemText(IDC_LIVE_ADDRESSES, 0, 0), strUrl);

    const CMonochromePicture shown = driver.ShownPicture(IDC_LIVE_QR_CODE);
    ASSERT_FALSE(shown.IsEmpty()) << "this window implementation cannot draw offscreen";
    const auto code = CQrCode::ForText(strUrl);
    ASSERT_TRUE(code);
    const auto modules = ModulesShown(shown, code->Size());
    ASSERT_TRUE(modules) << "no code of whole squares in the picture";
    EXPECT_EQ(modules->dark, code->Modules());

    // A phone's camera reads it (where a reader runs).
    if (WhyNoQrReader().empty()) {
        const std::string strPath = bench.Dir().File("qr.png");
        CDialogDriver::CImage image = driver.Snapshot(IDC_LIVE_QR_CODE);
        ASSERT_TRUE(WritePngFile(strPath, image));
        EXPECT_EQ(ReadQrCodeFile(strPath), strUrl);
    }
    ASSERT_TRUE(driver.Click(IDC_LIVE_SHARE));
    const CMonochromePicture blank = driver.ShownPicture(IDC_LIVE_QR_CODE);
    EXPECT_EQ(std::count(blank.dark.begin(), blank.dark.end(), true), 0);
}

// ---- what the main window publishes

TEST_F(LivePageDlg, TheWindowPublishesWhatItShowsWhileItMonitors) {
    const unsigned short nPort = FreePort();
    ASSERT_NE(nPort, 0);
    CDialogFiles files(Settings(true, nPort));
    CDevicePeer peer(files.Dir().Path(), kPort);
    CMainConsoleDlg window;
    CDialogDriver driver(window);
    window.Create();
    EXPECT_NE(StateJson(nPort).m_strBody.find("\"monitoring\":false"), std::string::npos);

    ASSERT_TRUE(driver.Click(IDC_MONITOR_ON));
    ASSERT_TRUE(peer.Write("0013 ST 10:11:12.345\r  LEAD TIME  0:01:30.25\r"));
    // The unit streams its display line; the lamps show a tick's lines alone, so the window and the page are read
    // together, between two ticks, while the lines come.
    std::string strJson;
    const bool bSeen = CDialogDriver::WaitFor([&] {
        peer.Write("D?     4:59   17 2\r");
        CDialogDriver::Wait(30ms);
        const bool bWindowLit = driver.IconId(IDC_LIGHT_2) == IDI_LAMP_YELLOW &&
                                driver.IconId(IDC_STATUS_LAMP) == IDI_LAMP_GREEN &&
                                driver.Text(IDC_LEAD_TIME) == "0:01:30";
        strJson = StateJson(nPort).m_strBody;
        return bWindowLit && strJson.find("\"lights\":[\"off\",\"yellow\",\"off\"]") != std::string::npos &&
               strJson.find("\"unitAnswers\":true") != std::string::npos;
    });
    EXPECT_TRUE(bSeen) << strJson;
    for (const char* pszPart : {"\"monitoring\":true", "\"large\":\"    4:59\"", "\"small\":\"  17\"",
                                "\"startNumber\":\"12\"", "\"startTime\":\"10:11:12.345\"", "\"leadTime\":\"0:01:30\""})
        EXPECT_NE(strJson.find(pszPart), std::string::npos) << pszPart << " in " << strJson;
    EXPECT_EQ(driver.Text(IDC_DISPLAY_LARGE), "    4:59");
    EXPECT_EQ(driver.Text(IDC_DISPLAY_SMALL), "  17");
    EXPECT_EQ(driver.Text(IDC_START_NUMBER), "12");
    EXPECT_EQ(driver.Text(IDC_LAST_START_TIME), "10:11:12.345");

    ASSERT_TRUE(driver.Click(IDC_MONITOR_OFF));
    EXPECT_NE(StateJson(nPort).m_strBody.find("\"monitoring\":false"), std::string::npos);
}

// ---- the start list

// "Start List..." asks the system's open dialog for a file; the field names the list in use and how many starters
// it holds, config.ini keeps it, and "No Start List" ends it. The real dialog, on every window system.
TEST_F(LivePageDlg, TheStartListButtonOpensAFileAndTheFieldSaysWhichListIsInUse) {
    CLivePageBench bench(SettingsNaming(kPort, {}, "English"), {"identifiers.ini", "lng_English.ini"});
    LoadLanguage("English");
    const std::string strName = "L\xC3\xA4ufe 3.csv"; // "Läufe 3.csv": a blank and a letter beyond ASCII
    bench.Write(strName, "Startnummer;Name;Verein\n17;Anna Berg;OK Skogen\n18;Per Holm;IFK Lund\n19;Eva Lind;\n");
    const std::string strConfig = bench.Dir().File("config.ini");
    CLivePageDlg dialog(bench.server);
    CDialogDriver driver(dialog);
    dialog.Create();
    EXPECT_EQ(driver.Text(IDC_START_LIST_FILE), kNoStartList);
    EXPECT_FALSE(driver.IsEnabled(IDC_NO_START_LIST));

    // Cancelled: nothing changes.
    auto seen = driver.AnswerNextOpenQuestion(bench.Dir().Path(), "");
    ASSERT_TRUE(driver.Click(IDC_START_LIST));
    ASSERT_TRUE(seen->bOpened);
    EXPECT_EQ(seen->strTitle, "Open Start List");
    EXPECT_EQ(PatternsAsWindowsLists(seen->filters),
              (std::vector<std::string>{"Start Lists: IOF XML 3.0, CSV (*.xml;*.csv;*.txt)", "All Files (*)"}));
    EXPECT_EQ(driver.Text(IDC_START_LIST_FILE), kNoStartList);
    EXPECT_EQ(ReadStartListSetting(strConfig), std::nullopt);

    seen = driver.AnswerNextOpenQuestion(bench.Dir().Path(), strName);
    ASSERT_TRUE(driver.Click(IDC_START_LIST));
    ASSERT_TRUE(seen->bOpened);
    EXPECT_EQ(driver.Text(IDC_START_LIST_FILE), "L\xE4ufe 3.csv, 3 starters"); // the field's text as data
    EXPECT_TRUE(driver.IsEnabled(IDC_NO_START_LIST));
    const std::optional<std::string> strKept = ReadStartListSetting(strConfig);
    ASSERT_TRUE(strKept);
    EXPECT_EQ(FileNameOf(*strKept), strName);
    EXPECT_EQ(ReadFileBytes(*strKept), bench.Read(strName)); // the path names the file itself
    EXPECT_EQ(bench.Messages(), std::vector<std::string>{});

    // The question starts at the list in use.
    seen = driver.AnswerNextOpenQuestion(bench.Dir().Path(), "");
    ASSERT_TRUE(driver.Click(IDC_START_LIST));
    EXPECT_NE(seen->strInitialName.find("3.csv"), std::string::npos) << seen->strInitialName;
    EXPECT_EQ(ReadStartListSetting(strConfig), strKept);

    ASSERT_TRUE(driver.Click(IDC_NO_START_LIST));
    EXPECT_EQ(driver.Text(IDC_START_LIST_FILE), kNoStartList);
    EXPECT_FALSE(driver.IsEnabled(IDC_NO_START_LIST));
    EXPECT_EQ(ReadStartListSetting(strConfig), std::nullopt);
    EXPECT_EQ(bench.Messages(), std::vector<std::string>{});
}

// What each file chosen comes to: the list in use with its count, the rows left out told with their lines, a file
// that is no start list told and the list in use kept, a path config.ini cannot keep refused.
TEST_F(LivePageDlg, EachStartListChosenGetsItsOutcome) {
    const std::string strLeftOut = "Bib;Name\n1;Anna\nx1;B\nx2;C\n2;Per\nx3;D\nx4;E\nx5;F\nx6;G\nx7;H\n";
    const std::string strBefore = "before.csv, 2 starters";
    struct CRow {
        const char* pszWhat;
        std::string name;                    // the file chosen, in the test's folder
        std::optional<std::string> contents; // nothing: no such file
        std::string field;                   // the field afterwards
        std::vector<std::string> messages;   // "%1" stands for the path chosen
        bool bNowInUse;
    };
    const std::vector<CRow> rows{
        {"one starter", "one.csv", "Bib;Name\n7;Anna\n", "one.csv, 1 starter", {}, true},
        {"rows left out",
         "left.csv",
         strLeftOut,
         "left.csv, 2 starters, rows left out: 7",
         {"The start list %1 is in use. These rows of it were left out:\n"
          "line 3: start number \"x1\" is not a number from 0 to 9999\n"
          "line 4: start number \"x2\" is not a number from 0 to 9999\n"
          "line 6: start number \"x3\" is not a number from 0 to 9999\n"
          "line 7: start number \"x4\" is not a number from 0 to 9999\n"
          "line 8: start number \"x5\" is not a number from 0 to 9999\n"
          "... and 2 more"},
         true},
        {"an empty file", "empty.csv", "", strBefore, {"The start list %1 cannot be read: the file is empty."}, false},
        {"no such file",
         "gone.csv",
         std::nullopt,
         strBefore,
         {"The start list %1 cannot be read: there is no such file."},
         false},
        {"a path config.ini cannot keep",
         std::string(210, 'n') + ".csv",
         std::nullopt,
         strBefore,
         {"The start list's path is longer than the 199 characters config.ini can keep. Move the file into a folder "
          "with a shorter path and choose it again."},
         false},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszWhat);
        CLivePageBench bench(SettingsNaming(kPort, {}, "English"), {"identifiers.ini", "lng_English.ini"});
        LoadLanguage("English");
        bench.Write("before.csv", "Bib;Name\n1;Anna\n2;Per\n");
        const std::string strConfig = bench.Dir().File("config.ini");
        ASSERT_TRUE(WriteStartListSetting(strConfig, bench.Dir().File("before.csv")));
        if (row.contents)
            bench.Write(row.name, *row.contents);
        const std::string strChosen = bench.Dir().File(row.name);
        const COpenAnswer answer(strChosen);
        CLivePageDlg dialog(bench.server);
        CDialogDriver driver(dialog);
        dialog.Create();
        EXPECT_EQ(driver.Text(IDC_START_LIST_FILE), strBefore);
        ASSERT_TRUE(driver.Click(IDC_START_LIST));
        EXPECT_EQ(driver.Text(IDC_START_LIST_FILE), row.field);
        std::vector<std::string> messages;
        for (const std::string& strMessage : row.messages)
            messages.push_back(FillInMessage(strMessage, strChosen));
        EXPECT_EQ(bench.Messages(), messages);
        EXPECT_EQ(ReadStartListSetting(strConfig), row.bNowInUse ? strChosen : bench.Dir().File("before.csv"));
        EXPECT_TRUE(driver.IsEnabled(IDC_NO_START_LIST));
    }
}

// A list config.ini names that cannot be read when the dialog opens: the field says why, and "No Start List" ends it.
TEST_F(LivePageDlg, AListThatCannotBeReadAnyMoreIsShownWithItsReason) {
    CLivePageBench bench(SettingsNaming(kPort, {}, "English"), {"identifiers.ini", "lng_English.ini"});
    LoadLanguage("English");
    ASSERT_TRUE(WriteStartListSetting(bench.Dir().File("config.ini"), bench.Dir().File("moved.xml")));
    CLivePageDlg dialog(bench.server);
    CDialogDriver driver(dialog);
    dialog.Create();
    EXPECT_EQ(driver.Text(IDC_START_LIST_FILE), "moved.xml cannot be read: there is no such file");
    ASSERT_TRUE(driver.Click(IDC_NO_START_LIST));
    EXPECT_EQ(driver.Text(IDC_START_LIST_FILE), kNoStartList);
    EXPECT_EQ(bench.Messages(), std::vector<std::string>{});
}

// The window names the starters of the start list config.ini names, and of one the Live Page dialog chooses at once,
// while it monitors; and the unit's clock from a start line.
TEST_F(LivePageDlg, TheWindowPublishesTheStartersAndTheUnitsClock) {
    const unsigned short nPort = FreePort();
    ASSERT_NE(nPort, 0);
    CDialogFiles files(Settings(true, nPort));
    files.Write("a.csv", "Startnummer;Vorname;Nachname;Verein;Klasse;Startzeit\n"
                         "17;Anna;Berg;OK Skogen;D21;10:15:00\n18;Per;Holm;IFK Lund;H35;10:16:00\n"
                         "19;Eva;Lind;;D21;10:17:00\n20;Ida;Sund;OK Skogen;D35;10:18:00\n21;Bo;Ek;;H21;10:19:00\n");
    files.Write("b.csv", "Bib;Name;Club\n17;Kari Nordmann;IL Tyrving\n");
    ASSERT_TRUE(WriteStartListSetting(files.Dir().File("config.ini"), files.Dir().File("a.csv")));
    CDevicePeer peer(files.Dir().Path(), kPort);
    CMainConsoleDlg window;
    CDialogDriver driver(window);
    window.Create();
    ASSERT_TRUE(driver.Click(IDC_MONITOR_ON));

    // The page shows what the window has: a display line at each turn, until the page has the part looked for.
    const auto pageShows = [&](const std::string& strPart) {
        std::string strJson;
        const bool bShown = CDialogDriver::WaitFor([&] {
            peer.Write("D?     0:30   17 0\r");
            CDialogDriver::Wait(50ms);
            strJson = StateJson(nPort).m_strBody;
            return strJson.find(strPart) != std::string::npos;
        });
        EXPECT_TRUE(bShown) << strPart << " not in " << strJson;
        return strJson;
    };
    const std::string strJson = pageShows("\"currentStarter\":{\"startNumber\":\"17\",\"name\":\"Anna Berg\","
                                          "\"club\":\"OK Skogen\",\"class\":\"D21\",\"plannedTime\":\"10:15:00\"}");
    EXPECT_NE(strJson.find("\"nextStarters\":[{\"startNumber\":\"18\",\"name\":\"Per Holm\",\"club\":\"IFK Lund\","
                           "\"class\":\"H35\",\"plannedTime\":\"10:16:00\"},{\"startNumber\":\"19\""),
              std::string::npos)
        << strJson;
    EXPECT_NE(strJson.find("{\"startNumber\":\"20\""), std::string::npos) << strJson;
    EXPECT_EQ(strJson.find("{\"startNumber\":\"21\""), std::string::npos) << strJson; // three after them
    EXPECT_NE(strJson.find("\"clockOffsetSeconds\":null"), std::string::npos) << strJson;

    // A start line on a quiet line, its time the computer's less 0.62 s and less the line's own time at the
    // window's 2400 baud (21 bytes of 10 bits): the unit's clock is 0.62 s behind.
    CDialogDriver::Wait(300ms);
    const WallTime unitNow = std::chrono::system_clock::now() - 620ms - 87ms;
    const CLocalTime local = LocalTimeOf(unitNow);
    char szLine[32];
    std::snprintf(szLine, sizeof szLine, "0018 ST  %02d:%02d:%02d.%02d\r", local.m_nHour, local.m_nMinute,
                  local.m_nSecond, local.m_nMillisecond / 10);
    ASSERT_TRUE(peer.Write(szLine));
    std::optional<double> offset;
    std::string strState;
    EXPECT_TRUE(CDialogDriver::WaitFor([&] {
        strState = StateJson(nPort).m_strBody;
        const std::size_t nAt = strState.find("\"clockOffsetSeconds\":-");
        if (nAt != std::string::npos)
            offset = std::stod(strState.substr(nAt + 21));
        return offset.has_value();
    })) << strState;
    if (offset) {
        EXPECT_NEAR(*offset, -0.62, 0.05) << strState;
    }
    EXPECT_NE(driver.Tip(IDC_PC_TIME).find("behind this computer: Set PC Time"), std::string::npos)
        << driver.Tip(IDC_PC_TIME);

    // Another list, chosen in the Live Page dialog while the window monitors, names the starters at once.
    const auto chooseInTheDialog = [&](int nButton) {
        driver.WhenDialogOpens([&](CDialog& opened) {
            CDialogDriver(opened).Click(nButton);
            opened.EndDialog(IDCANCEL);
        });
        return driver.Click(IDC_LIVE_PAGE);
    };
    {
        const COpenAnswer answer(files.Dir().File("b.csv"));
        ASSERT_TRUE(chooseInTheDialog(IDC_START_LIST));
    }
    pageShows("\"currentStarter\":{\"startNumber\":\"17\",\"name\":\"Kari Nordmann\",\"club\":\"IL Tyrving\"");
    EXPECT_EQ(ReadStartListSetting(files.Dir().File("config.ini")), files.Dir().File("b.csv"));
    ASSERT_TRUE(chooseInTheDialog(IDC_NO_START_LIST));
    pageShows("\"currentStarter\":null,\"nextStarters\":[]");
    EXPECT_EQ(files.Messages(), std::vector<std::string>{});
    ASSERT_TRUE(driver.Click(IDC_MONITOR_OFF));
}

// ---- the picture for the documentation

// Only with KALVORA_SCREENSHOT_DIR: the dialog sharing the page with one viewer and a start list in use, into
// <dir>/live-page-dialog.png, or <dir>/live-page-dialog-windows.png under Wine.
TEST_F(LivePageDlg, Screenshot) {
    const std::optional<std::string> strDirectory = ProcessVariable("KALVORA_SCREENSHOT_DIR");
    if (!strDirectory || strDirectory->empty())
        GTEST_SKIP() << "KALVORA_SCREENSHOT_DIR is not set";
    const unsigned short nPort = FreePort();
    ASSERT_NE(nPort, 0);
    CLivePageBench bench(Settings(false, nPort), {"identifiers.ini", "lng_English.ini"});
    LoadLanguage("English");
    bench.Write("cup3-startlist.csv", "Startnummer;Vorname;Nachname;Verein;Klasse;Startzeit\n"
                                      "17;Anna;Berg;OK Skogen;D21;10:15:00\n18;Per;Holm;IFK Lund;H35;10:16:00\n"
                                      "19;Eva;Lind;OK Skogen;D21;10:17:00\n20;Ida;Sund;IFK Lund;D35;10:18:00\n");
    ASSERT_TRUE(WriteStartListSetting(bench.Dir().File("config.ini"), bench.Dir().File("cup3-startlist.csv")));
    CLivePageDlg dialog(bench.server);
    CDialogDriver driver(dialog);
    dialog.Create();
    ASSERT_TRUE(driver.Click(IDC_LIVE_SHARE));
    CRawConnection viewer;
    ASSERT_TRUE(viewer.Connect(nPort));
    ASSERT_TRUE(viewer.Send(GetRequest("/events")));
    CDialogDriver::WaitFor([&] { return driver.Text(IDC_LIVE_VIEWERS) == "1"; });
    const CDialogDriver::CImage image = driver.Snapshot(0);
    ASSERT_FALSE(image.pixels.empty()) << "this window implementation cannot draw the window offscreen";
    EXPECT_TRUE(WritePngFile(
        *strDirectory + (RunsUnderWine() ? "/live-page-dialog-windows.png" : "/live-page-dialog.png"), image));
}

} // namespace
