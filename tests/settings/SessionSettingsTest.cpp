// A session on a port of its own (training on the simulated unit): its windows read and write a copy of the user's
// config.ini that names the session's port; the user's file stays as it was.

#include "settings/SessionSettings.h"

#include "base/Files.h"
#include "settings/Settings.h"
#include "tests/support/Environment.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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

// The copy lives in the system's temporary folder as the system names it, whatever letters its name has (on Windows
// the folder lies in the user's own, "C:\\Users\\Łukasz\\AppData\\Local\\Temp").
TEST(SessionSettings, TheCopyLivesInTheTemporaryFolderWhateverItsName) {
    // Łódź-Ελλάδα-東京: no single ANSI code page can write it.
    const std::string strBeyond = "\xC5\x81\xC3\xB3"
                                  "d"
                                  "\xC5\xBA-\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1-"
                                  "\xE6\x9D\xB1\xE4\xBA\xAC";
    // std::filesystem's narrow form is no UTF-8 on Windows: the folder is named through its UTF-8 form.
    const auto DiskPath = [](const std::string& strPath) {
        return fs::path(std::u8string(strPath.begin(), strPath.end()));
    };
    CExecutableDirectory dir;
    const CTempDir temp;
    const std::string strTemp = temp.File(strBeyond);
    ASSERT_TRUE(fs::create_directory(DiskPath(strTemp)));
    const CTemporaryDirectoryVariable variable(strTemp);
    ASSERT_TRUE(WriteFileReplacing(dir.File("config.ini"), "[Settings]\nCOMPort=2\n"));
    CMessageRecorder recorder;
    {
        const CSessionSettings session(7, recorder.Get());
        ASSERT_TRUE(session.IsInForce());
        std::vector<fs::path> copies(fs::directory_iterator(DiskPath(strTemp)), {});
        ASSERT_EQ(copies.size(), 1u) << "the copy, in the temporary folder of that very name";
        EXPECT_TRUE(copies.front().filename().string().starts_with("kalvora-session-"));
        EXPECT_EQ(ReadLinkSettings(GetConfigPath()).m_nPort, 7);
        EXPECT_EQ(ReadFileBytes(dir.File("config.ini")), "[Settings]\nCOMPort=2\n");
    }
    EXPECT_TRUE(fs::is_empty(DiskPath(strTemp))) << "the copy goes with the session";
    EXPECT_EQ(GetConfigPath(), dir.File("config.ini"));
    EXPECT_TRUE(recorder.m_messages.empty());
}

// Where no copy can be written, the user hears "Can't open file!", and the session reads and writes the user's own
// config.ini as any start does.
TEST(SessionSettings, ACopyThatCannotBeWrittenIsReported) {
    CExecutableDirectory dir;
    const CTempDir temp;
    const CTemporaryDirectoryVariable variable(temp.File("missing"));
    CMessageRecorder recorder;
    const CSessionSettings session(7, recorder.Get());
    EXPECT_FALSE(session.IsInForce());
    EXPECT_EQ(recorder.m_messages, std::vector<std::string>{"Can't open file!"});
    EXPECT_EQ(GetConfigPath(), dir.File("config.ini"));
    EXPECT_TRUE(fs::is_empty(temp.Path()));
}

} // namespace
