#include "settings/Settings.h"
#include "base/Files.h"
#include "i18n/Language.h"
#include "tests/support/InstalledLayout.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {

void WriteRaw(const std::string& strPath, std::string_view bytes) {
    std::ofstream file(strPath, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

constexpr const char* kNoFile = nullptr;

TEST(Settings, ConfigPathIsBesideTheExecutable) {
    CExecutableDirectory dir;
    EXPECT_EQ(GetConfigPath(), dir.Path() + "/config.ini");
}

TEST(Settings, AnInstalledProgramKeepsItsConfigInTheUsersDirectory) {
    CInstalledLayout layout;
    EXPECT_EQ(GetConfigPath(), layout.User() + "/config.ini");
}

TEST(Settings, BaudRateFromIndexFollowsTheListOrder) {
    const std::pair<int, std::optional<int>> rows[] = {
        {0, 2400},
        {1, 4800},
        {2, 9600},
        {3, 19200},
        {4, 38400},
        {-1, std::nullopt},
        {5, std::nullopt},
        {7, std::nullopt},
        {INT_MIN, std::nullopt},
        {INT_MAX, std::nullopt},
    };
    for (const auto& [nIndex, nBaudRate] : rows)
        EXPECT_EQ(BaudRateFromIndex(nIndex), nBaudRate) << nIndex;
}

// ---- The readers ----

struct MainRow {
    const char* text; // the file's contents; kNoFile for no file at all
    CMainWindowSettings expected;
};

void ExpectSame(const CMainWindowSettings& actual, const CMainWindowSettings& expected, const char* text) {
    const std::string where = text ? text : "(no file)";
    EXPECT_EQ(actual.m_strLanguage, expected.m_strLanguage) << where;
    EXPECT_EQ(actual.m_nPort, expected.m_nPort) << where;
    EXPECT_EQ(actual.m_nBaudRate, expected.m_nBaudRate) << where;
    EXPECT_EQ(actual.m_nProgram, expected.m_nProgram) << where;
    EXPECT_EQ(actual.m_nCountdownNumber, expected.m_nCountdownNumber) << where;
    EXPECT_EQ(actual.m_strCountdownTime, expected.m_strCountdownTime) << where;
    EXPECT_EQ(actual.m_strBrightness, expected.m_strBrightness) << where;
}

CMainWindowSettings Port(std::optional<int> nPort, std::optional<int> nBaudRate = std::nullopt) {
    CMainWindowSettings settings;
    settings.m_nPort = nPort;
    settings.m_nBaudRate = nBaudRate;
    return settings;
}

const std::string kFortyNines(40, '9');

const MainRow kMainRows[] = {
    {kNoFile, {}},
    {"", {}},
    {"[Settings]\nCOMPort=2\nBaudrate=2\n", Port(3, 9600)},
    {"[Settings]\r\nCOMPort=\r\nBaudrate=\r\n", Port(std::nullopt)},
    {"[Settings]\nCOMPort=   \n", Port(std::nullopt)},
    {"[Settings]\nCOMPort=abc\n", Port(1)},
    {"[Settings]\nBaudrate=7\n", Port(std::nullopt, std::nullopt)},
    {"[Settings]\nBaudrate=-1\n", Port(std::nullopt, std::nullopt)},
    {"[Settings]\nCOMPort=25\nBaudrate=0\n", Port(26, 2400)},
    {"[settings]\ncomport=2\nBAUDRATE= 4 \n", Port(3, 38400)},
    {"[Settings]\nCOMPort=0\nBaudrate=02\n", Port(1, 9600)},
    {"[Settings]\nCOMPort=-3\nBaudrate=abc\n", Port(-2, 2400)},
    {"[Settings]\nCOMPort= +6x\n", Port(7)},
    {"[Settings]\nCOMPort=2147483647\n", Port(INT_MAX)},
    {"[Settings]\nCOMPort=-2147483648\n", Port(INT_MIN + 1)},
    {"[Settings]\nBaudrate=4294967298\n", Port(std::nullopt, std::nullopt)}, // no wrap to 2
    {"[Settings]\nCOMPort=3\n[Settings]\nCOMPort=5\n", Port(4)},
    {"[SetValues]\nCOMPort=3\n", Port(std::nullopt)},
    {"[System]\nLanguage= Deutsch \n",
     {"Deutsch", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
    {"[SetValues]\nProgram=5\nCDNumber=3\nCDTime= 1:30 \nBrightness=7x\n",
     {std::nullopt, std::nullopt, std::nullopt, 5, 3, "1:30", "7x"}},
    {"[setvalues]\nprogram=abc\ncdnumber=-4\ncdtime=Break\nbrightness=\n",
     {std::nullopt, std::nullopt, std::nullopt, 0, -4, "Break", std::nullopt}},
    // as Notepad saves it: a byte-order mark in front of the first section, values in quotes
    {"\xEF\xBB\xBF[Settings]\r\nCOMPort=2\r\nBaudrate=2\r\n", Port(3, 9600)},
    {"[System]\nLanguage=\"Deutsch\"\n",
     {"Deutsch", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
    {"\xEF\xBB\xBF[Settings]\r\nCOMPort=\"4\"\r\n[SetValues]\r\nCDTime=\" 1:30\"\r\n",
     {std::nullopt, 5, std::nullopt, std::nullopt, std::nullopt, " 1:30", std::nullopt}},
};

std::string FileFor(const CTempDir& dir, const char* text) {
    const std::string strPath = dir.File("config.ini");
    if (text)
        WriteRaw(strPath, text);
    return strPath;
}

TEST(Settings, MainWindowReadsEachKeyByItsRule) {
    for (const auto& row : kMainRows) {
        CTempDir dir;
        ExpectSame(ReadMainWindowSettings(FileFor(dir, row.text)), row.expected, row.text);
    }
    CTempDir dir;
    const std::string strPath = FileFor(dir, ("[Settings]\nCOMPort=" + kFortyNines + "\n").c_str());
    EXPECT_EQ(ReadMainWindowSettings(strPath).m_nPort, INT_MAX);
}

TEST(Settings, ReadMemoryAndParametersDialogsReadPortAndLanguageAsTheMainWindowDoes) {
    for (const auto& row : kMainRows) {
        CTempDir dir;
        const CLinkSettings link = ReadLinkSettings(FileFor(dir, row.text));
        const std::string where = row.text ? row.text : "(no file)";
        EXPECT_EQ(link.m_strLanguage, row.expected.m_strLanguage) << where;
        EXPECT_EQ(link.m_nPort, row.expected.m_nPort) << where;
        EXPECT_EQ(link.m_nBaudRate, row.expected.m_nBaudRate) << where;
    }
}

struct PositionRow {
    const char* text;
    std::optional<int> nPort;
    std::optional<int> nBaud;
};

TEST(Settings, ComPortDialogReadsListPositions) {
    const PositionRow rows[] = {
        {kNoFile, std::nullopt, std::nullopt},
        {"[Settings]\nCOMPort=2\nBaudrate=2\n", 2, 2},
        {"[Settings]\nCOMPort=19\n", 19, std::nullopt},
        {"[Settings]\nCOMPort=20\nBaudrate=7\n", 20, 7},
        {"[Settings]\nCOMPort=-3\nBaudrate=-1\n", -3, -1},
        {"[Settings]\nCOMPort=abc\n", 0, std::nullopt},
        {"[Settings]\nCOMPort=\n", std::nullopt, std::nullopt},
        {"[SETTINGS]\ncomport=25\n", 25, std::nullopt},
        {"[Settings]\nCOMPort=99999999999999999999999999999999999999999\n", INT_MAX, std::nullopt},
    };
    for (const auto& row : rows) {
        CTempDir dir;
        const CComPortSettings settings = ReadComPortSettings(FileFor(dir, row.text));
        const std::string where = row.text ? row.text : "(no file)";
        EXPECT_EQ(settings.m_nPortPosition, row.nPort) << where;
        EXPECT_EQ(settings.m_nBaudPosition, row.nBaud) << where;
    }
    CTempDir dir;
    EXPECT_EQ(ReadComPortSettings(FileFor(dir, "[system]\nlanguage=English\n")).m_strLanguage, "English");
}

TEST(Settings, ADirectoryInPlaceOfTheFileReadsAsNoFile) {
    CTempDir dir;
    std::filesystem::create_directory(dir.File("config.ini"));
    ExpectSame(ReadMainWindowSettings(dir.File("config.ini")), {}, "(directory)");
    EXPECT_FALSE(WriteComPortSettings(dir.File("config.ini"), 1, 2));
}

// A FIFO, a file too large to be a settings file and a write-protected file: the readers see what they can at once,
// and the writer changes none of them.
enum class EOddConfig { Fifo, OverLimit, WriteProtected };

struct OddConfigRow {
    const char* name;
    EOddConfig file;
    CMainWindowSettings read;
};

TEST(Settings, OddFilesReadAtOnceAndAreNeverReplaced) {
    constexpr auto kAtOnce = std::chrono::seconds{2};
    const std::string strSmall = "[Settings]\nCOMPort=2\nBaudrate=2\n";
    const OddConfigRow rows[] = {
        {"FIFO named config.ini", EOddConfig::Fifo, {}},
        {"config.ini over the read limit", EOddConfig::OverLimit, {}},
        {"write-protected config.ini", EOddConfig::WriteProtected, Port(3, 9600)},
    };
    for (const auto& row : rows) {
        CTempDir dir;
        const std::string strPath = dir.File("config.ini");
        std::string strContent;
        if (row.file == EOddConfig::Fifo) {
            ASSERT_EQ(::mkfifo(strPath.c_str(), 0644), 0) << row.name;
        } else {
            strContent = strSmall;
            if (row.file == EOddConfig::OverLimit)
                strContent += "[Notes]\n" + std::string(kReadLimitBytes, 'n') + "\n";
            WriteRaw(strPath, strContent);
            if (row.file == EOddConfig::WriteProtected) {
                ASSERT_EQ(::chmod(strPath.c_str(), 0444), 0);
            }
        }
        const auto start = std::chrono::steady_clock::now();
        ExpectSame(ReadMainWindowSettings(strPath), row.read, row.name);
        EXPECT_EQ(ReadLinkSettings(strPath).m_nPort, row.read.m_nPort) << row.name;
        EXPECT_EQ(ReadComPortSettings(strPath).m_nPortPosition.has_value(), row.read.m_nPort.has_value()) << row.name;
        EXPECT_FALSE(WriteComPortSettings(strPath, 5, 4)) << row.name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, kAtOnce) << row.name;
        if (row.file == EOddConfig::Fifo) {
            EXPECT_TRUE(std::filesystem::is_fifo(strPath)) << row.name;
        } else {
            ::chmod(strPath.c_str(), 0644);
            std::ifstream file(strPath, std::ios::binary);
            const std::string strNow((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            EXPECT_TRUE(strNow == strContent) << row.name << ": " << strNow.size() << " bytes";
        }
    }
}

// ---- The writer ----

struct WriteRow {
    const char* before; // kNoFile for no file
    int nPort;
    int nBaud;
    const char* after;
};

TEST(Settings, ComPortDialogWritesPortThenBaudRateAndNothingElse) {
    const WriteRow rows[] = {
        {kNoFile, 0, 2, "[Settings]\r\nCOMPort=0\r\nBaudrate=2\r\n"},
        {"", 3, 2, "[Settings]\r\nCOMPort=3\r\nBaudrate=2\r\n"},
        {kNoFile, -1, -1, "[Settings]\r\nCOMPort=-1\r\nBaudrate=-1\r\n"},
        // the user's System and SetValues sections, comments and blank lines stay as they were
        {"; Kalvora\n[System]\nLanguage=English\n\n[Settings]\nCOMPort=5\nBaudrate=7\n\n[SetValues]\nProgram=3\n"
         "CDTime= 1:30\n",
         19, -1,
         "; Kalvora\n[System]\nLanguage=English\n\n[Settings]\nCOMPort=19\nBaudrate=-1\n\n[SetValues]\nProgram=3\n"
         "CDTime= 1:30\n"},
        {"[System]\r\nLanguage=Deutsch\r\n", 3, 2,
         "[System]\r\nLanguage=Deutsch\r\n[Settings]\r\nCOMPort=3\r\nBaudrate=2\r\n"},
        {"[settings]\ncomport = 5\n[SetValues]\nBrightness=4\n", 2147483647, -2147483647 - 1,
         "[settings]\ncomport = 2147483647\nBaudrate=-2147483648\n[SetValues]\nBrightness=4\n"},
        {"[Settings]\nBaudrate=2\nCOMPort=1\n", 4, 2, "[Settings]\nBaudrate=2\nCOMPort=4\n"},
        // both keys go into the first Settings section, the second one's keys stay as they were
        {"[Settings]\nCOMPort=1\n[Settings]\nBaudrate=0\n", 4, 2,
         "[Settings]\nCOMPort=4\nBaudrate=2\n[Settings]\nBaudrate=0\n"},
        // a byte-order mark stays, and the section after it is the one written
        {"\xEF\xBB\xBF[Settings]\r\nCOMPort=\"5\"\r\n", 3, 2, "\xEF\xBB\xBF[Settings]\r\nCOMPort=3\r\nBaudrate=2\r\n"},
    };
    for (const auto& row : rows) {
        CTempDir dir;
        const std::string strPath = FileFor(dir, row.before);
        EXPECT_TRUE(WriteComPortSettings(strPath, row.nPort, row.nBaud));
        EXPECT_EQ(ReadFileBytes(strPath), row.after) << (row.before ? row.before : "(no file)");
    }
}

TEST(Settings, ASessionsTextNamesItsPortAsTheDialogStoresIt) {
    const std::tuple<const char*, int, const char*> rows[] = {
        {"", 7, "[Settings]\r\nCOMPort=6\r\n"},
        {"[Settings]\nCOMPort=2\nBaudrate=1\n", 7, "[Settings]\nCOMPort=6\nBaudrate=1\n"},
        {"[System]\r\nLanguage=Deutsch\r\n", 12, "[System]\r\nLanguage=Deutsch\r\n[Settings]\r\nCOMPort=11\r\n"},
        {"[settings]\ncomport = 5\n[SetValues]\nBrightness=4\n", 1,
         "[settings]\ncomport = 0\n[SetValues]\nBrightness=4\n"},
    };
    for (const auto& [pszBefore, nPort, pszAfter] : rows) {
        const std::string text = SettingsTextWithPort(pszBefore, nPort);
        EXPECT_EQ(text, pszAfter) << pszBefore;
        CTempDir dir;
        ASSERT_TRUE(WriteFileReplacing(dir.File("config.ini"), text));
        EXPECT_EQ(ReadLinkSettings(dir.File("config.ini")).m_nPort, nPort) << pszBefore << ": the readers' port";
    }
}

TEST(Settings, WhatTheDialogWritesIsWhatTheReadersRead) {
    CTempDir dir;
    const std::string strPath = dir.File("config.ini");
    WriteRaw(strPath, "[System]\nLanguage=English\n[SetValues]\nProgram=2\n");

    ASSERT_TRUE(WriteComPortSettings(strPath, 19, 2)); // "COM 20" at 9600
    const CComPortSettings positions = ReadComPortSettings(strPath);
    EXPECT_EQ(positions.m_nPortPosition, 19);
    EXPECT_EQ(positions.m_nBaudPosition, 2);
    const CLinkSettings link = ReadLinkSettings(strPath);
    EXPECT_EQ(link.m_nPort, 20);
    EXPECT_EQ(link.m_nBaudRate, 9600);
    const CMainWindowSettings main = ReadMainWindowSettings(strPath);
    EXPECT_EQ(main.m_strLanguage, "English");
    EXPECT_EQ(main.m_nProgram, 2);

    ASSERT_TRUE(WriteComPortSettings(strPath, -1, -1)); // no selection in either list
    EXPECT_EQ(ReadLinkSettings(strPath).m_nPort, 0);
    EXPECT_EQ(ReadLinkSettings(strPath).m_nBaudRate, std::nullopt);
    EXPECT_EQ(ReadComPortSettings(strPath).m_nBaudPosition, -1);
}

TEST(Settings, AFailedWriteIsReportedAndChangesNothing) {
    CTempDir dir;
    EXPECT_FALSE(WriteComPortSettings(dir.File("missing/config.ini"), 1, 2));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
}

TEST(Settings, AnUnreadableFileIsNotOverwritten) {
    if (geteuid() == 0)
        GTEST_SKIP() << "the superuser reads any file";
    CTempDir dir;
    const std::string strPath = dir.File("config.ini");
    WriteRaw(strPath, "[System]\nLanguage=English\n");
    std::filesystem::permissions(strPath, std::filesystem::perms::owner_write);
    EXPECT_FALSE(WriteComPortSettings(strPath, 1, 2));
    std::filesystem::permissions(strPath, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(ReadFileBytes(strPath), "[System]\nLanguage=English\n");
}

} // namespace

// The start list the memory's exports take their names from: written into its own section, every other line as it
// was, and read back as written; none where the key is missing or empty.
TEST(Settings, TheStartListFileIsWrittenAndReadBack) {
    struct CRow {
        const char* before; // kNoFile: no file
        const char* pszWritten;
        const char* pszAfter;
    };
    const CRow rows[] = {
        {kNoFile, "C:\\Races\\Cup3\\startlist.xml", "[StartList]\r\nFile=C:\\Races\\Cup3\\startlist.xml\r\n"},
        {"[Settings]\nCOMPort=2\n[StartList]\nFile=old.csv\n", "/home/ola/heat 3.csv",
         "[Settings]\nCOMPort=2\n[StartList]\nFile=/home/ola/heat 3.csv\n"},
    };
    for (const CRow& row : rows) {
        CTempDir dir;
        const std::string strPath = FileFor(dir, row.before);
        EXPECT_EQ(ReadStartListSetting(strPath).has_value(), row.before != kNoFile);
        EXPECT_TRUE(WriteStartListSetting(strPath, row.pszWritten));
        EXPECT_EQ(ReadFileBytes(strPath), row.pszAfter);
        EXPECT_EQ(ReadStartListSetting(strPath), row.pszWritten);
        EXPECT_EQ(ReadLinkSettings(strPath).m_nPort, row.before == kNoFile ? std::nullopt : std::optional<int>(3));
    }
    CTempDir dir;
    EXPECT_EQ(ReadStartListSetting(FileFor(dir, "[StartList]\nFile=\n")), std::nullopt);
}
