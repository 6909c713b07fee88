// The windows of a program run from the staged install tree (ctest's package.Stage): the executable's directory is
// the tree's bin directory, the user's files live in a fresh $XDG_DATA_HOME/kalvora. The windows read the shipped
// language files from the tree and the user's settings and program files from the user's directory, and every
// file they write goes there; the tree stays as installed.

#include "window/DialogDriver.h"

#include "base/ExecutableDirectory.h"
#include "base/FileLocations.h"
#include "base/Files.h"
#include "console/MainConsoleDlg.h"
#include "programs/ParametersDlg.h"
#include "res/Resource.h"
#include "tests/support/Environment.h"
#include "tests/support/TempDir.h"
#include "window/MessageBox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kStagedBin = KALVORA_PACKAGE_STAGE "/usr/bin";

class CConsoleProbe : public CMainConsoleDlg {
public:
    using CMainConsoleDlg::m_countdownTimes;
};

// The program's files as the staged install and a user of it see them, for one test.
class CInstalledUser {
public:
    CInstalledUser() : m_strSavedDataHome(ProcessVariable("XDG_DATA_HOME")) {
        SetProcessVariable("XDG_DATA_HOME", m_dataHome.Path());
        SetExecutableDirectory(kStagedBin);
    }
    ~CInstalledUser() {
        SetExecutableDirectory({});
        SetProcessVariable("XDG_DATA_HOME", m_strSavedDataHome);
    }
    CInstalledUser(const CInstalledUser&) = delete;
    CInstalledUser& operator=(const CInstalledUser&) = delete;

    std::string Files() const { return m_dataHome.File("kalvora"); }
    void Write(const std::string& strName, const std::string& strText) const {
        fs::create_directories(Files());
        EXPECT_TRUE(WriteFileReplacing(Files() + "/" + strName, strText)) << "the user's " << strName;
    }
    std::optional<std::string> Read(const std::string& strName) const { return ReadFileBytes(Files() + "/" + strName); }

private:
    CTempDir m_dataHome;
    std::optional<std::string> m_strSavedDataHome;
    CMessageBoxRecorder m_boxes;
};

// Every entry of the staged tree.
std::vector<std::string> StagedEntries() {
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(KALVORA_PACKAGE_STAGE))
        entries.push_back(entry.path().string());
    std::sort(entries.begin(), entries.end());
    return entries;
}

// The tests run beside each other and beside the other package tests: none may change the staged tree.
class InstalledLayout : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(kStagedBin + "/kalvora")) << "no staged install; ctest's package.Stage makes it";
        m_staged = StagedEntries();
    }
    void TearDown() override { EXPECT_EQ(StagedEntries(), m_staged); }

    std::vector<std::string> m_staged;
};

TEST_F(InstalledLayout, TheInstallTreeIsTheShippedOne) {
    const CInstalledUser user;
    EXPECT_TRUE(CurrentFileLocations().m_bInstalled);
    EXPECT_EQ(FilesDirectory(), user.Files());
    EXPECT_EQ(fs::canonical(ShippedDirectory()), fs::canonical(KALVORA_PACKAGE_STAGE "/usr/share/kalvora"));
}

// The language named in the user's config.ini comes from the tree, unless the user has a copy of their own.
TEST_F(InstalledLayout, MainWindowTextsAreTheShippedOnesOrTheUsersOwn) {
    const std::vector<std::tuple<const char*, std::string, std::string>> rows = {
        {"shipped German", "", "Ein"},
        {"the user's own", "[Strings]\nIDC_MONITOR_ON=Los\n", "Los"},
    };
    for (const auto& [pszName, strUsersCopy, strOnButton] : rows) {
        SCOPED_TRACE(pszName);
        const CInstalledUser user;
        user.Write("config.ini", "[System]\nLanguage=Deutsch\n");
        if (!strUsersCopy.empty())
            user.Write("lng_Deutsch.ini", strUsersCopy);
        CConsoleProbe window;
        const CDialogDriver driver(window);
        window.Create();
        EXPECT_EQ(driver.Text(IDC_MONITOR_ON), strOnButton);
    }
}

TEST_F(InstalledLayout, MainWindowReadsTheUsersProgramFiles) {
    const CInstalledUser user;
    user.Write("P1.txt", "10;0;0;7:30;\r\n9;0;0;Break;\r\n");
    CConsoleProbe window;
    window.Create();
    EXPECT_EQ(window.m_countdownTimes[1][0], "7:30");
    EXPECT_EQ(window.m_countdownTimes[1][1], "Break");
}

TEST_F(InstalledLayout, PortSettingsOkWritesTheUsersConfig) {
    const CInstalledUser user;
    user.Write("config.ini", "[System]\r\nLanguage=English\r\n");
    CConsoleProbe window;
    CDialogDriver driver(window);
    window.Create();
    int nTemplate = 0;
    driver.WhenDialogOpens([&nTemplate](CDialog& opened) {
        nTemplate = opened.TemplateId();
        CDialogDriver(opened).Click(IDOK);
    });
    EXPECT_TRUE(driver.Click(IDC_PORT_SETTINGS));
    EXPECT_EQ(nTemplate, IDD_COM_PORT);
    const std::string strText = user.Read("config.ini").value_or("");
    EXPECT_NE(strText.find("\r\n[Settings]\r\nCOMPort="), std::string::npos) << strText;
    EXPECT_NE(strText.find("\r\nBaudrate="), std::string::npos) << strText;
    EXPECT_TRUE(strText.starts_with("[System]\r\nLanguage=English\r\n")) << strText;
    EXPECT_FALSE(fs::exists(kStagedBin + "/config.ini"));
}

TEST_F(InstalledLayout, ParametersSaveWritesTheUsersProgramFile) {
    const CInstalledUser user;
    user.Write("config.ini", "[System]\r\nLanguage=English\r\n");
    user.Write("P1.txt", "10;1;2;2:30;\r\n");
    CParametersDlg dialog;
    CDialogDriver driver(dialog);
    dialog.Create();
    EXPECT_TRUE(driver.Click(IDC_SAVE_PROGRAM));
    EXPECT_EQ(user.Read("P1.txt"), std::optional<std::string>("10;1;2;2:30;\r\n"));
    EXPECT_FALSE(fs::exists(kStagedBin + "/P1.txt"));
}

} // namespace
