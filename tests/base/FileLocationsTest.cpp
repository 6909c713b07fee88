// Where the program's files live: beside the executable when built or copied, in the user's own directory with the
// shipped files read from the install tree when installed.

#include "base/FileLocations.h"
#include "base/ExecutableDirectory.h"
#include "base/Files.h"
#include "tests/support/InstalledLayout.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr std::nullopt_t kUnset = std::nullopt;

struct LocationRow {
    const char* pszName;
    CFileLocationFacts facts;
    CFileLocations expected;
};

TEST(FileLocationsFor, BesideTheExecutableUnlessInstalled) {
    const LocationRow rows[] = {
        {"build tree",
         {"/src/build/bin", true, false, "/home/ann/data", "/home/ann", false, kUnset},
         {false, "/src/build/bin", "/src/build/bin"}},
        {"portable copy without a home",
         {"/media/stick/kalvora", true, false, kUnset, kUnset, false, kUnset},
         {false, "/media/stick/kalvora", "/media/stick/kalvora"}},
        {"package run by a user",
         {"/usr/bin", false, true, kUnset, "/home/ann", false, kUnset},
         {true, "/home/ann/.local/share/kalvora", "/usr/share/kalvora"}},
        {"package run by root, who may write /usr/bin",
         {"/usr/bin", true, true, kUnset, "/root", false, kUnset},
         {true, "/root/.local/share/kalvora", "/usr/share/kalvora"}},
        {"XDG_DATA_HOME wins over the home",
         {"/usr/bin", false, true, "/srv/ann", "/home/ann", false, kUnset},
         {true, "/srv/ann/kalvora", "/usr/share/kalvora"}},
        {"XDG_DATA_HOME with a trailing separator",
         {"/usr/bin", false, true, "/srv/ann/", "/home/ann", false, kUnset},
         {true, "/srv/ann/kalvora", "/usr/share/kalvora"}},
        {"a relative XDG_DATA_HOME is ignored",
         {"/usr/bin", false, true, "data", "/home/ann", false, kUnset},
         {true, "/home/ann/.local/share/kalvora", "/usr/share/kalvora"}},
        {"an empty XDG_DATA_HOME is ignored",
         {"/usr/bin", false, true, "", "/home/ann", false, kUnset},
         {true, "/home/ann/.local/share/kalvora", "/usr/share/kalvora"}},
        {"a home with a trailing separator",
         {"/usr/bin", false, true, kUnset, "/home/ann/", false, kUnset},
         {true, "/home/ann/.local/share/kalvora", "/usr/share/kalvora"}},
        {"installed without any home: the files stay beside the executable",
         {"/usr/bin", false, true, kUnset, kUnset, false, kUnset},
         {true, "/usr/bin", "/usr/share/kalvora"}},
        {"a relative home counts as none",
         {"/usr/bin", false, true, kUnset, "ann", false, kUnset},
         {true, "/usr/bin", "/usr/share/kalvora"}},
        {"other prefix",
         {"/usr/local/bin", false, true, kUnset, "/home/ann", false, kUnset},
         {true, "/home/ann/.local/share/kalvora", "/usr/local/share/kalvora"}},
        {"staged install tree, writable",
         {"/tmp/stage/usr/bin", true, true, "/tmp/xdg", "/root", false, kUnset},
         {true, "/tmp/xdg/kalvora", "/tmp/stage/usr/share/kalvora"}},
        {"a copy where the user may not write: the shipped files are its own",
         {"/opt/kalvora", false, false, kUnset, "/home/ann", false, kUnset},
         {true, "/home/ann/.local/share/kalvora", "/opt/kalvora"}},
        // Windows's facts, in this platform's paths (FileLocationsWinTest has them in Windows's).
        {"in Program Files, which Wine lets the user write",
         {"/pf/Kalvora", true, false, kUnset, kUnset, true, "/ann/AppData/Roaming"},
         {true, "/ann/AppData/Roaming/Kalvora", "/pf/Kalvora"}},
        {"in Program Files where the user may not write",
         {"/pf/Kalvora", false, false, kUnset, kUnset, true, "/ann/AppData/Roaming"},
         {true, "/ann/AppData/Roaming/Kalvora", "/pf/Kalvora"}},
        {"a portable copy in the user's own folder",
         {"/ann/Kalvora", true, false, kUnset, kUnset, false, "/ann/AppData/Roaming"},
         {false, "/ann/Kalvora", "/ann/Kalvora"}},
        {"a portable copy where the user may not write",
         {"/share/Kalvora", false, false, kUnset, kUnset, false, "/ann/AppData/Roaming"},
         {true, "/ann/AppData/Roaming/Kalvora", "/share/Kalvora"}},
        {"the application data wins over XDG_DATA_HOME and the home",
         {"/pf/Kalvora", false, false, "/srv/ann", "/home/ann", true, "/ann/AppData/Roaming/"},
         {true, "/ann/AppData/Roaming/Kalvora", "/pf/Kalvora"}},
        {"an application data folder with a byte beyond ASCII, not UTF-8",
         {"/pf/Kalvora", false, false, kUnset, kUnset, true, "/J\xFCrgen/AppData/Roaming"},
         {true, "/J\xFCrgen/AppData/Roaming/Kalvora", "/pf/Kalvora"}},
        {"an empty application data folder counts as none",
         {"/pf/Kalvora", false, false, kUnset, kUnset, true, ""},
         {true, "/pf/Kalvora", "/pf/Kalvora"}},
    };
    for (const auto& row : rows) {
        const CFileLocations locations = FileLocationsFor(row.facts);
        EXPECT_EQ(locations.m_bInstalled, row.expected.m_bInstalled) << row.pszName;
        EXPECT_EQ(locations.m_strFiles, row.expected.m_strFiles) << row.pszName;
        EXPECT_EQ(locations.m_strShipped, row.expected.m_strShipped) << row.pszName;
    }
}

TEST(ShippedDirectoryFor, IsTheDataDirectoryBesideTheBinDirectory) {
    const std::pair<const char*, const char*> rows[] = {
        {"/usr/bin", "/usr/share/kalvora"},
        {"/usr/bin/", "/usr/share/kalvora"},
        {"/usr/local/bin", "/usr/local/share/kalvora"},
        {"/tmp/stage/usr/bin", "/tmp/stage/usr/share/kalvora"},
        {"/a/./bin", "/a/share/kalvora"},
    };
    for (const auto& [pszBin, pszShipped] : rows)
        EXPECT_EQ(ShippedDirectoryFor(pszBin), pszShipped) << pszBin;
}

// ---- The running program's

TEST(CurrentFileLocations, AnInstalledLayoutSendsTheFilesToTheUsersDirectory) {
    CInstalledLayout layout;
    EXPECT_TRUE(CurrentFileLocations().m_bInstalled);
    EXPECT_EQ(FilesDirectory(), layout.User());
    EXPECT_EQ(ShippedDirectory(), layout.Shipped());
}

TEST(CurrentFileLocations, APlainDirectoryKeepsThemBesideTheExecutable) {
    CExecutableDirectory dir;
    EXPECT_FALSE(CurrentFileLocations().m_bInstalled);
    EXPECT_EQ(FilesDirectory(), dir.Path());
    EXPECT_EQ(ShippedDirectory(), dir.Path());
}

TEST(CurrentFileLocations, IsDecidedAgainForAnotherExecutableDirectory) {
    {
        CInstalledLayout layout;
        EXPECT_EQ(FilesDirectory(), layout.User());
    }
    CExecutableDirectory dir;
    EXPECT_EQ(FilesDirectory(), dir.Path());
}

TEST(CurrentFileLocations, IsDecidedOnceUntilTheDirectoryIsSetAgain) {
    CInstalledLayout layout;
    EXPECT_EQ(FilesDirectory(), layout.User());
    setenv("XDG_DATA_HOME", layout.File("other").c_str(), 1);
    EXPECT_EQ(FilesDirectory(), layout.User()) << "a running program keeps its decision";
    SetExecutableDirectory(layout.Bin());
    EXPECT_EQ(FilesDirectory(), layout.File("other/kalvora")) << "the same directory set again is decided again";
}

TEST(GatherFileLocationFacts, SeesTheLayoutTheVariablesAndTheRightToWrite) {
    CInstalledLayout layout;
    const CFileLocationFacts facts = GatherFileLocationFacts(layout.Bin());
    EXPECT_EQ(facts.m_strExecutableDirectory, layout.Bin());
    EXPECT_TRUE(facts.m_bShippedDirectoryPresent);
    EXPECT_TRUE(facts.m_bExecutableDirectoryWritable);
    EXPECT_EQ(facts.m_strXdgDataHome, layout.XdgDataHome());
    EXPECT_FALSE(facts.m_bInProgramFiles) << "a fact of Windows alone";
    EXPECT_FALSE(facts.m_strAppData) << "a fact of Windows alone";
    EXPECT_FALSE(GatherFileLocationFacts(layout.Path()).m_bShippedDirectoryPresent);
}

TEST(GatherFileLocationFacts, ADirectoryTheUserCannotWriteIsSeen) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write any directory";
    CTempDir dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0555), 0);
    const CFileLocationFacts facts = GatherFileLocationFacts(dir.Path());
    chmod(dir.Path().c_str(), 0755);
    EXPECT_FALSE(facts.m_bExecutableDirectoryWritable);
    EXPECT_TRUE(FileLocationsFor(facts).m_bInstalled);
}

// ---- Files the user may replace

struct DataFileRow {
    const char* pszName;
    bool bUserCopy;
    bool bShippedCopy;
    bool bExpectUser;
};

TEST(DataFilePath, TheUsersCopyWhenThereIsOneElseTheShippedOne) {
    const DataFileRow rows[] = {
        {"shipped only", false, true, false},
        {"both", true, true, true},
        {"the user's only", true, false, true},
        {"neither: the shipped path, which the reader finds missing", false, false, false},
    };
    for (const auto& row : rows) {
        CInstalledLayout layout;
        if (row.bUserCopy)
            layout.WriteUserFile("lng_English.ini", "user");
        if (row.bShippedCopy)
            layout.WriteShippedFile("lng_English.ini", "shipped");
        const std::string strExpected = (row.bExpectUser ? layout.User() : layout.Shipped()) + "/lng_English.ini";
        EXPECT_EQ(DataFilePath("lng_English.ini"), strExpected) << row.pszName;
    }
}

TEST(DataFilePath, BuiltBothAreTheExecutablesDirectory) {
    CExecutableDirectory dir;
    EXPECT_EQ(DataFilePath("identifiers.ini"), dir.File("identifiers.ini"));
}

// ---- The first start

TEST(PrepareFilesDirectory, TheFirstStartMakesTheDirectoryAndCopiesTheDefaultSettings) {
    CInstalledLayout layout;
    layout.WriteShippedFile("config.ini", "[System]\r\nLanguage=English\r\n");
    ASSERT_FALSE(fs::exists(layout.User()));
    EXPECT_TRUE(PrepareFilesDirectory());
    EXPECT_EQ(ReadFileBytes(layout.User() + "/config.ini"), "[System]\r\nLanguage=English\r\n");
    EXPECT_EQ(fs::status(layout.User()).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(layout.Bin() + "/config.ini"));
}

TEST(PrepareFilesDirectory, ALaterStartKeepsTheUsersSettings) {
    CInstalledLayout layout;
    layout.WriteShippedFile("config.ini", "[System]\nLanguage=English\n");
    layout.WriteUserFile("config.ini", "[Settings]\nCOMPort=2\n");
    EXPECT_TRUE(PrepareFilesDirectory());
    EXPECT_EQ(ReadFileBytes(layout.User() + "/config.ini"), "[Settings]\nCOMPort=2\n");
}

TEST(PrepareFilesDirectory, NoShippedSettingsLeavesTheUserWithout) {
    CInstalledLayout layout;
    EXPECT_FALSE(PrepareFilesDirectory());
    EXPECT_TRUE(fs::is_directory(layout.User()));
    EXPECT_FALSE(fs::exists(layout.User() + "/config.ini"));
}

TEST(PrepareFilesDirectory, ADirectoryThatCannotBeMadeIsReported) {
    CInstalledLayout layout;
    layout.WriteShippedFile("config.ini", "[System]\n");
    fs::remove(layout.XdgDataHome());
    ASSERT_TRUE(WriteFileReplacing(layout.XdgDataHome(), "a file where the directory should be"));
    EXPECT_FALSE(MakeFilesDirectory());
    EXPECT_FALSE(PrepareFilesDirectory());
}

TEST(PrepareFilesDirectory, BuiltNothingIsWritten) {
    CExecutableDirectory dir;
    EXPECT_TRUE(PrepareFilesDirectory());
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

} // namespace
