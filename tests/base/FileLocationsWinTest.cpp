// Where the program's files live on Windows: beside the executable in a portable copy, in the user's roaming
// application data when installed in Program Files or where the user may not write.

#include "base/ExecutableDirectory.h"
#include "base/FileLocations.h"
#include "base/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <filesystem>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr std::nullopt_t kUnset = std::nullopt;

// A known folder of the system in the program's narrow paths; empty when it has none.
std::string KnownFolder(REFKNOWNFOLDERID id) {
    wchar_t* pszPath = nullptr;
    std::string strPath;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &pszPath)))
        strPath = fs::path(pszPath).string();
    CoTaskMemFree(pszPath);
    return strPath;
}

std::string Upper(std::string strText) {
    CharUpperBuffA(strText.data(), static_cast<DWORD>(strText.size()));
    return strText;
}

std::string ForwardSlashes(std::string strText) {
    for (char& c : strText)
        if (c == '\\')
            c = '/';
    return strText;
}

struct LocationRow {
    const char* pszName;
    CFileLocationFacts facts;
    CFileLocations expected;
};

TEST(FileLocationsFor, PortableBesideTheExecutableInstalledInTheApplicationData) {
    const char* pszAppData = "C:\\Users\\ann\\AppData\\Roaming";
    const LocationRow rows[] = {
        {"installed in Program Files (Wine lets the user write there)",
         {"C:\\Program Files\\Kalvora", true, false, kUnset, kUnset, true, pszAppData},
         {true, "C:\\Users\\ann\\AppData\\Roaming\\Kalvora", "C:\\Program Files\\Kalvora"}},
        {"installed in Program Files, which the user may not write",
         {"C:\\Program Files\\Kalvora", false, false, kUnset, kUnset, true, pszAppData},
         {true, "C:\\Users\\ann\\AppData\\Roaming\\Kalvora", "C:\\Program Files\\Kalvora"}},
        {"installed in the 32-bit Program Files",
         {"C:\\Program Files (x86)\\Kalvora", true, false, kUnset, kUnset, true, pszAppData},
         {true, "C:\\Users\\ann\\AppData\\Roaming\\Kalvora", "C:\\Program Files (x86)\\Kalvora"}},
        {"a portable copy on the desktop",
         {"C:\\Users\\ann\\Desktop\\Kalvora", true, false, kUnset, kUnset, false, pszAppData},
         {false, "C:\\Users\\ann\\Desktop\\Kalvora", "C:\\Users\\ann\\Desktop\\Kalvora"}},
        {"a portable copy on a USB stick",
         {"E:\\Kalvora", true, false, kUnset, kUnset, false, pszAppData},
         {false, "E:\\Kalvora", "E:\\Kalvora"}},
        {"a copy on a share the user may only read",
         {"\\\\club\\tools\\Kalvora", false, false, kUnset, kUnset, false, pszAppData},
         {true, "C:\\Users\\ann\\AppData\\Roaming\\Kalvora", "\\\\club\\tools\\Kalvora"}},
        {"an application data folder named with a trailing separator",
         {"C:\\Program Files\\Kalvora", false, false, kUnset, kUnset, true, "C:\\Users\\ann\\AppData\\Roaming\\"},
         {true, "C:\\Users\\ann\\AppData\\Roaming\\Kalvora", "C:\\Program Files\\Kalvora"}},
        {"an application data folder with a letter beyond ASCII (UTF-8, as the program's paths are)",
         {"C:\\Program Files\\Kalvora", false, false, kUnset, kUnset, true,
          "C:\\Users\\J\xC3\xBCrgen\\AppData\\Roaming"},
         {true, "C:\\Users\\J\xC3\xBCrgen\\AppData\\Roaming\\Kalvora", "C:\\Program Files\\Kalvora"}},
        {"a user whose name the Western European code page cannot write: the folder as the system names it",
         {"C:\\Program Files\\Kalvora", false, false, kUnset, kUnset, true,
          "C:\\users\\\xC5\x81ukasz\\AppData\\Roaming"},
         {true, "C:\\users\\\xC5\x81ukasz\\AppData\\Roaming\\Kalvora", "C:\\Program Files\\Kalvora"}},
        {"installed without an application data folder: the files stay beside the executable",
         {"C:\\Program Files\\Kalvora", false, false, kUnset, kUnset, true, kUnset},
         {true, "C:\\Program Files\\Kalvora", "C:\\Program Files\\Kalvora"}},
    };
    for (const auto& row : rows) {
        const CFileLocations locations = FileLocationsFor(row.facts);
        EXPECT_EQ(locations.m_bInstalled, row.expected.m_bInstalled) << row.pszName;
        EXPECT_EQ(locations.m_strFiles, row.expected.m_strFiles) << row.pszName;
        EXPECT_EQ(locations.m_strShipped, row.expected.m_strShipped) << row.pszName;
    }
}

// ---- The facts of the running system

TEST(GatherFileLocationFacts, ProgramFilesAreTheSystemsFoldersWhateverTheSpelling) {
    const std::string strProgramFiles = KnownFolder(FOLDERID_ProgramFiles);
    const std::string strProgramFilesX86 = KnownFolder(FOLDERID_ProgramFilesX86);
    ASSERT_FALSE(strProgramFiles.empty());
    CTempDir temp;
    const std::pair<std::string, bool> rows[] = {
        {strProgramFiles, true},
        {strProgramFiles + "\\Kalvora", true},
        {strProgramFiles + "\\Kalvora\\", true},
        {strProgramFiles + "\\Club\\Kalvora", true},
        {Upper(strProgramFiles) + "\\KALVORA", true},
        {ForwardSlashes(strProgramFiles) + "/Kalvora", true},
        {strProgramFiles + " Extra\\Kalvora", false},
        {strProgramFiles.substr(0, strProgramFiles.size() - 1), false},
        {strProgramFilesX86.empty() ? strProgramFiles : strProgramFilesX86 + "\\Kalvora", true},
        {temp.Path(), false},
        {"E:\\Kalvora", false},
    };
    for (const auto& [strDirectory, bInProgramFiles] : rows) {
        const CFileLocationFacts facts = GatherFileLocationFacts(strDirectory);
        EXPECT_EQ(facts.m_bInProgramFiles, bInProgramFiles) << strDirectory;
        if (bInProgramFiles) {
            EXPECT_FALSE(facts.m_bExecutableDirectoryWritable)
                << strDirectory << ": Program Files decides without a trial file (Wine lets the user write there)";
        }
    }
}

TEST(GatherFileLocationFacts, TheApplicationDataIsTheUsersRoamingFolder) {
    CTempDir temp;
    const CFileLocationFacts facts = GatherFileLocationFacts(temp.Path());
    ASSERT_TRUE(facts.m_strAppData);
    EXPECT_EQ(*facts.m_strAppData, KnownFolder(FOLDERID_RoamingAppData));
    EXPECT_EQ(facts.m_strExecutableDirectory, temp.Path());
    EXPECT_FALSE(facts.m_bShippedDirectoryPresent) << "the shipped files sit beside the executable";
    EXPECT_FALSE(facts.m_strXdgDataHome) << "a variable of other systems";
}

TEST(GatherFileLocationFacts, TheRightToWriteIsTriedAndLeavesNothingBehind) {
    CTempDir temp;
    EXPECT_TRUE(GatherFileLocationFacts(temp.Path()).m_bExecutableDirectoryWritable);
    EXPECT_TRUE(fs::is_empty(temp.Path())) << "the trial file is gone";
    EXPECT_FALSE(GatherFileLocationFacts(temp.File("missing")).m_bExecutableDirectoryWritable);
}

// ---- The running program's

TEST(CurrentFileLocations, AProgramInProgramFilesKeepsTheUsersFilesInTheApplicationData) {
    const std::string strInstalled = KnownFolder(FOLDERID_ProgramFiles) + "\\Kalvora";
    SetExecutableDirectory(strInstalled);
    const CFileLocations locations = CurrentFileLocations();
    CExecutableDirectory restore; // the tests' own directory again
    EXPECT_TRUE(locations.m_bInstalled);
    EXPECT_EQ(locations.m_strFiles, KnownFolder(FOLDERID_RoamingAppData) + "\\Kalvora");
    EXPECT_EQ(locations.m_strShipped, strInstalled);
}

TEST(CurrentFileLocations, APortableCopyKeepsItsFilesBesideItself) {
    CExecutableDirectory dir;
    EXPECT_FALSE(CurrentFileLocations().m_bInstalled);
    EXPECT_EQ(FilesDirectory(), dir.Path());
    EXPECT_EQ(ShippedDirectory(), dir.Path());
    EXPECT_TRUE(PrepareFilesDirectory());
    EXPECT_TRUE(fs::is_empty(dir.Path())) << "a portable copy's first start copies nothing";
}

} // namespace
