#include "console/MainConsoleDlg.h"
#include "app/AboutDlg.h"
#include "base/Files.h"
#include "base/TextRules.h"
#include "base/WallClock.h"
#include "i18n/Language.h"
#include "link/SerialLink.h"
#include "res/Resource.h"
#include "tests/support/DevicePeer.h"
#include "tests/support/DeviceSimulator.h"
#include "tests/support/DialogTesting.h"
#include "tests/support/Environment.h"
#include "tests/support/PngFile.h"
#include "window/Controls.h"
#include "window/Dialog.h"
#include "window/DialogDriver.h"
#include "window/MessageBox.h"
#include "window/Resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <iostream>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

// Colours in failure messages as the triples they are.
static void PrintTo(const CColour& colour, std::ostream* pOut) {
    *pOut << "RGB(" << int{colour.r} << ", " << int{colour.g} << ", " << int{colour.b} << ")";
}

namespace {

using SteadyClock = std::chrono::steady_clock;
using SystemClock = std::chrono::system_clock;

constexpr int kPort = 5; // the port every test's settings name; the peer or the simulator answers there
// How long the reader thread gets to queue what the peer wrote before a tick is run by hand.
constexpr auto kQueueTime = 200ms;
// How long the window gets to paint what a tick changed.
constexpr auto kPaintTime = 100ms;
// A timer of the test's own on the window: its ticks come from the window's event queue, between the window's own.
constexpr int kProbeTimer = 20;

// The window with its timer ticks and its state within reach of the tests.
class CConsoleProbe : public CMainConsoleDlg {
public:
    using CMainConsoleDlg::CMainConsoleDlg;
    using CMainConsoleDlg::m_countdownTimes;
    using CMainConsoleDlg::m_link;
    using CMainConsoleDlg::m_nBaudRate;
    using CMainConsoleDlg::m_nCountdownColumn;
    using CMainConsoleDlg::m_nPort;
    using CMainConsoleDlg::m_nProgramRow;

    // A tick as the window's timer gives it; m_afterTick sees each tick after the window has handled it.
    void OnTimer(int nId) override {
        CMainConsoleDlg::OnTimer(nId);
        if (m_afterTick)
            m_afterTick(nId);
    }
    std::function<void(int nId)> m_afterTick;
};

// The window on the screen, with its driver.
struct CShownConsole {
    CShownConsole() { window.Create(); }
    CConsoleProbe window;
    CDialogDriver driver{window};
};

// The files of one test with a recording peer as the device.
struct CPeerBench : CDialogFiles {
    explicit CPeerBench(const std::string& strSettings = SettingsNaming(kPort))
        : CDialogFiles(strSettings), peer(Dir().Path(), kPort) {}
    CDevicePeer peer;
};

using CLights = std::array<int, 3>;
constexpr CLights kDark = {IDI_LAMP_OFF, IDI_LAMP_OFF, IDI_LAMP_OFF};
constexpr CLights kBefore = {IDI_LAMP_YELLOW, IDI_LAMP_YELLOW, IDI_LAMP_YELLOW}; // set before a tick
constexpr CLights kRedLight = {IDI_LAMP_RED, IDI_LAMP_OFF, IDI_LAMP_OFF};
constexpr CLights kYellowLight = {IDI_LAMP_OFF, IDI_LAMP_YELLOW, IDI_LAMP_OFF};
constexpr CLights kGreenLight = {IDI_LAMP_OFF, IDI_LAMP_OFF, IDI_LAMP_GREEN};

CLights Lights(const CDialogDriver& driver) {
    return {driver.IconId(IDC_LIGHT_1), driver.IconId(IDC_LIGHT_2), driver.IconId(IDC_LIGHT_3)};
}

int Lamp(const CDialogDriver& driver) {
    return driver.IconId(IDC_STATUS_LAMP);
}

std::string Selected(const CDialogDriver& driver, int nId) {
    const int nSelected = driver.Selection(nId);
    return nSelected < 0 ? "<none>" : driver.Entries(nId).at(static_cast<std::size_t>(nSelected));
}

int IndexOf(const CDialogDriver& driver, int nId, const std::string& strEntry) {
    const auto entries = driver.Entries(nId);
    const auto found = std::find(entries.begin(), entries.end(), strEntry);
    return found == entries.end() ? -1 : static_cast<int>(found - entries.begin());
}

// Selects an entry as the program does: no notification reaches the window.
void SelectByProgram(CDialog& window, const CDialogDriver& driver, int nId, const std::string& strEntry) {
    window.Control<CComboBox>(nId).SetCurSel(IndexOf(driver, nId, strEntry));
}

void SetText(CDialog& window, int nId, const std::string& strText) {
    window.GetDlgItem(nId)->SetWindowText(strText);
}

void SetIcons(CDialog& window, std::initializer_list<int> ids, int nIconId) {
    for (const int nId : ids)
        window.Control<CStatic>(nId).SetIcon(nIconId);
}

long long MillisecondsSince(SteadyClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
}

std::string WithoutColons(std::string strText) {
    std::erase(strText, ':');
    return strText;
}

std::string Trimmed(const std::string& strText) {
    return std::string(TrimBlanks(strText));
}

// The computer's local time of day at that second, as a clock shows it (the platform's calendar, our own format).
std::string LocalClockText(SystemClock::time_point moment) {
    const std::time_t nSecond = SystemClock::to_time_t(std::chrono::floor<std::chrono::seconds>(moment));
    std::tm local{};
    int nUtcOffsetMinutes = 0;
    if (!LocalCalendarOf(nSecond, local, nUtcOffsetMinutes))
        return "no local time";
    char szText[16] = {};
    std::strftime(szText, sizeof szText, "%H:%M:%S", &local);
    return szText;
}

bool IsClockText(const std::string& strText) {
    static const std::regex kClock("^([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]$");
    return std::regex_match(strText, kClock);
}

// An "S?" line: display fields at columns 3-10 and 12-15, light state 17, program 18-19, countdown time 21-24,
// brightness 26.
std::string CurrentValuesLine(const std::string& large, const std::string& small, const std::string& light,
                              const std::string& program, const std::string& time, const std::string& brightness) {
    return "S? " + large + " " + small + " " + light + program + " " + time + " " + brightness;
}

// A "D?" line: display fields at columns 3-10 and 12-15, light state 17.
std::string DisplayLine(const std::string& large, const std::string& small, const std::string& light) {
    return "D? " + large + " " + small + " " + light;
}

// Whether another link can have the port now (the window's link holds it exclusively while open).
bool PortIsFree() {
    CSerialLink other;
    const bool bOpened = other.Open(kPort, 2400);
    other.Close();
    return bOpened;
}

// The buttons that monitoring disables.
const std::vector<int> kCommandButtons = {IDC_MONITOR_ON,
                                          IDC_READ_MEMORY,
                                          IDC_PORT_SETTINGS,
                                          IDC_GET_CURRENT_VALUES,
                                          IDC_CONFIGURE_PARAMETERS,
                                          IDC_SET_BRIGHTNESS,
                                          IDC_SET_PROGRAM,
                                          IDC_SET_COUNTDOWN_NUMBER,
                                          IDC_MASTER,
                                          IDC_SLAVE,
                                          IDC_SET_PC_TIME};

class MainConsoleDlg : public testing::Test {
protected:
    void TearDown() override { LoadLanguage("none-loaded"); }
};

// ---- start-up

TEST_F(MainConsoleDlg, StartsWithTheDefaultsWithoutSettings) {
    CDialogFiles bench;
    CShownConsole console;
    auto& [window, driver] = console;
    EXPECT_EQ(driver.Title(), "Kalvora v1.4");
    EXPECT_EQ(Selected(driver, IDC_PROGRAM), "P1");
    EXPECT_EQ(Selected(driver, IDC_COUNTDOWN_NUMBER), "CD0");
    EXPECT_EQ(driver.Text(IDC_COUNTDOWN_TIME), "0:00");
    EXPECT_EQ(driver.Text(IDC_BRIGHTNESS), "9");
    EXPECT_EQ(window.m_nPort, 7);
    EXPECT_EQ(window.m_nBaudRate, 2400);
    EXPECT_EQ(window.m_nProgramRow, 1);
    EXPECT_EQ(window.m_nCountdownColumn, 1);
    EXPECT_EQ(driver.Text(IDC_MONITOR_ON), "On");
    EXPECT_EQ(driver.Text(IDC_GROUP_MONITOR), "Real Time Monitor");
    EXPECT_EQ(driver.FocusId(), IDC_MONITOR_ON);
    EXPECT_TRUE(driver.IsShown());
    EXPECT_TRUE(bench.Boxes().Entries().empty()); // the port stays closed: nothing to report
    EXPECT_FALSE(window.m_link.IsOpen());

    // Lists, spin and lamps.
    EXPECT_EQ(driver.Entries(IDC_PROGRAM), (std::vector<std::string>{"P0", "P1", "P2", "P3", "P4", "P5", "P60", "P61",
                                                                     "P62", "P63", "P64", "P7", "P8"}));
    EXPECT_EQ(driver.Entries(IDC_COUNTDOWN_NUMBER),
              (std::vector<std::string>{"CD0", "CD1", "CD2", "CD3", "CD4", "CD5", "CD6", "CD7", "CD8", "CD9"}));
    const auto& spin = window.Control<CSpinButtonCtrl>(IDC_BRIGHTNESS_SPIN);
    int nLower = -1;
    int nUpper = -1;
    spin.GetRange(nLower, nUpper);
    EXPECT_EQ(nLower, 0);
    EXPECT_EQ(nUpper, 9);
    EXPECT_EQ(spin.GetPos(), 9);
    EXPECT_EQ(Lamp(driver), IDI_LAMP_OFF);
    EXPECT_EQ(Lights(driver), kDark);
    EXPECT_TRUE(driver.Look(IDC_COUNTDOWN_TIME).bReadOnly);

    // The clock fills 1033 at its first tick, a second after start-up.
    EXPECT_EQ(driver.Text(IDC_PC_TIME), "");
    EXPECT_TRUE(driver.WaitFor([&] { return IsClockText(driver.Text(IDC_PC_TIME)); }, 3s)) << driver.Text(IDC_PC_TIME);
}

TEST_F(MainConsoleDlg, DisplaysAreGreenAndRedOnBlackInTheDisplayFont) {
    CDialogFiles bench(SettingsNaming(kPort));
    CShownConsole console;
    auto& [window, driver] = console;
    // What the display font and the dialog's own font make of a control: the same controls of a dialog from the
    // same template, the displays given the display font and nothing else.
    const CFont font = DisplayFont();
    CDialog plain(IDD_MAIN_CONSOLE);
    plain.GetDlgItem(IDC_DISPLAY_LARGE)->SetFont(font);
    plain.GetDlgItem(IDC_DISPLAY_SMALL)->SetFont(font);
    const CDialogDriver plainDriver(plain);

    constexpr CColour kBlack = RGB(0, 0, 0);
    const struct {
        int nId;
        CColour text;
    } displays[] = {{IDC_DISPLAY_LARGE, RGB(0, 255, 0)}, {IDC_DISPLAY_SMALL, RGB(255, 0, 0)}};
    for (const auto& display : displays) {
        SCOPED_TRACE(display.nId);
        const CDialogDriver::CLook look = driver.Look(display.nId);
        const CDialogDriver::CLook expected = plainDriver.Look(display.nId);
        EXPECT_EQ(look.textColour, display.text);
        EXPECT_EQ(look.backColour, kBlack);
        EXPECT_EQ(look.strFontFace, expected.strFontFace);
        EXPECT_EQ(look.nFontPixels, expected.nFontPixels);
        EXPECT_EQ(look.bItalic, expected.bItalic);
        EXPECT_GT(look.nFontPixels, 0);
        EXPECT_TRUE(look.strFontFace.starts_with("DS-Digital") || look.strFontFace.starts_with("DSEG7"))
            << look.strFontFace;
    }
    // Every other control keeps the system's colours and the dialog's font.
    const CDialogDriver::CLook startTime = driver.Look(IDC_LAST_START_TIME);
    const CDialogDriver::CLook plainStartTime = plainDriver.Look(IDC_LAST_START_TIME);
    EXPECT_NE(startTime.backColour, kBlack);
    EXPECT_EQ(startTime.textColour, plainStartTime.textColour);
    EXPECT_EQ(startTime.backColour, plainStartTime.backColour);
    EXPECT_EQ(startTime.strFontFace, plainStartTime.strFontFace);
    EXPECT_EQ(startTime.nFontPixels, plainStartTime.nFontPixels);

    // Seen on the screen: the large display's pixels are black with green text.
    SetText(window, IDC_DISPLAY_LARGE, "88888888");
    const CDialogDriver::CImage image = driver.Snapshot(IDC_DISPLAY_LARGE);
    if (image.pixels.empty())
        GTEST_SKIP() << "this window implementation cannot draw a control offscreen: no pixels to look at";
    int nBlack = 0;
    int nGreen = 0;
    for (int y = 3; y < image.cy - 3; ++y) {
        for (int x = 3; x < image.cx - 3; ++x) {
            const CColour pixel = image.At(x, y);
            nBlack += pixel == kBlack;
            nGreen += pixel.g > 200 && pixel.r < 60 && pixel.b < 60;
        }
    }
    EXPECT_GT(nBlack, image.cx * image.cy / 3);
    EXPECT_GT(nGreen, 20);
}

TEST_F(MainConsoleDlg, StartsWithTheSavedSettings) {
    const struct {
        const char* pszName;
        std::string strSettings;
        int nPort;
        int nBaudRate;
        std::string program;
        std::string countdownNumber;
        std::string countdownTime;
        std::string brightness;
    } rows[] = {
        {"all keys",
         "[Settings]\nCOMPort=2\nBaudrate=2\n[SetValues]\nProgram=7\nCDNumber=4\nCDTime=1:30\nBrightness=5\n", 3, 9600,
         "P61", "CD4", "1:30", "5"},
        {"baud index beyond the list keeps 2400", "[Settings]\nCOMPort=24\nBaudrate=7\n", 25, 2400, "P1", "CD0", "0:00",
         "9"},
        {"positions without an entry leave no selection", "[SetValues]\nProgram=13\nCDNumber=-1\n", 7, 2400, "<none>",
         "<none>", "0:00", "9"},
        {"times and brightness verbatim", "[SetValues]\nCDTime=10:00:00\nBrightness=x\n", 7, 2400, "P1", "CD0",
         "10:00:00", "x"},
        {"empty values count as missing", "[Settings]\nCOMPort=\n[SetValues]\nProgram=\nCDTime=\n", 7, 2400, "P1",
         "CD0", "0:00", "9"},
        {"names in any case; no digits give index 0", "[settings]\ncomport=abc\nBAUDRATE=4\n[setvalues]\nprogram=12\n",
         1, 38400, "P8", "CD0", "0:00", "9"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pszName);
        CDialogFiles bench(row.strSettings);
        bench.Write("P7.txt", "a;b;c;7:00\n");
        CShownConsole console;
        auto& [window, driver] = console;
        EXPECT_EQ(window.m_nPort, row.nPort);
        EXPECT_EQ(window.m_nBaudRate, row.nBaudRate);
        EXPECT_EQ(Selected(driver, IDC_PROGRAM), row.program);
        EXPECT_EQ(Selected(driver, IDC_COUNTDOWN_NUMBER), row.countdownNumber);
        EXPECT_EQ(driver.Text(IDC_COUNTDOWN_TIME), row.countdownTime);
        EXPECT_EQ(driver.Text(IDC_BRIGHTNESS), row.brightness);
        // The selections made by the settings move neither the row nor the column.
        EXPECT_EQ(window.m_nProgramRow, 1);
        EXPECT_EQ(window.m_nCountdownColumn, 1);
        EXPECT_TRUE(bench.Boxes().Entries().empty());
    }
}

TEST_F(MainConsoleDlg, ALanguageReplacesTextsByIdentifier) {
    CDialogFiles bench(SettingsNaming(kPort) + "[System]\nLanguage=Test\n");
    bench.Write("identifiers.ini", "[Identifiers]\nIDD_MAIN=102\nIDC_ON=1000\nIDC_EXIT=1072\nIDC_TIME=1011\n"
                                   "IDC_GROUP=1057\nIDC_LABEL=1066\nIDC_SET=1018\n");
    bench.Write("lng_Test.ini", "[Strings]\nIDD_MAIN=Konsole\nIDC_ON=Ein\nIDC_EXIT=Ende\nIDC_TIME=9:99\n"
                                "IDC_GROUP=Echtzeit\nIDC_LABEL=Countdown\\nNummer\nIDC_SET=?Setzen\n");
    CShownConsole console;
    const CDialogDriver& driver = console.driver;
    EXPECT_EQ(driver.Title(), "Konsole");
    EXPECT_EQ(driver.Text(IDC_MONITOR_ON), "Ein");
    EXPECT_EQ(driver.Text(IDC_EXIT), "Ende");
    EXPECT_EQ(driver.Text(IDC_GROUP_MONITOR), "Echtzeit");
    EXPECT_EQ(driver.Text(IDC_LABEL_COUNTDOWN_NUMBER), "Countdown\nNummer");
    EXPECT_EQ(driver.Text(IDC_COUNTDOWN_TIME), "9:99"); // an edit's contents as well
    EXPECT_EQ(driver.Text(IDC_SET_PROGRAM), "Set");     // a text beginning with "?" is never applied
    EXPECT_EQ(driver.Text(IDC_MONITOR_OFF), "Off");     // no text: the template's stays
}

TEST_F(MainConsoleDlg, AnUnknownLanguageKeepsTheTemplateTexts) {
    CDialogFiles bench(SettingsNaming(kPort) + "[System]\nLanguage=Nowhere\n");
    LoadLanguage("Nowhere"); // nothing from an earlier language may remain either
    CShownConsole console;
    const CDialog plain(IDD_MAIN_CONSOLE);
    EXPECT_EQ(console.driver.Title(), "Kalvora v1.4");
    const auto& controls = console.window.Controls();
    ASSERT_EQ(controls.size(), plain.Controls().size());
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const int nId = controls[i]->GetDlgCtrlID();
        if (nId == IDC_BRIGHTNESS || nId == IDC_COUNTDOWN_TIME || nId == IDC_PC_TIME)
            continue; // filled by the window itself
        EXPECT_EQ(controls[i]->GetWindowText(), plain.Controls()[i]->GetWindowText()) << nId;
    }
}

TEST_F(MainConsoleDlg, TheAboutEntryOpensTheAboutBox) {
    CDialogFiles bench(SettingsNaming(kPort));
    CMainConsoleDlg window(ShowAboutBox);
    CDialogDriver driver(window);
    window.Create();
    const auto entries = driver.MenuEntries();
    const auto entry = std::find_if(entries.begin(), entries.end(), [](const CDialogDriver::CMenuEntry& candidate) {
        return candidate.strText == "&About Kalvora...";
    });
    ASSERT_NE(entry, entries.end());
    int nTemplate = 0;
    driver.WhenDialogOpens([&nTemplate](CDialog& about) {
        nTemplate = about.TemplateId();
        about.EndDialog(IDOK);
    });
    ASSERT_TRUE(driver.ChooseMenuEntry(entry->nCommandId));
    EXPECT_EQ(nTemplate, IDD_ABOUTBOX);
    EXPECT_FALSE(window.IsEnded());
}

// ---- commands and their bytes

TEST_F(MainConsoleDlg, EachButtonWritesItsCommand) {
    const struct {
        const char* pszName;
        int nButton;
        std::string program;
        std::string countdownNumber;
        std::string brightness;
        std::string bytes;
        int nTimer; // started by the handler, still running when it returns
        long long nMinimumMs;
    } rows[] = {
        {"program P60", IDC_SET_PROGRAM, "P60", "CD0", "9", "\x3D\x50\x36\x30\x0D", CMainConsoleDlg::TIMER_ACK, 750},
        {"program P5", IDC_SET_PROGRAM, "P5", "CD0", "9", "\x3D\x50\x35\x0D", CMainConsoleDlg::TIMER_ACK, 750},
        {"countdown CD4", IDC_SET_COUNTDOWN_NUMBER, "P1", "CD4", "9", "\x3D\x43\x34\x0D", CMainConsoleDlg::TIMER_ACK,
         500},
        {"brightness 9", IDC_SET_BRIGHTNESS, "P1", "CD0", "9", "\x3D\x42\x39\x0D", CMainConsoleDlg::TIMER_ACK, 500},
        {"brightness empty", IDC_SET_BRIGHTNESS, "P1", "CD0", "", "\x3D\x42\x0D", CMainConsoleDlg::TIMER_ACK, 500},
        {"brightness 12", IDC_SET_BRIGHTNESS, "P1", "CD0", "12", "\x3D\x42\x31\x32\x0D", CMainConsoleDlg::TIMER_ACK,
         500},
        {"current values", IDC_GET_CURRENT_VALUES, "P1", "CD0", "9", "?S\r", CMainConsoleDlg::TIMER_CURRENT_VALUES,
         750},
        {"master", IDC_MASTER, "P1", "CD0", "9", "=MASTER\r?D\r", CMainConsoleDlg::TIMER_MODE_ACK, 500},
        {"slave", IDC_SLAVE, "P1", "CD0", "9", "=SLAVE\r", CMainConsoleDlg::TIMER_MODE_ACK, 500},
        {"monitoring on", IDC_MONITOR_ON, "P1", "CD0", "9", "?D\r", CMainConsoleDlg::TIMER_MONITOR, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pszName);
        CPeerBench bench;
        CShownConsole console;
        auto& [window, driver] = console;
        SelectByProgram(window, driver, IDC_PROGRAM, row.program);
        SelectByProgram(window, driver, IDC_COUNTDOWN_NUMBER, row.countdownNumber);
        SetText(window, IDC_BRIGHTNESS, row.brightness);

        const auto start = SteadyClock::now();
        ASSERT_TRUE(driver.Click(row.nButton));
        EXPECT_GE(MillisecondsSince(start), row.nMinimumMs - 20);
        EXPECT_TRUE(window.IsTimerRunning(row.nTimer));
        EXPECT_TRUE(bench.Boxes().Entries().empty());
        EXPECT_EQ(bench.peer.ReadFor(150ms), row.bytes);
    }
}

// The unit and config.ini are 8-bit: a byte read from the file is shown as one character and goes out to the unit
// as that same byte, whatever it is. Read back as data, a field gives the bytes it was given only when each byte
// was one character: the two bytes of a UTF-8 letter taken as one letter would come back as one byte.
TEST_F(MainConsoleDlg, EightBitTextGoesOutAsItCameIn) {
    const struct {
        const char* pszName;
        std::string bytes; // as config.ini holds them
    } rows[] = {
        {"Latin-1 e acute", "\xE9"},
        {"degree sign and digit", "9\xB0"},
        {"the two bytes of a UTF-8 letter stay two characters", "\xC3\xA9"},
        {"plain digits", "7"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pszName);
        CPeerBench bench(SettingsNaming(kPort) + "[SetValues]\nBrightness=" + row.bytes + "\nCDTime=" + row.bytes +
                         "\n");
        CShownConsole console;
        auto& [window, driver] = console;
        EXPECT_EQ(driver.Text(IDC_BRIGHTNESS), row.bytes);
        EXPECT_EQ(driver.Text(IDC_COUNTDOWN_TIME), row.bytes);
        ASSERT_TRUE(driver.Click(IDC_SET_BRIGHTNESS));
        EXPECT_EQ(bench.peer.ReadFor(150ms), "=B" + row.bytes + "\r");
        // The clock field is not sent: the computer's clock is, and the field then shows the time that went out.
        SetText(window, IDC_PC_TIME, row.bytes);
        ASSERT_TRUE(driver.Click(IDC_SET_PC_TIME));
        const std::string clock = bench.peer.ReadFor(150ms);
        EXPECT_TRUE(std::regex_match(clock, std::regex("^=T[0-9]{6}\r$"))) << clock;
        EXPECT_EQ(clock, "=T" + WithoutColons(driver.Text(IDC_PC_TIME)) + "\r");
    }
}

// ---- the clock to the hundredth

// The field turns with the computer's second, whatever the moment the window opened at.
TEST_F(MainConsoleDlg, ClockFieldTurnsWithinMillisecondsOfEachSecondsStart) {
    CDialogFiles bench(SettingsNaming(kPort));
    struct CChange {
        std::string strText;
        SystemClock::time_point moment;
    };
    std::vector<CChange> changes;
    // Half-way through a second: a one-second timer started now would turn the field half a second late.
    std::this_thread::sleep_until(std::chrono::floor<std::chrono::seconds>(SystemClock::now()) + 1500ms);
    CShownConsole console;
    auto& [window, driver] = console;
    window.m_afterTick = [&changes, &driver = driver](int nId) {
        if (nId == CMainConsoleDlg::TIMER_CLOCK)
            changes.push_back({driver.Text(IDC_PC_TIME), SystemClock::now()});
    };
    driver.Wait(3300ms);
    window.m_afterTick = nullptr;
    EXPECT_GE(changes.size(), 3u);
    for (const auto& [strText, moment] : changes) {
        const auto late = std::chrono::duration_cast<std::chrono::milliseconds>(
            moment - std::chrono::floor<std::chrono::seconds>(moment));
        // The rule is 20 ms; the margin is for a busy machine.
        EXPECT_LT(late, 120ms) << strText << " at " << late.count() << " ms into its second";
        EXPECT_EQ(strText, LocalClockText(moment));
    }
}

// Set PC Time sends the computer's clock so that the carriage return reaches the line on the start of the second
// it names, and shows what it sent; a stale text in the field is not sent.
TEST_F(MainConsoleDlg, SetPcTimeSendsTheSecondItsCarriageReturnStarts) {
    const struct {
        const char* pszName;
        std::optional<std::string> field; // what 1033 shows when Set is clicked; none: before the first tick
        int nBaudIndex;
    } rows[] = {
        {"stale text, 2400 baud", "09:05:03", 0},
        {"before the clock's first tick", std::nullopt, 0},
        {"8-bit text, 9600 baud", "\xE9", 2},
        {"38400 baud", "23:59:59", 4},
    };
    constexpr int kBaudRates[] = {2400, 4800, 9600, 19200, 38400};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pszName);
        CPeerBench bench(SettingsNaming(kPort, row.nBaudIndex));
        CShownConsole console;
        auto& [window, driver] = console;
        if (row.field)
            SetText(window, IDC_PC_TIME, *row.field);
        EXPECT_EQ(window.m_nBaudRate, kBaudRates[row.nBaudIndex]);
        // A pseudo-terminal passes the bytes at once; on a line the carriage return leaves nine byte times later.
        const auto lineTime = std::chrono::microseconds{9 * 10 * 1'000'000LL / window.m_nBaudRate};

        std::string bytes;
        SystemClock::time_point arrived;
        std::thread device([&] {
            bytes = bench.peer.ReadUntil(9, 3s);
            arrived = SystemClock::now();
        });
        const auto start = SteadyClock::now();
        const bool bClicked = driver.Click(IDC_SET_PC_TIME);
        const long long nHandlerMs = MillisecondsSince(start);
        device.join();
        ASSERT_TRUE(bClicked);

        const std::string shown = driver.Text(IDC_PC_TIME);
        EXPECT_TRUE(IsClockText(shown)) << shown;
        EXPECT_EQ(bytes, "=T" + WithoutColons(shown) + "\r");
        const auto leaves = arrived + lineTime;
        const auto second = std::chrono::round<std::chrono::seconds>(leaves);
        const auto offset = std::chrono::duration_cast<std::chrono::milliseconds>(leaves - second);
        EXPECT_LT(std::chrono::abs(offset), 60ms) << offset.count() << " ms";
        EXPECT_EQ(LocalClockText(second), shown);
        // The window waits for the second (at most one), then for the reply and the link's closing, as before.
        EXPECT_GE(nHandlerMs, 480);
        EXPECT_LT(nHandlerMs, 1000 + 500 + 400);
        EXPECT_TRUE(window.IsTimerRunning(CMainConsoleDlg::TIMER_ACK));
        EXPECT_TRUE(bench.Boxes().Entries().empty());
    }
}

TEST_F(MainConsoleDlg, MasterWritesTwoCommandsAQuarterSecondApartAndSlaveOne) {
    CPeerBench bench;
    CShownConsole console;
    CDialogDriver& driver = console.driver;
    std::string master;
    std::string toggle;
    SteadyClock::duration gap{};
    std::thread device([&] {
        master = bench.peer.ReadUntil(8, 3s);
        const auto first = SteadyClock::now();
        toggle = bench.peer.ReadUntil(3, 3s);
        gap = SteadyClock::now() - first;
    });
    const bool bClicked = driver.Click(IDC_MASTER);
    device.join();
    ASSERT_TRUE(bClicked);
    EXPECT_EQ(master, "=MASTER\r");
    EXPECT_EQ(toggle, "?D\r");
    const auto nGapMs = std::chrono::duration_cast<std::chrono::milliseconds>(gap).count();
    EXPECT_GE(nGapMs, 200);
    EXPECT_LT(nGapMs, 2000);

    ASSERT_TRUE(driver.Click(IDC_SLAVE));
    EXPECT_EQ(bench.peer.ReadFor(400ms), "=SLAVE\r");
}

TEST_F(MainConsoleDlg, APortThatCannotBeOpenedIsReportedAndTheOperationGoesOn) {
    CDialogFiles bench(SettingsNaming(kPort));
    MakePortWithoutDevice(bench.Dir().Path(), kPort);
    CShownConsole console;
    auto& [window, driver] = console;
    ASSERT_TRUE(driver.Click(IDC_SET_BRIGHTNESS));
    EXPECT_EQ(bench.Messages(), std::vector<std::string>{"Can't open COM port"});
    ASSERT_FALSE(bench.Boxes().Entries().empty());
    EXPECT_EQ(bench.Boxes().Entries().front().strTitle, ApplicationName());
    EXPECT_TRUE(window.IsTimerRunning(CMainConsoleDlg::TIMER_ACK));
    // Monitoring starts all the same; each tick finds nothing: red status, dark lights.
    ASSERT_TRUE(driver.Click(IDC_MONITOR_ON));
    EXPECT_EQ(bench.Messages().size(), 2u);
    EXPECT_TRUE(window.IsTimerRunning(CMainConsoleDlg::TIMER_MONITOR));
    EXPECT_FALSE(driver.IsEnabled(IDC_MONITOR_ON));
    EXPECT_TRUE(driver.WaitFor([&] { return Lamp(driver) == IDI_LAMP_RED; }));
    EXPECT_EQ(Lights(driver), kDark);
    ASSERT_TRUE(driver.Click(IDC_MONITOR_OFF));
    EXPECT_EQ(Lamp(driver), IDI_LAMP_OFF);
}

// ---- replies

TEST_F(MainConsoleDlg, CurrentValuesLine) {
    const struct {
        const char* pszName;
        std::string line;
        std::string program;
        std::string countdownNumber;
        std::string countdownTime;
        std::string brightness;
        std::string large; // "keep": as set before the tick
        std::string small;
        CLights lights;
    } rows[] = {
        // Row 0 of the table (P0.txt) holds 2:00 in columns 3 and 7, 5:00 in column 2.
        {"blank and 5 select P5", CurrentValuesLine("    4:59", "  12", "2", " 5", "5:00", "7"), "P5", "CD2", "5:00",
         "7", "    4:59", "  12", kYellowLight},
        {"6 and 1 select P61", CurrentValuesLine("    1:00", "   3", "1", "61", "2:00", "4"), "P61", "CD7", "2:00", "4",
         "    1:00", "   3", kRedLight},
        {"blank and 6 select P60, the first that begins with P6",
         CurrentValuesLine("12:00:00", "   1", "3", " 6", "1:00", "9"), "P60", "CD1", "1:00", "9", "12:00:00", "   1",
         kGreenLight},
        {"P9 names no entry: the selection stays", CurrentValuesLine("    0:10", "   2", "0", " 9", "9:59", "1"), "P2",
         "CD0", "9:59", "1", "    0:10", "   2", kDark},
        {"P01 names no entry: the selection stays", CurrentValuesLine("    0:10", "   2", "x", "01", "2:00", "1"), "P2",
         "CD7", "2:00", "1", "    0:10", "   2", kBefore},
        {"a line of 20 characters", "S? 12345678 1234 2 5", "P5", "CD0", "", "", "12345678", "1234", kYellowLight},
        {"other lines are dropped", "P=1\rD? 11111111 2222 1\rS=", "P2", "CD0", "0:00", "9", "keep", "keep", kBefore},
        {"the last of two lines wins",
         CurrentValuesLine("11111111", "1111", "1", " 5", "5:00", "1") + "\r" +
             CurrentValuesLine("22222222", "2222", "3", " 8", "2:00", "2"),
         "P8", "CD7", "2:00", "2", "22222222", "2222", kGreenLight},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pszName);
        CPeerBench bench(SettingsNaming(kPort) + "[SetValues]\nProgram=2\n");
        bench.Write("P0.txt", "x;x;x;0:00\nx;x;x;1:00\nx;x;x;5:00\nx;x;x;2:00\nx;x;x;3:00\n"
                              "x;x;x;4:00\nx;x;x;6:00\nx;x;x;2:00\nx;x;x;8:00\nx;x;x;9:00\n");
        CShownConsole console;
        auto& [window, driver] = console;
        EXPECT_EQ(Selected(driver, IDC_PROGRAM), "P2");
        for (const int nId : {IDC_DISPLAY_LARGE, IDC_DISPLAY_SMALL})
            SetText(window, nId, "keep");
        SetIcons(window, {IDC_LIGHT_1, IDC_LIGHT_2, IDC_LIGHT_3}, IDI_LAMP_YELLOW);

        ASSERT_TRUE(window.m_link.Open(kPort, 2400));
        ASSERT_TRUE(bench.peer.Write(row.line + "\r"));
        std::this_thread::sleep_for(kQueueTime);
        window.SetTimer(CMainConsoleDlg::TIMER_CURRENT_VALUES, 100ms);
        window.OnTimer(CMainConsoleDlg::TIMER_CURRENT_VALUES);

        EXPECT_EQ(Selected(driver, IDC_PROGRAM), row.program);
        EXPECT_EQ(Selected(driver, IDC_COUNTDOWN_NUMBER), row.countdownNumber);
        EXPECT_EQ(driver.Text(IDC_COUNTDOWN_TIME), row.countdownTime);
        EXPECT_EQ(driver.Text(IDC_BRIGHTNESS), row.brightness);
        EXPECT_EQ(driver.Text(IDC_DISPLAY_LARGE), row.large);
        EXPECT_EQ(driver.Text(IDC_DISPLAY_SMALL), row.small);
        EXPECT_EQ(Lights(driver), row.lights);
        EXPECT_EQ(Lamp(driver), row.large == "keep" ? IDI_LAMP_OFF : IDI_LAMP_GREEN);
        EXPECT_FALSE(window.IsTimerRunning(CMainConsoleDlg::TIMER_CURRENT_VALUES)); // one tick only
        // Selections made by the program move neither the row nor the column.
        EXPECT_EQ(window.m_nProgramRow, 1);
        EXPECT_EQ(window.m_nCountdownColumn, 1);
        // Green for a quarter of a second, then dark, while the window goes on.
        EXPECT_TRUE(driver.WaitFor([&] { return Lamp(driver) == IDI_LAMP_OFF; }, 2s));
    }
}

TEST_F(MainConsoleDlg, MonitorTick) {
    const struct {
        const char* pszName;
        std::string lines; // empty: nothing arrives
        int nStatus;
        CLights lights;
        std::string large; // "keep": as set before the tick
        std::string small;
        std::string startNumber;
        std::string startTime;
        std::string leadTime;
    } rows[] = {
        {"display line with light state 2", DisplayLine("    4:59", "  17", "2"), IDI_LAMP_GREEN, kYellowLight,
         "    4:59", "  17", "keep", "keep", "keep"},
        {"display line of 12 characters", "D? 12345678 ", IDI_LAMP_GREEN, kDark, "12345678", "", "keep", "keep",
         "keep"},
        {"start 0013 shows 12", "0013 ST 10:11:12.345", IDI_LAMP_GREEN, kDark, "keep", "keep", "12", "10:11:12.345",
         "keep"},
        // Its first two columns are blanks as well: it is also a lead line.
        {"start '   1' shows 0", "   1 ST  9:00:00.00", IDI_LAMP_GREEN, kDark, "keep", "keep", "0", " 9:00:00.00",
         ":00.00"},
        {"start without digits shows -1", "abcd ST 1", IDI_LAMP_GREEN, kDark, "keep", "keep", "-1", "1", "keep"},
        {"lead line", "  LEAD TIME  0:01:30.25", IDI_LAMP_GREEN, kDark, "keep", "keep", "keep", "keep", "0:01:30"},
        {"no line: red and dark, displays keep", "", IDI_LAMP_RED, kDark, "keep", "keep", "keep", "keep", "keep"},
        {"unrecognised lines only", "S=\rXY ST\r ", IDI_LAMP_RED, kDark, "keep", "keep", "keep", "keep", "keep"},
        {"the last line with a light state sets the lights",
         DisplayLine("11111111", "1111", "1") + "\r" + DisplayLine("22222222", "2222", "9"), IDI_LAMP_GREEN, kRedLight,
         "22222222", "2222", "keep", "keep", "keep"},
        {"one line, two tests: blanks in 0-1 and ST in 5-6", "     ST 12:00:00.000 0:00:01", IDI_LAMP_GREEN, kDark,
         "keep", "keep", "-1", "12:00:00.000", ":00.000"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pszName);
        CPeerBench bench;
        CShownConsole console;
        auto& [window, driver] = console;
        for (const int nId :
             {IDC_DISPLAY_LARGE, IDC_DISPLAY_SMALL, IDC_START_NUMBER, IDC_LAST_START_TIME, IDC_LEAD_TIME})
            SetText(window, nId, "keep");
        SetIcons(window, {IDC_STATUS_LAMP, IDC_LIGHT_1, IDC_LIGHT_2, IDC_LIGHT_3}, IDI_LAMP_YELLOW);

        ASSERT_TRUE(window.m_link.Open(kPort, 2400));
        if (!row.lines.empty()) {
            ASSERT_TRUE(bench.peer.Write(row.lines + "\r"));
        }
        std::this_thread::sleep_for(kQueueTime);
        window.OnTimer(CMainConsoleDlg::TIMER_MONITOR);

        EXPECT_EQ(Lamp(driver), row.nStatus);
        EXPECT_EQ(Lights(driver), row.lights);
        EXPECT_EQ(driver.Text(IDC_DISPLAY_LARGE), row.large);
        EXPECT_EQ(driver.Text(IDC_DISPLAY_SMALL), row.small);
        EXPECT_EQ(driver.Text(IDC_START_NUMBER), row.startNumber);
        EXPECT_EQ(driver.Text(IDC_LAST_START_TIME), row.startTime);
        EXPECT_EQ(driver.Text(IDC_LEAD_TIME), row.leadTime);
        // The tick took every line: the next finds none.
        window.OnTimer(CMainConsoleDlg::TIMER_MONITOR);
        EXPECT_EQ(Lamp(driver), IDI_LAMP_RED);
        EXPECT_EQ(Lights(driver), kDark);
    }
}

// A tick that brings what the window already shows repaints nothing; a tick that changes a lamp or a display
// repaints that control alone.
TEST_F(MainConsoleDlg, ATickRepaintsOnlyWhatChanged) {
    const std::string yellow = DisplayLine("    0:15", "  12", "2");
    const struct {
        const char* pszName;
        std::string first;
        std::string second; // empty for a tick without a line
        std::vector<int> repainted;
    } rows[] = {
        {"the same line again", yellow, yellow, {}},
        {"another time", yellow, DisplayLine("    0:14", "  12", "2"), {IDC_DISPLAY_LARGE}},
        {"another light", yellow, DisplayLine("    0:15", "  12", "3"), {IDC_LIGHT_2, IDC_LIGHT_3}},
        {"silence", yellow, "", {IDC_STATUS_LAMP, IDC_LIGHT_2}},
        {"a line without lights keeps them dark",
         DisplayLine("    0:15", "  12", "x"),
         DisplayLine("    0:15", "  12", "x"),
         {}},
    };
    const int watched[] = {IDC_STATUS_LAMP,   IDC_LIGHT_1,      IDC_LIGHT_2,         IDC_LIGHT_3,  IDC_DISPLAY_LARGE,
                           IDC_DISPLAY_SMALL, IDC_START_NUMBER, IDC_LAST_START_TIME, IDC_LEAD_TIME};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pszName);
        CPeerBench bench;
        CShownConsole console;
        auto& [window, driver] = console;
        ASSERT_TRUE(driver.WaitFor([&] { return driver.IsShown(); }));
        if (driver.PaintCount(IDC_STATUS_LAMP) < 0)
            GTEST_SKIP() << "this window implementation cannot tell how often a control was painted";
        ASSERT_TRUE(window.m_link.Open(kPort, 2400));
        ASSERT_TRUE(bench.peer.Write(row.first + "\r"));
        std::this_thread::sleep_for(kQueueTime);
        window.OnTimer(CMainConsoleDlg::TIMER_MONITOR);
        driver.Wait(kPaintTime); // the first tick's paints

        driver.ResetPaintCounts();
        if (!row.second.empty()) {
            ASSERT_TRUE(bench.peer.Write(row.second + "\r"));
        }
        std::this_thread::sleep_for(kQueueTime);
        window.OnTimer(CMainConsoleDlg::TIMER_MONITOR);
        driver.Wait(kPaintTime);
        // The three lights overlap a little, so a light's repaint may reach its neighbours; nothing else may
        // repaint.
        std::set<int> allowed(row.repainted.begin(), row.repainted.end());
        for (const int nId : row.repainted) {
            EXPECT_GT(driver.PaintCount(nId), 0) << nId << " not repainted";
            if (nId == IDC_LIGHT_1 || nId == IDC_LIGHT_2 || nId == IDC_LIGHT_3)
                allowed.insert({nId - 1, nId + 1});
        }
        for (const int nId : watched) {
            if (!allowed.contains(nId)) {
                EXPECT_EQ(driver.PaintCount(nId), 0) << nId << " repainted";
            }
        }
    }
}

TEST_F(MainConsoleDlg, OnAndOffSwitchMonitoring) {
    CPeerBench bench;
    CShownConsole console;
    auto& [window, driver] = console;

    ASSERT_TRUE(driver.Click(IDC_MONITOR_ON));
    for (const int nId : kCommandButtons)
        EXPECT_FALSE(driver.IsEnabled(nId)) << nId;
    for (const int nId :
         {IDC_MONITOR_OFF, IDC_EXIT, IDC_PROGRAM, IDC_COUNTDOWN_NUMBER, IDC_BRIGHTNESS, IDC_BRIGHTNESS_SPIN})
        EXPECT_TRUE(driver.IsEnabled(nId)) << nId;
    EXPECT_TRUE(window.m_link.IsOpen());
    EXPECT_TRUE(window.IsTimerRunning(CMainConsoleDlg::TIMER_MONITOR));
    EXPECT_EQ(bench.peer.ReadFor(100ms), "?D\r");

    // The timer's own ticks show what arrives.
    ASSERT_TRUE(bench.peer.Write(DisplayLine("    0:42", "   7", "1") + "\r"));
    EXPECT_TRUE(driver.WaitFor([&] { return driver.Text(IDC_DISPLAY_LARGE) == "    0:42"; }));
    EXPECT_TRUE(driver.WaitFor([&] { return Lamp(driver) == IDI_LAMP_RED; })); // the next tick found nothing

    const auto start = SteadyClock::now();
    ASSERT_TRUE(driver.Click(IDC_MONITOR_OFF));
    EXPECT_GE(MillisecondsSince(start), 230); // Close waits a quarter of a second
    for (const int nId : kCommandButtons)
        EXPECT_TRUE(driver.IsEnabled(nId)) << nId;
    EXPECT_FALSE(window.m_link.IsOpen());
    EXPECT_FALSE(window.IsTimerRunning(CMainConsoleDlg::TIMER_MONITOR));
    EXPECT_EQ(Lamp(driver), IDI_LAMP_OFF);
    EXPECT_EQ(driver.Text(IDC_DISPLAY_LARGE), "    0:42"); // the displays keep what they show
    EXPECT_EQ(driver.Text(IDC_DISPLAY_SMALL), "   7");
    EXPECT_EQ(bench.peer.ReadFor(100ms), "?D\r");

    // Off again, not monitoring: nothing can be written to the closed link, and the lamp stays dark.
    ASSERT_TRUE(driver.Click(IDC_MONITOR_OFF));
    EXPECT_EQ(bench.peer.ReadFor(100ms), "");
    EXPECT_EQ(Lamp(driver), IDI_LAMP_OFF);
    EXPECT_TRUE(bench.Boxes().Entries().empty());
}

// "On" disables itself: the keyboard focus goes on to "Off", where Enter stops monitoring again (the window system
// alone would leave the focus nowhere, and the keyboard dead).
TEST_F(MainConsoleDlg, OnHandsTheFocusToOff) {
    CPeerBench bench;
    CShownConsole console;
    auto& [window, driver] = console;
    ASSERT_TRUE(driver.Key(IDC_MONITOR_ON, EKey::Enter));
    EXPECT_TRUE(window.IsTimerRunning(CMainConsoleDlg::TIMER_MONITOR));
    EXPECT_EQ(driver.FocusId(), IDC_MONITOR_OFF);
    ASSERT_TRUE(driver.Key(0, EKey::Enter));
    EXPECT_FALSE(window.IsTimerRunning(CMainConsoleDlg::TIMER_MONITOR));
    EXPECT_TRUE(driver.IsEnabled(IDC_MONITOR_ON));
    EXPECT_EQ(bench.peer.ReadFor(100ms), "?D\r?D\r");
}

// ---- selection

TEST_F(MainConsoleDlg, UserChoicesMoveTheRowAndTheColumn) {
    CPeerBench bench(SettingsNaming(kPort) + "[SetValues]\nProgram=11\nCDNumber=6\n"); // P7 and CD6 from the settings
    std::string row1;
    std::string row7;
    for (int i = 0; i < 12; ++i) { // twelve lines: only the first ten count
        row1 += "a;b;c;1:" + std::to_string(i) + "0;e\n";
        row7 += "a;b;c;7:" + std::to_string(i) + "0;e\n";
    }
    bench.Write("P1.txt", row1);
    bench.Write("P7.txt", row7);
    CShownConsole console;
    auto& [window, driver] = console;
    EXPECT_EQ(Selected(driver, IDC_PROGRAM), "P7");
    EXPECT_EQ(window.m_countdownTimes[1][9], "1:90");
    EXPECT_EQ(window.m_countdownTimes[1][10], "");
    EXPECT_EQ(window.m_countdownTimes[2][0], ""); // no P2.txt

    // CD4 right after start-up: row 1, whatever program the settings selected.
    ASSERT_TRUE(driver.Choose(IDC_COUNTDOWN_NUMBER, "CD4"));
    EXPECT_EQ(window.m_nCountdownColumn, 4);
    EXPECT_EQ(driver.Text(IDC_COUNTDOWN_TIME), "1:40");

    // P7, then CD4 again: row 7.
    ASSERT_TRUE(driver.Choose(IDC_PROGRAM, "P7"));
    EXPECT_EQ(window.m_nProgramRow, 7);
    EXPECT_EQ(Selected(driver, IDC_COUNTDOWN_NUMBER), "CD1");
    EXPECT_EQ(driver.Text(IDC_COUNTDOWN_TIME), "7:10");
    EXPECT_EQ(window.m_nCountdownColumn, 4); // the column stays although the list shows CD1
    ASSERT_TRUE(driver.Choose(IDC_COUNTDOWN_NUMBER, "CD4"));
    EXPECT_EQ(driver.Text(IDC_COUNTDOWN_TIME), "7:40");

    // P61: row 1, column 1, like P1; the list moves to CD1.
    ASSERT_TRUE(driver.Choose(IDC_PROGRAM, "P61"));
    EXPECT_EQ(window.m_nProgramRow, 1);
    EXPECT_EQ(Selected(driver, IDC_COUNTDOWN_NUMBER), "CD1");
    EXPECT_EQ(driver.Text(IDC_COUNTDOWN_TIME), "1:10");

    // A program without a file: an empty time.
    ASSERT_TRUE(driver.Choose(IDC_PROGRAM, "P2"));
    EXPECT_EQ(driver.Text(IDC_COUNTDOWN_TIME), "");

    // Selections made by the program raise no notification.
    SelectByProgram(window, driver, IDC_PROGRAM, "P7");
    window.Control<CComboBox>(IDC_COUNTDOWN_NUMBER).SetCurSel(9);
    EXPECT_EQ(window.m_nProgramRow, 2);
    EXPECT_EQ(window.m_nCountdownColumn, 4);
    EXPECT_EQ(driver.Text(IDC_COUNTDOWN_TIME), "");
}

// ---- acknowledgements

TEST_F(MainConsoleDlg, AnUnansweredSetLeavesTheWindowResponsive) {
    CPeerBench bench; // the peer never answers
    CShownConsole console;
    auto& [window, driver] = console;
    ASSERT_TRUE(driver.Click(IDC_SET_BRIGHTNESS));
    EXPECT_TRUE(window.IsTimerRunning(CMainConsoleDlg::TIMER_ACK));

    // A tick without an acknowledgement returns at once.
    const auto start = SteadyClock::now();
    window.OnTimer(CMainConsoleDlg::TIMER_ACK);
    EXPECT_LT(MillisecondsSince(start), 100);

    // For a second of unanswered ticks the window keeps handling its events: a 10 ms probe comes through most of
    // the time (ticks that slept 250 ms each would let it through a handful of times).
    int nProbes = 0;
    window.m_afterTick = [&nProbes](int nId) {
        nProbes += nId == kProbeTimer;
    };
    window.SetTimer(kProbeTimer, 10ms);
    driver.Wait(1000ms);
    window.KillTimer(kProbeTimer);
    window.m_afterTick = nullptr;
    EXPECT_GT(nProbes, 40);
    EXPECT_TRUE(window.IsTimerRunning(CMainConsoleDlg::TIMER_ACK)); // still waiting for an acknowledgement
    EXPECT_EQ(Lamp(driver), IDI_LAMP_OFF);
}

// The link's lines have one reader at a time: a "Set" whose acknowledgement never comes stops waiting for it when
// monitoring or another command starts, so that its timer takes none of their lines.
TEST_F(MainConsoleDlg, OneReaderOfTheLinksLinesAtATime) {
    const struct {
        const char* pszName;
        int nUnansweredSet;
        std::function<void(CPeerBench&, CShownConsole&)> then;
    } rows[] = {
        {"monitoring: every start line reaches the display", IDC_SET_BRIGHTNESS,
         [](CPeerBench& bench, CShownConsole& console) {
             ASSERT_TRUE(console.driver.Click(IDC_MONITOR_ON));
             EXPECT_EQ(bench.peer.ReadFor(100ms), "?D\r");
             for (int nStart = 11; nStart <= 18; ++nStart) {
                 SCOPED_TRACE(nStart);
                 const std::string strTime = "10:11:" + std::to_string(nStart) + ".345";
                 ASSERT_TRUE(bench.peer.Write("00" + std::to_string(nStart) + " ST " + strTime + "\r"));
                 EXPECT_TRUE(
                     console.driver.WaitFor([&] { return console.driver.Text(IDC_LAST_START_TIME) == strTime; }, 1s));
                 EXPECT_EQ(console.driver.Text(IDC_START_NUMBER), std::to_string(nStart - 1));
             }
         }},
        {"current values: their fields", IDC_SET_PROGRAM,
         [](CPeerBench& bench, CShownConsole& console) {
             std::thread device([&bench] {
                 if (bench.peer.ReadUntil(3, 3s) == "?S\r")
                     bench.peer.Write(CurrentValuesLine("    4:59", "  12", "2", " 5", "5:00", "7") + "\r");
             });
             const bool bClicked = console.driver.Click(IDC_GET_CURRENT_VALUES);
             device.join();
             ASSERT_TRUE(bClicked);
             EXPECT_TRUE(console.driver.WaitFor([&] { return console.driver.Text(IDC_BRIGHTNESS) == "7"; }, 2s));
             EXPECT_EQ(console.driver.Text(IDC_DISPLAY_LARGE), "    4:59");
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pszName);
        CPeerBench bench; // the peer never acknowledges the set
        CShownConsole console;
        ASSERT_TRUE(console.driver.Click(row.nUnansweredSet));
        EXPECT_NE(bench.peer.ReadFor(100ms), "");
        EXPECT_TRUE(console.window.IsTimerRunning(CMainConsoleDlg::TIMER_ACK));
        row.then(bench, console);
        EXPECT_FALSE(console.window.IsTimerRunning(CMainConsoleDlg::TIMER_ACK));
    }
}

TEST_F(MainConsoleDlg, AnAcknowledgementLightsTheLampForAQuarterSecond) {
    CPeerBench bench;
    CShownConsole console;
    auto& [window, driver] = console;
    std::thread device([&bench] {
        if (bench.peer.ReadUntil(4, 3s) == "=P1\r")
            bench.peer.Write("B=9\r"); // any set acknowledgement ends the wait of any set command
    });
    const bool bClicked = driver.Click(IDC_SET_PROGRAM);
    device.join();
    ASSERT_TRUE(bClicked);
    EXPECT_TRUE(window.IsTimerRunning(CMainConsoleDlg::TIMER_ACK));

    // Watch the lamp from a probe of the window system's shortest period: the window's events must be handled
    // while it is green.
    const auto start = SteadyClock::now();
    long long nGreenAt = -1;
    long long nDarkAt = -1;
    int nProbesWhileGreen = 0;
    window.m_afterTick = [&](int nId) {
        if (nId != kProbeTimer)
            return;
        const int nLamp = Lamp(driver);
        if (nLamp == IDI_LAMP_GREEN) {
            if (nGreenAt < 0)
                nGreenAt = MillisecondsSince(start);
            ++nProbesWhileGreen;
        } else if (nLamp == IDI_LAMP_OFF && nGreenAt >= 0 && nDarkAt < 0) {
            nDarkAt = MillisecondsSince(start);
        }
    };
    window.SetTimer(kProbeTimer, 10ms);
    EXPECT_TRUE(driver.WaitFor([&] { return nDarkAt >= 0; }, 3s));
    window.KillTimer(kProbeTimer);
    window.m_afterTick = nullptr;
    EXPECT_FALSE(window.IsTimerRunning(CMainConsoleDlg::TIMER_ACK));
    const long long nGreenMs = nDarkAt - nGreenAt;
    EXPECT_GE(nGreenMs, 150);
    EXPECT_LT(nGreenMs, 1500);
    EXPECT_GE(nProbesWhileGreen, 5);
}

TEST_F(MainConsoleDlg, ModeAcknowledgementsTakeOneTick) {
    const struct {
        const char* pszName;
        std::string line; // empty: nothing arrives
        int nLamp;
    } rows[] = {
        {"M=", "M=", IDI_LAMP_GREEN},
        {"S=", "S=1", IDI_LAMP_GREEN},
        {"P= is not a mode acknowledgement", "P=1", IDI_LAMP_OFF},
        {"nothing", "", IDI_LAMP_OFF},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pszName);
        CPeerBench bench;
        CShownConsole console;
        auto& [window, driver] = console;
        ASSERT_TRUE(window.m_link.Open(kPort, 2400));
        if (!row.line.empty()) {
            ASSERT_TRUE(bench.peer.Write(row.line + "\r"));
        }
        std::this_thread::sleep_for(kQueueTime);
        window.SetTimer(CMainConsoleDlg::TIMER_MODE_ACK, 100ms);
        const auto start = SteadyClock::now();
        window.OnTimer(CMainConsoleDlg::TIMER_MODE_ACK);
        EXPECT_LT(MillisecondsSince(start), 100);
        EXPECT_EQ(Lamp(driver), row.nLamp);
        EXPECT_FALSE(window.IsTimerRunning(CMainConsoleDlg::TIMER_MODE_ACK));
        EXPECT_TRUE(driver.WaitFor([&] { return Lamp(driver) == IDI_LAMP_OFF; }, 2s));
    }
}

TEST_F(MainConsoleDlg, TimerIdsOutsideTheTableAreIgnored) {
    CPeerBench bench;
    CShownConsole console;
    auto& [window, driver] = console;
    ASSERT_TRUE(window.m_link.Open(kPort, 2400));
    ASSERT_TRUE(bench.peer.Write("P=1\rD? 12345678 1234 1\r"));
    std::this_thread::sleep_for(kQueueTime);
    for (const int nId : {0, 5, 7, 16})
        window.OnTimer(nId);
    EXPECT_EQ(Lamp(driver), IDI_LAMP_OFF);
    // The lines are still queued: the monitor's tick finds them.
    window.OnTimer(CMainConsoleDlg::TIMER_MONITOR);
    EXPECT_EQ(driver.Text(IDC_DISPLAY_LARGE), "12345678");
}

// ---- the way out

TEST_F(MainConsoleDlg, ExitClosesTheLinkAndEndsTheWindow) {
    enum class EWay { ExitButton, EnterInTheProgramList, CloseBox };
    const struct {
        const char* pszName;
        EWay way;
    } rows[] = {
        {"Exit button", EWay::ExitButton},
        {"Enter in the program list", EWay::EnterInTheProgramList},
        {"close box", EWay::CloseBox},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pszName);
        CPeerBench bench;
        CShownConsole console;
        auto& [window, driver] = console;
        ASSERT_TRUE(driver.Click(IDC_MONITOR_ON));
        EXPECT_EQ(bench.peer.ReadFor(100ms), "?D\r");
        EXPECT_FALSE(PortIsFree());
        switch (row.way) {
        case EWay::ExitButton:
            ASSERT_TRUE(driver.Click(IDC_EXIT));
            break;
        case EWay::EnterInTheProgramList:
            ASSERT_TRUE(driver.Key(IDC_PROGRAM, EKey::Enter));
            break;
        case EWay::CloseBox:
            driver.CloseBox();
            break;
        }
        EXPECT_TRUE(window.IsEnded());
        EXPECT_EQ(window.Result(), IDOK);
        EXPECT_FALSE(window.m_link.IsOpen());
        EXPECT_FALSE(window.IsTimerRunning(CMainConsoleDlg::TIMER_MONITOR));
        EXPECT_FALSE(window.IsTimerRunning(CMainConsoleDlg::TIMER_CLOCK));
        EXPECT_TRUE(PortIsFree());
        EXPECT_EQ(bench.peer.ReadFor(100ms), ""); // nothing sent on the way out
    }
}

TEST_F(MainConsoleDlg, EscapeEndsTheWindowAndItsDestructorClosesTheLink) {
    CPeerBench bench;
    std::optional<CShownConsole> console(std::in_place);
    auto& [window, driver] = *console;
    ASSERT_TRUE(driver.Click(IDC_MONITOR_ON));
    EXPECT_FALSE(PortIsFree());
    ASSERT_TRUE(driver.Key(IDC_PROGRAM, EKey::Escape));
    EXPECT_TRUE(window.IsEnded());
    EXPECT_EQ(window.Result(), IDCANCEL);
    EXPECT_TRUE(window.m_link.IsOpen()); // not through the exit handler
    EXPECT_FALSE(PortIsFree());
    console.reset();
    EXPECT_TRUE(PortIsFree());
}

TEST_F(MainConsoleDlg, RunsModallyUntilExit) {
    CDialogFiles bench(SettingsNaming(kPort));
    CMainConsoleDlg window;
    CDialogDriver driver(window);
    bool bPressed = false;
    // Enter in a list, where no push button has the focus: Exit, the default button.
    CDialogDriver::Later(100ms, [&] { bPressed = driver.Key(IDC_COUNTDOWN_NUMBER, EKey::Enter); });
    EXPECT_EQ(window.DoModal(), IDOK);
    EXPECT_TRUE(bPressed);
}

// ---- the other dialogs

TEST_F(MainConsoleDlg, PortSettingsTakesTheChoiceOnOkOnly) {
    const struct {
        const char* pszName;
        bool bOk;
        int nPort;
        int nBaudRate;
    } rows[] = {
        {"OK", true, 3, 9600},
        {"Cancel", false, 6, 4800},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pszName);
        CDialogFiles bench("[Settings]\nCOMPort=5\nBaudrate=1\n");
        CShownConsole console;
        auto& [window, driver] = console;
        EXPECT_EQ(window.m_nPort, 6);
        EXPECT_EQ(window.m_nBaudRate, 4800);
        int nTemplate = 0;
        bool bChosen = false;
        bool bAnswered = false;
        driver.WhenDialogOpens([&](CDialog& dialog) {
            nTemplate = dialog.TemplateId();
            CDialogDriver settings(dialog);
            bChosen = settings.Choose(IDC_COM_PORT_LIST, "COM 3");
            // The baud rate list is shown but out of the user's reach: set as the dialog's own settings set it.
            if (auto* rates = dialog.Item<CComboBox>(IDC_BAUD_RATE_LIST))
                rates->SetCurSel(IndexOf(settings, IDC_BAUD_RATE_LIST, "9600"));
            // The dialog has no Cancel button: Escape.
            bAnswered = row.bOk ? settings.Click(IDOK) : settings.Key(0, EKey::Escape);
        });
        ASSERT_TRUE(driver.Click(IDC_PORT_SETTINGS));
        EXPECT_EQ(nTemplate, IDD_COM_PORT);
        EXPECT_TRUE(bChosen);
        EXPECT_TRUE(bAnswered);
        EXPECT_EQ(window.m_nPort, row.nPort);
        EXPECT_EQ(window.m_nBaudRate, row.nBaudRate);
    }
}

TEST_F(MainConsoleDlg, ReadMemoryAndParametersOpenModally) {
    const struct {
        const char* pszName;
        int nButton;
        int nDialog;
    } rows[] = {
        {"Read Memory", IDC_READ_MEMORY, IDD_READ_MEMORY},
        {"Configure Parameters", IDC_CONFIGURE_PARAMETERS, IDD_PARAMETERS},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pszName);
        CPeerBench bench;
        CShownConsole console;
        auto& [window, driver] = console;
        int nTemplate = 0;
        bool bParent = false;
        driver.WhenDialogOpens([&](CDialog& opened) {
            nTemplate = opened.TemplateId();
            bParent = opened.GetParent() == &window;
            opened.EndDialog(IDCANCEL);
        });
        ASSERT_TRUE(driver.Click(row.nButton));
        EXPECT_EQ(nTemplate, row.nDialog);
        EXPECT_TRUE(bParent);
        EXPECT_FALSE(window.IsEnded());
        EXPECT_FALSE(window.m_link.IsOpen()); // the main window's link plays no part
    }
}

// A message box that a dialog shows while it opens, before it is shown ("Can't open COM port", "Can't Open File!"),
// holds off the main window as the dialog will: the main window is disabled before the dialog's initialisation.
TEST_F(MainConsoleDlg, AMessageBoxOfAnOpeningDialogHoldsOffTheMainWindow) {
    const struct {
        const char* pszName;
        int nButton;
        const char* pszText;
    } rows[] = {
        {"Read Memory", IDC_READ_MEMORY, "Can't open COM port"},
        {"Configure Parameters", IDC_CONFIGURE_PARAMETERS, "Can't Open File!"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pszName);
        CExecutableDirectory directory; // the boxes shown, not recorded
        ASSERT_TRUE(WriteFileReplacing(directory.File("config.ini"), SettingsNaming(kPort)));
        MakePortWithoutDevice(directory.Path(), kPort);
        CShownConsole console;
        auto& [window, driver] = console;
        const auto seen = driver.AnswerNextMessageBox("OK");
        int nOpened = 0;
        driver.WhenDialogOpens([&](CDialog& opened) {
            nOpened = opened.TemplateId();
            opened.EndDialog(IDCANCEL);
        });
        ASSERT_TRUE(driver.Click(row.nButton));
        EXPECT_TRUE(seen->bOpened);
        EXPECT_EQ(seen->strText, row.pszText);
        EXPECT_EQ(seen->otherWindowsTakingInput, std::vector<std::string>{});
        EXPECT_NE(nOpened, 0); // the dialog opened after the box
        EXPECT_TRUE(window.IsWindowEnabled());
        EXPECT_FALSE(window.IsEnded());
    }
}

// ---- against the simulator

TEST_F(MainConsoleDlg, CurrentValuesFromTheSimulator) {
    CDialogFiles bench(SettingsNaming(kPort));
    bench.Write("P0.txt", "x;x;x;0:30\nx;x;x;1:00\nx;x;x;5:00\n");
    CDeviceSimulator sim(bench.Dir().Path(), {"--com", std::to_string(kPort), "--frozen", "--program", "5"});
    CShownConsole console;
    CDialogDriver& driver = console.driver;
    ASSERT_TRUE(driver.Click(IDC_GET_CURRENT_VALUES));
    EXPECT_TRUE(driver.WaitFor([&] { return Lamp(driver) == IDI_LAMP_GREEN; }));
    EXPECT_EQ(Selected(driver, IDC_PROGRAM), "P5");
    EXPECT_EQ(driver.Text(IDC_COUNTDOWN_TIME), "5:00");
    EXPECT_EQ(Selected(driver, IDC_COUNTDOWN_NUMBER), "CD2");
    EXPECT_EQ(driver.Text(IDC_BRIGHTNESS), "9");
    EXPECT_NE(Trimmed(driver.Text(IDC_DISPLAY_LARGE)), "");
    EXPECT_EQ(Trimmed(driver.Text(IDC_DISPLAY_SMALL)), "1");
    EXPECT_TRUE(driver.WaitFor([&] { return Lamp(driver) == IDI_LAMP_OFF; }));
    EXPECT_TRUE(bench.Boxes().Entries().empty());
}

TEST_F(MainConsoleDlg, EverySetIsAcknowledgedBySimulator) {
    CDialogFiles bench(SettingsNaming(kPort));
    CDeviceSimulator sim(bench.Dir().Path(), {"--com", std::to_string(kPort), "--frozen"});
    CShownConsole console;
    auto& [window, driver] = console;
    SetText(window, IDC_PC_TIME, "10:20:30");
    SetText(window, IDC_BRIGHTNESS, "4");
    for (const int nButton :
         {IDC_SET_PROGRAM, IDC_SET_COUNTDOWN_NUMBER, IDC_SET_BRIGHTNESS, IDC_SET_PC_TIME, IDC_MASTER, IDC_SLAVE}) {
        SCOPED_TRACE(nButton);
        EXPECT_TRUE(driver.WaitFor([&] { return Lamp(driver) == IDI_LAMP_OFF; }));
        ASSERT_TRUE(driver.Click(nButton));
        EXPECT_TRUE(driver.WaitFor([&] { return Lamp(driver) == IDI_LAMP_GREEN; }));
        EXPECT_FALSE(window.IsTimerRunning(CMainConsoleDlg::TIMER_ACK));
    }
    // The device took the values: its current values report them.
    EXPECT_TRUE(driver.WaitFor([&] { return Lamp(driver) == IDI_LAMP_OFF; }));
    SetText(window, IDC_BRIGHTNESS, "");
    ASSERT_TRUE(driver.Click(IDC_GET_CURRENT_VALUES));
    EXPECT_TRUE(driver.WaitFor([&] { return driver.Text(IDC_BRIGHTNESS) == "4"; })) << driver.Text(IDC_BRIGHTNESS);
    EXPECT_TRUE(bench.Boxes().Entries().empty());
}

TEST_F(MainConsoleDlg, MonitoringTheSimulatorShowsTheCountdownAndTheLights) {
    CDialogFiles bench(SettingsNaming(kPort));
    // Program 3 starts every two minutes: red for the second-to-last minute, yellow for the last; at sixty times
    // the speed that is a second each.
    CDeviceSimulator sim(bench.Dir().Path(), {"--com", std::to_string(kPort), "--program", "3", "--speed", "60"});
    CShownConsole console;
    CDialogDriver& driver = console.driver;
    ASSERT_TRUE(driver.Click(IDC_MONITOR_ON));
    std::set<std::string> displays;
    std::set<CLights> patterns;
    int nGreen = 0;
    const auto start = SteadyClock::now();
    while (MillisecondsSince(start) < 4500) {
        driver.Wait(50ms);
        displays.insert(driver.Text(IDC_DISPLAY_LARGE));
        patterns.insert(Lights(driver));
        nGreen += Lamp(driver) == IDI_LAMP_GREEN;
    }
    EXPECT_GE(displays.size(), 5u);
    EXPECT_EQ(patterns.count(kRedLight), 1u);
    EXPECT_EQ(patterns.count(kYellowLight), 1u);
    EXPECT_GT(nGreen, 20);
    EXPECT_NE(driver.Text(IDC_START_NUMBER), ""); // a start happened meanwhile
    EXPECT_NE(driver.Text(IDC_LEAD_TIME), "");
    ASSERT_TRUE(driver.Click(IDC_MONITOR_OFF));
    EXPECT_TRUE(bench.Boxes().Entries().empty());
}

// The unit's clock against the computer's, in the tip of the "Set PC Time" group's clock field: none before the first
// start, then the figure of the start lines. The simulated unit's clock starts 0.62 s behind and runs sixty times as
// fast, so that at its first start (program 2: after a minute of its time, a second of the computer's) it is 58.38 s
// ahead; its stream sends no display lines meanwhile, so that no start line waits behind one.
TEST_F(MainConsoleDlg, TheSetPcTimeTipTellsTheUnitsClock) {
    CDialogFiles bench(SettingsNaming(kPort, 2));
    CDeviceSimulator sim(bench.Dir().Path(), {"--com", std::to_string(kPort), "--program", "2", "--speed", "60",
                                              "--clock-offset", "-0.62", "--stream-period", "60000"});
    CShownConsole console;
    CDialogDriver& driver = console.driver;
    EXPECT_EQ(driver.Tip(IDC_PC_TIME), "");
    ASSERT_TRUE(driver.Click(IDC_MONITOR_ON));
    ASSERT_TRUE(driver.WaitFor([&] { return !driver.Tip(IDC_PC_TIME).empty(); }, 5s));
    const std::string strTip = driver.Tip(IDC_PC_TIME);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(
        strTip, match, std::regex("the unit's clock is ([0-9]+\\.[0-9]{2}) s ahead of this computer: Set PC Time")))
        << strTip;
    // The simulated unit sends at once where a unit takes the line's time at 9600 baud, 22 ms, which the figure takes
    // off: it is that much low.
    EXPECT_NEAR(std::stod(match[1]), 58.38 - 0.022, 0.1) << strTip;
    ASSERT_TRUE(driver.Click(IDC_MONITOR_OFF));
    EXPECT_EQ(driver.Tip(IDC_PC_TIME), strTip); // the last figure stays
    // Once the unit's clock is set, what was seen of it before counts no more.
    ASSERT_TRUE(driver.Click(IDC_SET_PC_TIME));
    EXPECT_EQ(driver.Tip(IDC_PC_TIME), "");
    EXPECT_TRUE(bench.Boxes().Entries().empty());
}

// The unit is switched off and on again (the simulator ended and started again under the same port) while
// monitoring: the window follows the new unit by itself, which needs one "?D" since it starts silent; the status
// lamp is red at every tick while the unit is away.
TEST_F(MainConsoleDlg, MonitoringFollowsAUnitSwitchedOffAndOnAgain) {
    CDialogFiles bench(SettingsNaming(kPort));
    const std::string strRecord = bench.Dir().File("received.bin");
    std::optional<CDeviceSimulator> first(
        std::in_place, bench.Dir().Path(),
        std::vector<std::string>{"--com", std::to_string(kPort), "--frozen", "--program", "2"});
    CShownConsole console;
    CDialogDriver& driver = console.driver;
    ASSERT_TRUE(driver.Click(IDC_MONITOR_ON));
    ASSERT_TRUE(driver.WaitFor([&] { return !driver.Text(IDC_DISPLAY_LARGE).empty(); }, 3s));
    const std::string strBefore = driver.Text(IDC_DISPLAY_LARGE);

    first.reset();
    driver.Wait(600ms);
    for (int i = 0; i < 5; ++i) {
        driver.Wait(110ms);
        EXPECT_EQ(Lamp(driver), IDI_LAMP_RED);
    }
    CDeviceSimulator second(bench.Dir().Path(),
                            {"--com", std::to_string(kPort), "--frozen", "--program", "7", "--record", strRecord});
    const auto start = SteadyClock::now();
    // Within two seconds as a rule (half a second to reopen, a second to see the unit is silent); more on a loaded
    // machine.
    EXPECT_TRUE(driver.WaitFor([&] { return driver.Text(IDC_DISPLAY_LARGE) != strBefore; }, 4s));
    std::cout << "the display followed the new unit after " << MillisecondsSince(start) << " ms\n";
    EXPECT_EQ(Lamp(driver), IDI_LAMP_GREEN);
    EXPECT_EQ(ReadFileBytes(strRecord).value_or(""), "?D\r");
    EXPECT_TRUE(bench.Boxes().Entries().empty());
    ASSERT_TRUE(driver.Click(IDC_MONITOR_OFF));
}

// A unit that kept streaming while its cable was out is not switched off: no "?D" after the reconnection.
TEST_F(MainConsoleDlg, MonitoringLeavesAStreamingUnitStreamingAfterTheCableIsBack) {
    CDialogFiles bench(SettingsNaming(kPort));
    const std::string strRecord = bench.Dir().File("received.bin");
    CDeviceSimulator sim(bench.Dir().Path(), {"--com", std::to_string(kPort), "--record", strRecord});
    CShownConsole console;
    auto& [window, driver] = console;
    ASSERT_TRUE(driver.Click(IDC_MONITOR_ON));
    EXPECT_TRUE(driver.WaitFor([&] { return Lamp(driver) == IDI_LAMP_GREEN; }, 3s));
    sim.PullCable();
    EXPECT_TRUE(driver.WaitFor([&] { return Lamp(driver) == IDI_LAMP_RED; }, 3s));
    driver.Wait(300ms);
    sim.PlugCable();
    EXPECT_TRUE(driver.WaitFor([&] { return window.m_link.ReopenCount() == 1; }, 3s));
    EXPECT_TRUE(driver.WaitFor([&] { return Lamp(driver) == IDI_LAMP_GREEN; }, 3s));
    driver.Wait(1500ms); // past the second in which a silent unit would be switched on
    EXPECT_EQ(ReadFileBytes(strRecord).value_or(""), "?D\r");
    ASSERT_TRUE(driver.Click(IDC_MONITOR_OFF));
}

// ---- picture for the documentation

// Only with KALVORA_SCREENSHOT_DIR: the window as the user sees it while monitoring, into <dir>/main-window.png.
TEST_F(MainConsoleDlg, Screenshot) {
    const std::optional<std::string> strDirectory = ProcessVariable("KALVORA_SCREENSHOT_DIR");
    if (!strDirectory || strDirectory->empty())
        GTEST_SKIP() << "KALVORA_SCREENSHOT_DIR is not set";
    CDialogFiles bench(SettingsNaming(kPort));
    bench.Write("P1.txt", "x;x;x;0:30\nx;x;x;1:00\nx;x;x;1:30\n");
    CDeviceSimulator sim(bench.Dir().Path(), {"--com", std::to_string(kPort), "--program", "3", "--speed", "30",
                                              "--memory", "11", "--clock", "10:14:00"});
    CShownConsole console;
    CDialogDriver& driver = console.driver;
    // Program 3 at thirty times the speed starts every four seconds: by now one start has passed and the next
    // countdown shows its red light.
    ASSERT_TRUE(driver.Click(IDC_MONITOR_ON));
    driver.Wait(5000ms);
    ASSERT_TRUE(driver.IsShown());
    const CDialogDriver::CImage image = driver.Snapshot(0);
    ASSERT_FALSE(image.pixels.empty()) << "this window implementation cannot draw the window offscreen";
    EXPECT_TRUE(WritePngFile(*strDirectory + "/main-window.png", image));
    ASSERT_TRUE(driver.Click(IDC_MONITOR_OFF));
}

} // namespace
