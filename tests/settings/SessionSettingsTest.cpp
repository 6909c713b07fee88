// A session on a port of its own (training on the simulated unit): its windows read and write a copy of the user's
// config.ini that names the session's port; the user's file stays as it was.

#include "settings/SessionSettings.h"

#include "base/Files.h"
#include "settings/Settings.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr const char* kNoFile = nullptr;

struct SessionRow {
    const char* pszName;
    const char* pszUserFile; // config.ini beside the executable, or kNoFile
    int nSessionPort;
    std::optional<int> nBaudRate;
    std::optional<std::string> strLanguage;
    std::optional<std::string> strBrightness;
};

TEST(SessionSettings, TheWindowsReadTheSessionsPortAndTheUsersOtherSettings) {
    const SessionRow rows[] = {
        {"no config.ini", kNoFile, 7, std::nullopt, std::nullopt, std::nullopt},
        {"another port chosen",
         "[System]\r\nLanguage=Deutsch\r\n[Settings]\r\nCOMPort=2\r\nBaudrate=1\r\n[SetValues]\r\nBrightness=5\r\n", 7,
         4800, "Deutsch", "5"},
        {"no [Settings] section", "; the club's laptop\n[System]\nLanguage=English\n", 7, std::nullopt, "English",
         std::nullopt},
        {"the session's port chosen already", "[Settings]\nCOMPort=6\nBaudrate=4\n", 7, 38400, std::nullopt,
         std::nullopt},
        {"another session port", "[Settings]\nCOMPort=0\n", 12, std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& row : rows) {
        CExecutableDirectory dir;
        const std::string strUserFile = dir.File("config.ini");
        if (row.pszUserFile) {
            ASSERT_TRUE(WriteFileReplacing(strUserFile, row.pszUserFile)) << row.pszName;
        }
        {
            CSessionSettings session(row.nSessionPort);
            ASSERT_TRUE(session.IsInForce()) << row.pszName;
            EXPECT_NE(GetConfigPath(), strUserFile) << row.pszName;
            const CMainWindowSettings main = ReadMainWindowSettings(GetConfigPath());
            EXPECT_EQ(main.m_nPort, row.nSessionPort) << row.pszName;
            EXPECT_EQ(main.m_nBaudRate, row.nBaudRate) << row.pszName;
            EXPECT_EQ(main.m_strLanguage, row.strLanguage) << row.pszName;
            EXPECT_EQ(main.m_strBrightness, row.strBrightness) << row.pszName;
            const CLinkSettings link = ReadLinkSettings(GetConfigPath());
            EXPECT_EQ(link.m_nPort, row.nSessionPort) << row.pszName << ": Read Memory and Parameters";
            EXPECT_EQ(ReadComPortSettings(GetConfigPath()).m_nPortPosition, row.nSessionPort - 1)
                << row.pszName << ": the COM Port Settings list";
        }
        if (row.pszUserFile)
            EXPECT_EQ(ReadFileBytes(strUserFile), row.pszUserFile) << row.pszName;
        else
            EXPECT_FALSE(fs::exists(strUserFile)) << row.pszName;
        EXPECT_EQ(GetConfigPath(), strUserFile) << row.pszName << ": the user's file after the session";
    }
}

TEST(SessionSettings, ThePortChosenDuringTheSessionStaysInTheSession) {
    CExecutableDirectory dir;
    const std::string strUserFile = dir.File("config.ini");
    const std::string strUserText = "[Settings]\nCOMPort=2\nBaudrate=0\n";
    ASSERT_TRUE(WriteFileReplacing(strUserFile, strUserText));
    {
        CSessionSettings session(7);
        ASSERT_TRUE(WriteComPortSettings(GetConfigPath(), 4, 2));
        EXPECT_EQ(ReadLinkSettings(GetConfigPath()).m_nPort, 5) << "every window of the session takes the choice";
        EXPECT_EQ(ReadLinkSettings(GetConfigPath()).m_nBaudRate, 9600);
        EXPECT_EQ(ReadFileBytes(strUserFile), strUserText);
    }
    EXPECT_EQ(ReadLinkSettings(GetConfigPath()).m_nPort, 3) << "the next start takes the user's port";
}

TEST(SessionSettings, TheSessionsFileGoesWithTheSession) {
    CExecutableDirectory dir;
    std::string strSessionFile;
    {
        CSessionSettings session(7);
        strSessionFile = GetConfigPath();
        EXPECT_TRUE(fs::is_regular_file(strSessionFile));
        EXPECT_NE(fs::path(strSessionFile).parent_path(), fs::path(dir.Path())) << "nothing beside the executable";
        ASSERT_FALSE(TemporaryDirectory().empty());
        EXPECT_EQ(strSessionFile.rfind(TemporaryDirectory() + "/", 0), 0u)
            << strSessionFile << ": in the system's temporary directory, as the program names it";
    }
    EXPECT_FALSE(fs::exists(strSessionFile));
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

} // namespace
