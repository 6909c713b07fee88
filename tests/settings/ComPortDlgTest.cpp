// The COM Port Settings dialog: twenty ports and five rates, each port's device as its tip, the choice config.ini
// stored, what OK hands back and writes (and Escape and the close box do not), the rate shown but never chosen, and
// its texts in the language config.ini names.

#include "window/DialogDriver.h"

#include "base/IniFile.h"
#include "i18n/Language.h"
#include "link/SerialPort.h"
#include "res/Resource.h"
#include "settings/ComPortDlg.h"
#include "tests/support/DevicePeer.h"
#include "tests/support/DialogTesting.h"
#include "tests/support/InstalledLayout.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr int kCallerBaudRate = 4800; // the main window's current rate, handed in at construction

// No language is loaded after a test.
class ComPortDlg : public testing::Test {
protected:
    void TearDown() override { LoadLanguage("none-loaded"); }
};

std::string Stored(const CDialogFiles& files, const char* pszKey) {
    return CIniFile::GetString(files.Dir().File("config.ini"), "Settings", pszKey).value_or("(absent)");
}

// The entry a drop-down shows: its selected one, empty without a selection.
std::string Shown(const CDialogDriver& driver, int nId) {
    const int nSelected = driver.Selection(nId);
    return nSelected < 0 ? std::string() : driver.Entries(nId).at(static_cast<std::size_t>(nSelected));
}

TEST_F(ComPortDlg, ShowsTwentyPortsAndFiveRatesUnsorted) {
    const CDialogFiles files;
    CComPortDlg dialog(kCallerBaudRate);
    const CDialogDriver driver(dialog);
    dialog.Create();
    EXPECT_EQ(driver.Title(), "COM Port Settings");
    std::vector<std::string> ports;
    for (int n = 1; n <= 20; ++n)
        ports.push_back("COM " + std::to_string(n));
    EXPECT_EQ(driver.Entries(IDC_COM_PORT_LIST), ports);
    EXPECT_EQ(driver.Entries(IDC_BAUD_RATE_LIST), (std::vector<std::string>{"2400", "4800", "9600", "19200", "38400"}));
    EXPECT_FALSE(driver.Look(IDC_COM_PORT_LIST).bSorted);
    EXPECT_FALSE(driver.Look(IDC_BAUD_RATE_LIST).bSorted);
    EXPECT_EQ(&dialog.m_comboPort, dialog.Item<CComboBox>(IDC_COM_PORT_LIST));
    EXPECT_EQ(&dialog.m_comboBaud, dialog.Item<CComboBox>(IDC_BAUD_RATE_LIST));
    EXPECT_EQ(driver.Text(IDC_LABEL_COM_PORT), "COM Port");
    EXPECT_EQ(driver.Text(IDC_LABEL_BAUD_RATE), "Baudrate");
    EXPECT_FALSE(files.Read("config.ini")); // opening writes nothing
}

// Each entry's tip is the device its number opens: the link ports/COM<n> when there is one, else the built-in line.
TEST_F(ComPortDlg, EachEntrysTooltipIsItsDevice) {
    const CDialogFiles files;
    CDevicePeer device(files.Dir().Path(), 7);
    CComPortDlg dialog(kCallerBaudRate);
    dialog.Create();
    for (int nPort = 1; nPort <= 20; ++nPort)
        EXPECT_EQ(dialog.m_comboPort.GetItemTip(nPort - 1), PortDevicePath(nPort)) << nPort;
    EXPECT_EQ(dialog.m_comboPort.GetItemTip(0), PortDevicePath(1, files.Dir().Path(), false));
    EXPECT_EQ(dialog.m_comboPort.GetItemTip(6), PortDevicePath(7, files.Dir().Path(), true));
    EXPECT_EQ(dialog.m_comboPort.GetItemTip(19), PortDevicePath(20, files.Dir().Path(), false));
    EXPECT_EQ(dialog.m_comboPort.GetLBText(6), "COM 7"); // a link that is not an adapter's keeps the name
    EXPECT_EQ(dialog.m_comboPort.GetItemTip(20), "");
}

// Installed, the links are the user's: those beside the executable are not looked at.
TEST_F(ComPortDlg, AnInstalledProgramsEntriesAreTheUsersLinks) {
    const CInstalledLayout layout;
    const CMessageBoxRecorder boxes;
    std::filesystem::create_directories(layout.Bin() + "/ports");
    std::filesystem::create_symlink("/dev/null", layout.Bin() + "/ports/COM7");
    CDevicePeer device(layout.User(), 8);
    CComPortDlg dialog(kCallerBaudRate);
    dialog.Create();
    EXPECT_EQ(dialog.m_comboPort.GetItemTip(6), PortDevicePath(7, layout.User(), false));
    EXPECT_EQ(dialog.m_comboPort.GetItemTip(7), PortDevicePath(8, layout.User(), true));
}

// What config.ini selects when the dialog opens, and what OK then hands back and writes.
TEST_F(ComPortDlg, OpensWithTheStoredChoiceAndOkWritesItBack) {
    struct CRow {
        const char* pszName;
        const char* pszConfig; // empty: no file
        int nPortShown, nBaudShown, nPort, nBaudRate;
        const char* pszPortWritten;
        const char* pszBaudWritten;
    };
    const std::vector<CRow> rows = {
        // clang-format off
        {"no file",        "",                                        0,  2,  1,  9600,            "0",  "2"},
        {"COMPort 2",      "[Settings]\nCOMPort=2\nBaudrate=2\n",      2,  2,  3,  9600,            "2",  "2"},
        {"COMPort 19",     "[Settings]\nCOMPort=19\n",                19,  2,  20, 9600,            "19", "2"},
        {"COMPort 20",     "[Settings]\nCOMPort=20\n",                -1,  2,  0,  9600,            "-1", "2"},
        {"COMPort 25",     "[Settings]\nCOMPort=25\n",                -1,  2,  0,  9600,            "-1", "2"},
        {"COMPort -1",     "[Settings]\nCOMPort=-1\n",                -1,  2,  0,  9600,            "-1", "2"},
        {"COMPort abc",    "[Settings]\nCOMPort=abc\n",                0,  2,  1,  9600,            "0",  "2"},
        {"COMPort empty",  "[Settings]\nCOMPort=\nBaudrate=0\n",       0,  0,  1,  2400,            "0",  "0"},
        {"Baudrate 4",     "[Settings]\nBaudrate=4\n",                 0,  4,  1,  38400,           "0",  "4"},
        {"Baudrate 7",     "[Settings]\nCOMPort=5\nBaudrate=7\n",      5, -1,  6,  kCallerBaudRate, "5",  "-1"},
        {"Baudrate -1",    "[Settings]\nBaudrate=-1\n",                0, -1,  1,  kCallerBaudRate, "0",  "-1"},
        {"names any case", "[settings]\ncomport = 3 \nBAUDRATE=1\n",   3,  1,  4,  4800,            "3",  "1"},
        {"other section",  "[SetValues]\nCOMPort=9\n",                 0,  2,  1,  9600,            "0",  "2"},
        // clang-format on
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        const CDialogFiles files(row.pszConfig);
        CComPortDlg dialog(kCallerBaudRate);
        CDialogDriver driver(dialog);
        dialog.Create();
        EXPECT_EQ(driver.Selection(IDC_COM_PORT_LIST), row.nPortShown);
        EXPECT_EQ(driver.Selection(IDC_BAUD_RATE_LIST), row.nBaudShown);
        EXPECT_TRUE(driver.Click(IDOK));
        EXPECT_TRUE(dialog.IsEnded());
        EXPECT_EQ(dialog.Result(), IDOK);
        EXPECT_EQ(dialog.m_nPort, row.nPort);
        EXPECT_EQ(dialog.m_nBaudRate, row.nBaudRate);
        EXPECT_EQ(Stored(files, "COMPort"), row.pszPortWritten);
        EXPECT_EQ(Stored(files, "Baudrate"), row.pszBaudWritten);
    }
}

TEST_F(ComPortDlg, OkWithoutAFileCreatesItWithBothKeys) {
    const CDialogFiles files;
    CComPortDlg dialog(2400);
    CDialogDriver driver(dialog);
    CDialogDriver::Later(0ms, [&driver] { driver.Click(IDOK); });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_nPort, 1);
    EXPECT_EQ(dialog.m_nBaudRate, 9600);
    EXPECT_EQ(files.Read("config.ini").value_or("(none)"), "[Settings]\r\nCOMPort=0\r\nBaudrate=2\r\n");
}

// The user picks "COM 4" with the keyboard; the rest of the user's file stays as it was, byte for byte.
TEST_F(ComPortDlg, OkWithCom4Writes3AndKeepsTheRestOfTheFile) {
    const std::string strBefore = "; Kalvora at the club house\r\n"
                                  "[System]\r\n"
                                  "Language = NoSuchLanguage\r\n"
                                  "\r\n"
                                  "[Settings]\r\n"
                                  "COMPort=0 ; first port\r\n"
                                  "Baudrate=2\n"
                                  "[SetValues]\n"
                                  "; as the starter likes it\n"
                                  "Program=3\n"
                                  "CDTime =  1:30  \n"
                                  "Brightness=7";
    const CDialogFiles files(strBefore);
    CComPortDlg dialog(kCallerBaudRate);
    CDialogDriver driver(dialog);
    dialog.Create();
    EXPECT_EQ(Shown(driver, IDC_COM_PORT_LIST), "COM 1");
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(driver.Key(IDC_COM_PORT_LIST, EKey::Down));
    EXPECT_EQ(Shown(driver, IDC_COM_PORT_LIST), "COM 4");
    EXPECT_EQ(Shown(driver, IDC_BAUD_RATE_LIST), "9600");
    EXPECT_TRUE(driver.Click(IDOK));

    EXPECT_EQ(dialog.Result(), IDOK);
    EXPECT_EQ(dialog.m_nPort, 4);
    EXPECT_EQ(dialog.m_nBaudRate, 9600);
    std::string strAfter = strBefore;
    strAfter.replace(strAfter.find("COMPort=0 ; first port"), 22, "COMPort=3");
    EXPECT_EQ(files.Read("config.ini").value_or("(none)"), strAfter);
}

TEST_F(ComPortDlg, OkAddsTheSectionAtTheEndWhenItIsMissing) {
    const std::string strBefore = "[System]\nLanguage=NoSuchLanguage\n[SetValues]\nProgram=2\n";
    const CDialogFiles files(strBefore);
    CComPortDlg dialog(kCallerBaudRate);
    CDialogDriver driver(dialog);
    dialog.Create();
    EXPECT_TRUE(driver.Choose(IDC_COM_PORT_LIST, "COM 20"));
    EXPECT_TRUE(driver.Click(IDOK));
    EXPECT_EQ(dialog.m_nPort, 20);
    EXPECT_EQ(files.Read("config.ini").value_or("(none)"), strBefore + "[Settings]\nCOMPort=19\nBaudrate=2\n");
}

TEST_F(ComPortDlg, EscapeAndCloseBoxChangeNothing) {
    for (const bool bCloseBox : {false, true}) {
        SCOPED_TRACE(bCloseBox ? "close box" : "Escape");
        const std::string strBefore = "[Settings]\r\nCOMPort=6\r\nBaudrate=3\r\n";
        const CDialogFiles files(strBefore);
        CComPortDlg dialog(kCallerBaudRate);
        CDialogDriver driver(dialog);
        std::vector<std::string> shown; // the choice before and after the user's change
        CDialogDriver::Later(0ms, [&] {
            shown.push_back(Shown(driver, IDC_COM_PORT_LIST));
            driver.Key(IDC_COM_PORT_LIST, EKey::Down);
            shown.push_back(Shown(driver, IDC_COM_PORT_LIST));
            if (bCloseBox)
                driver.CloseBox();
            else
                driver.Key(0, EKey::Escape);
        });
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
        EXPECT_EQ(shown, (std::vector<std::string>{"COM 7", "COM 8"}));
        EXPECT_EQ(dialog.m_nPort, 0);
        EXPECT_EQ(dialog.m_nBaudRate, kCallerBaudRate);
        EXPECT_EQ(files.Read("config.ini").value_or("(none)"), strBefore);
    }
}

// The rate is shown, never chosen: the list stays disabled, and OK writes back the position it came with.
TEST_F(ComPortDlg, BaudRateListStaysDisabled) {
    const CDialogFiles files("[Settings]\nBaudrate=4\n");
    CComPortDlg dialog(kCallerBaudRate);
    CDialogDriver driver(dialog);
    dialog.Create();
    EXPECT_FALSE(driver.IsEnabled(IDC_BAUD_RATE_LIST));
    EXPECT_TRUE(driver.IsEnabled(IDC_COM_PORT_LIST));
    EXPECT_EQ(driver.FocusId(), IDC_COM_PORT_LIST);
    EXPECT_TRUE(driver.Key(IDC_COM_PORT_LIST, EKey::Tab));
    EXPECT_NE(driver.FocusId(), IDC_BAUD_RATE_LIST);
    EXPECT_FALSE(driver.Key(IDC_BAUD_RATE_LIST, EKey::Down));
    EXPECT_FALSE(driver.Choose(IDC_BAUD_RATE_LIST, 0));
    EXPECT_EQ(Shown(driver, IDC_BAUD_RATE_LIST), "38400");
    EXPECT_TRUE(driver.Click(IDOK));
    EXPECT_EQ(dialog.m_nBaudRate, 38400);
    EXPECT_EQ(Stored(files, "Baudrate"), "4");
}

TEST_F(ComPortDlg, LanguageNamedInTheFileTranslatesCaptionAndLabels) {
    const CDialogFiles files("[System]\nLanguage=Deutsch\n[Settings]\nCOMPort=1\n");
    files.Write("identifiers.ini", "[Identifiers]\nIDD_COM_PORT=132\nIDOK=1\nIDC_PORT_SETTINGS=1021\n"
                                   "IDC_BAUD_RATE_LIST=1022\nIDC_LABEL_COM_PORT=1073\nIDC_LABEL_BAUD_RATE=1074\n");
    files.Write("lng_Deutsch.ini", "[Strings]\nIDD_COM_PORT=COM-Port-Einstellungen\nIDOK=\xC3\x9C"
                                   "bernehmen\nIDC_PORT_SETTINGS=Anschluss\nIDC_BAUD_RATE_LIST=Tempo\n"
                                   "IDC_LABEL_COM_PORT=<b>Port</b>\nIDC_LABEL_BAUD_RATE=Baud\\nrate\n");
    CComPortDlg dialog(kCallerBaudRate);
    const CDialogDriver driver(dialog);
    dialog.Create();
    EXPECT_EQ(driver.Title(), "COM-Port-Einstellungen");
    EXPECT_EQ(driver.Text(IDOK), "\xDC"
                                 "bernehmen"); // the language file's UTF-8, read back as data
    EXPECT_EQ(driver.Text(IDC_LABEL_COM_PORT), "<b>Port</b>");
    EXPECT_EQ(driver.Text(IDC_LABEL_BAUD_RATE), "Baud\nrate");
    // The lists keep their built-in entries and their choices, whatever their identifiers translate to.
    EXPECT_EQ(Shown(driver, IDC_COM_PORT_LIST), "COM 2");
    EXPECT_EQ(Shown(driver, IDC_BAUD_RATE_LIST), "9600");
    EXPECT_EQ(driver.Entries(IDC_COM_PORT_LIST).size(), std::size_t{20});
    EXPECT_FALSE(driver.IsEnabled(IDC_BAUD_RATE_LIST));
}

} // namespace
