// The About box: its template, its texts from the language loaded last, OK, Escape and Enter, and the entry of the
// main window's menu that opens it.

#include "window/DialogDriver.h"

#include "app/AboutDlg.h"
#include "i18n/Language.h"
#include "res/Resource.h"
#include "tests/support/DialogTesting.h"
#include "window/common/DialogUnits.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Each test's own files; no language is loaded after it.
class AboutDlg : public testing::Test {
protected:
    void TearDown() override { LoadLanguage("none-loaded"); }

    // "Test" and "Other" languages for the About box, and a settings file that names "Other".
    void WriteLanguages() const {
        m_files.Write("identifiers.ini",
                      "[Identifiers]\nIDD_ABOUTBOX=100\nIDOK=1\nIDC_STATIC=-1\nIDC_ABOUT_NOTICE=1078\n"
                      "IDC_ABOUT_WEB=1079\nIDC_ABOUT_VERSION=1080\n");
        m_files.Write("lng_Test.ini", "[Strings]\nIDD_ABOUTBOX=\xC3\x9C"
                                      "ber Kalvora\nIDOK=Gut\nIDC_STATIC=Bild\nIDC_ABOUT_VERSION=Kalvora & Co 1.4\n"
                                      "IDC_ABOUT_WEB=<a href=\"x\">Netz</a>\n");
        m_files.Write("lng_Other.ini", "[Strings]\nIDD_ABOUTBOX=Other title\nIDC_ABOUT_VERSION=Other version\n");
        m_files.Write("config.ini", "[System]\nLanguage=Other\n");
    }

    CDialogFiles m_files;
};

// A main window that opens the About box from its menu, the way the program's main window does.
class CMenuOwner : public CDialog {
public:
    CMenuOwner() : CDialog(IDD_MAIN_CONSOLE) { AddAboutEntry(*this); }
    std::vector<int> m_commands;

protected:
    void OnSysCommand(int nId) override {
        m_commands.push_back(nId);
        if ((nId & 0xFFF0) == IDM_ABOUTBOX)
            ShowAboutBox(this);
    }
};

TEST_F(AboutDlg, ShowsItsTemplate) {
    CAboutDlg about;
    const CDialogDriver driver(about);
    about.Create();
    EXPECT_EQ(driver.Title(), "About Kalvora");
    const CDialogUnits units(driver.BaseUnitX(), driver.BaseUnitY());
    EXPECT_EQ(driver.ClientRect(), (CDialogDriver::CRect{0, 0, units.X(235), units.Y(63)}));
    EXPECT_EQ(driver.Text(IDC_ABOUT_VERSION), "Kalvora Version 1.4");
    EXPECT_NE(driver.Text(IDC_ABOUT_NOTICE), "");
    EXPECT_NE(driver.Text(IDC_ABOUT_WEB), "");
    EXPECT_EQ(driver.Text(IDOK), "OK");
    EXPECT_TRUE(driver.Look(IDOK).bDefault);
    EXPECT_EQ(driver.FocusId(), IDOK);
    const auto picture = driver.Look(IDC_STATIC);
    EXPECT_EQ(picture.kind, EControlKind::Picture);
    EXPECT_EQ(picture.nImageWidth, 68);
    EXPECT_EQ(picture.nImageHeight, 43);
    EXPECT_EQ(picture.rect.x, units.X(7));
    EXPECT_EQ(picture.rect.y, units.Y(7));
}

TEST_F(AboutDlg, TranslatesWithKey100FromTheLanguageLoadedLast) {
    WriteLanguages();
    LoadLanguage("Test"); // config.ini names "Other": the About box does not read it

    CAboutDlg about;
    const CDialogDriver driver(about);
    about.Create();
    EXPECT_EQ(driver.Title(), "\xDC"
                              "ber Kalvora"); // the language file's UTF-8, read back as data
    EXPECT_EQ(driver.Text(IDOK), "Gut");
    // The version label keeps "&" as it is; the web line keeps markup as its text.
    EXPECT_EQ(driver.Text(IDC_ABOUT_VERSION), "Kalvora & Co 1.4");
    EXPECT_EQ(driver.Text(IDC_ABOUT_WEB), "<a href=\"x\">Netz</a>");
    // No text for the notice: the template's stays. The picture keeps its bitmap whatever its text.
    CDialog plain(IDD_ABOUTBOX);
    EXPECT_EQ(driver.Text(IDC_ABOUT_NOTICE), plain.GetDlgItem(IDC_ABOUT_NOTICE)->GetWindowText());
    EXPECT_EQ(driver.Text(IDC_STATIC), "Bild");
    EXPECT_EQ(driver.Look(IDC_STATIC).nImageWidth, 68);
    EXPECT_EQ(driver.Look(IDC_STATIC).nImageHeight, 43);
}

TEST_F(AboutDlg, EveryBoxTakesTheTablesAsTheyAreWhenItOpens) {
    WriteLanguages();
    CAboutDlg before; // no language loaded yet, although config.ini names one
    before.Create();
    EXPECT_EQ(before.GetWindowText(), "About Kalvora");
    EXPECT_EQ(CDialogDriver(before).Text(IDC_ABOUT_VERSION), "Kalvora Version 1.4");

    LoadLanguage("Other");
    CAboutDlg other;
    const CDialogDriver otherDriver(other);
    other.Create();
    EXPECT_EQ(otherDriver.Title(), "Other title");
    EXPECT_EQ(otherDriver.Text(IDC_ABOUT_VERSION), "Other version");
    EXPECT_EQ(otherDriver.Text(IDOK), "OK");

    LoadLanguage("Missing");
    CAboutDlg missing;
    missing.Create();
    EXPECT_EQ(missing.GetWindowText(), "About Kalvora");
    EXPECT_EQ(otherDriver.Text(IDC_ABOUT_VERSION), "Other version"); // an open box keeps its texts
}

// OK, Escape and Enter (on OK, which has the focus) end the modal run.
TEST_F(AboutDlg, OkEscapeAndEnterCloseTheBox) {
    const std::vector<std::tuple<const char*, std::function<bool(CDialogDriver&)>, int>> rows = {
        {"OK", [](CDialogDriver& d) { return d.Click(IDOK); }, IDOK},
        {"Escape", [](CDialogDriver& d) { return d.Key(0, EKey::Escape); }, IDCANCEL},
        {"Enter", [](CDialogDriver& d) { return d.Key(0, EKey::Enter); }, IDOK},
    };
    for (const auto& [pszName, act, nResult] : rows) {
        SCOPED_TRACE(pszName);
        CAboutDlg about;
        CDialogDriver driver(about);
        bool bActed = false;
        CDialogDriver::Later(0ms, [&, act = act] { bActed = act(driver); });
        EXPECT_EQ(about.DoModal(), nResult);
        EXPECT_TRUE(bActed);
        EXPECT_FALSE(driver.IsShown());
    }
}

TEST_F(AboutDlg, AboutEntryIsInTheWindowMenuAndOnF1) {
    CMenuOwner owner;
    CDialogDriver driver(owner);
    const auto entries = driver.MenuEntries();
    ASSERT_EQ(entries.size(), std::size_t{1});
    EXPECT_EQ(entries[0].strText, "&About Kalvora...");
    EXPECT_EQ(entries[0].nCommandId, IDM_ABOUTBOX);

    std::vector<std::string> titles; // of the About boxes while they were open
    const auto closeTheAboutBox = [&titles](CDialog& opened) {
        titles.push_back(opened.GetWindowText());
        opened.EndDialog(IDOK);
    };
    driver.WhenDialogOpens(closeTheAboutBox);
    EXPECT_TRUE(driver.ChooseMenuEntry(IDM_ABOUTBOX));
    EXPECT_EQ(owner.m_commands, std::vector<int>{IDM_ABOUTBOX});
    EXPECT_EQ(titles, std::vector<std::string>{"About Kalvora"});

    owner.Create();
    driver.WhenDialogOpens(closeTheAboutBox);
    EXPECT_TRUE(driver.Key(0, EKey::F1));
    EXPECT_EQ(owner.m_commands, (std::vector<int>{IDM_ABOUTBOX, IDM_ABOUTBOX}));
    EXPECT_EQ(titles, (std::vector<std::string>{"About Kalvora", "About Kalvora"}));
}

} // namespace
