// The file layer on Windows: what reads as a file, the read-only attribute as the write protection, replacement
// through a temporary file beside the target, and the executable's directory.

#include "base/ExecutableDirectory.h"
#include "base/Files.h"
#include "base/IniFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

void WriteRaw(const std::string& strPath, std::string_view bytes) {
    std::ofstream file(strPath, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::set<std::string> Names(const std::string& strDirectory) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(strDirectory))
        names.insert(entry.path().filename().string());
    return names;
}

DWORD Attributes(const std::string& strPath) {
    return GetFileAttributesA(strPath.c_str());
}

// Sets a file's last write time to `age` ago.
bool Age(const std::string& strPath, std::chrono::seconds age) {
    const HANDLE hFile = CreateFileA(strPath.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time{};
    time.LowPart = now.dwLowDateTime;
    time.HighPart = now.dwHighDateTime;
    time.QuadPart -= static_cast<ULONGLONG>(age.count()) * 10'000'000ull;
    FILETIME then{time.LowPart, time.HighPart};
    const bool bSet = SetFileTime(hFile, nullptr, nullptr, &then) != FALSE;
    CloseHandle(hFile);
    return bSet;
}

struct SNotAFileRow {
    const char* pszPath; // relative to a fresh directory, or absolute when it starts with a backslash
    const char* pszWhy;
    bool bWritable; // a new file may be made there
};

TEST(FilesWinRead, DevicesPipesAndDirectoriesReadAsNoFile) {
    CTempDir dir;
    fs::create_directory(dir.File("folder.ini"));
    const SNotAFileRow rows[] = {
        {"NUL", "the null device", false},
        {"nul.txt", "a device name with an extension is the device", false},
        {"COM1", "a serial port: opening it would act on the line", false},
        {"com7 .ini", "a device name with trailing blanks", false},
        {"LPT1", "a printer port", false},
        {"CON", "the console", false},
        {"\\\\.\\COM7", "the device namespace", false},
        {"\\\\.\\pipe\\kalvora-none", "a pipe", false},
        {"folder.ini", "a directory", false},
        {"missing.ini", "no file at all", true},
    };
    for (const auto& row : rows) {
        const std::string strPath = row.pszPath[0] == '\\' ? row.pszPath : dir.File(row.pszPath);
        EXPECT_EQ(ReadFileBytes(strPath), std::nullopt) << row.pszWhy;
        EXPECT_EQ(ReadFileStart(strPath), std::nullopt) << row.pszWhy;
        EXPECT_EQ(WriteFileReplacing(strPath, "x"), row.bWritable) << row.pszWhy;
    }
    EXPECT_TRUE(fs::is_directory(dir.File("folder.ini")));
    EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"folder.ini", "missing.ini"}));
}

TEST(FilesWinRead, AFileOverTheLimitReadsAsNothingOrAsItsStart) {
    CTempDir dir;
    const std::string strLimit(kReadLimitBytes, 'a');
    WriteRaw(dir.File("limit.ini"), strLimit);
    WriteRaw(dir.File("over.ini"), strLimit + "b");
    EXPECT_EQ(ReadFileBytes(dir.File("limit.ini")), strLimit);
    EXPECT_EQ(ReadFileBytes(dir.File("over.ini")), std::nullopt);
    EXPECT_EQ(ReadFileStart(dir.File("over.ini")), strLimit);
}

TEST(FilesWinRead, AFileAnotherProgramKeepsOpenForWritingIsReadAtOnce) {
    CTempDir dir;
    WriteRaw(dir.File("config.ini"), "[S]\r\nK=1\r\n");
    const HANDLE hWriter = CreateFileA(dir.File("config.ini").c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hWriter, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadFileBytes(dir.File("config.ini")), "[S]\r\nK=1\r\n");
    CloseHandle(hWriter);
}

TEST(FilesWinReplace, ReplacesWholeThroughPathsWithEitherSeparator) {
    CTempDir dir;
    std::string strBackslashed = dir.File("out.txt");
    std::replace(strBackslashed.begin(), strBackslashed.end(), '/', '\\');
    ASSERT_TRUE(WriteFileReplacing(dir.File("out.txt"), "first"));
    ASSERT_TRUE(WriteFileReplacing(strBackslashed, "second\r\n"));
    EXPECT_EQ(ReadFileBytes(dir.File("out.txt")), "second\r\n");
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"out.txt"}); // no temporary file is left
}

TEST(FilesWinReplace, AReadOnlyFileIsNotReplaced) {
    CTempDir dir;
    const std::string strPath = dir.File("config.ini");
    WriteRaw(strPath, "[S]\r\nK=1\r\n");
    ASSERT_TRUE(SetFileAttributesA(strPath.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(WriteFileReplacing(strPath, "new"));
    EXPECT_FALSE(CIniFile::WriteString(strPath, "S", "K", "2")); // nor by the INI writer, which goes through it
    EXPECT_EQ(ReadFileBytes(strPath), "[S]\r\nK=1\r\n");
    EXPECT_NE(Attributes(strPath) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"config.ini"});
    SetFileAttributesA(strPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(CIniFile::WriteString(strPath, "S", "K", "2"));
    EXPECT_EQ(ReadFileBytes(strPath), "[S]\r\nK=2\r\n");
}

TEST(FilesWinReplace, AFileAnotherProgramHoldsAgainstWritersIsNotWritten) {
    CTempDir dir;
    const std::string strPath = dir.File("P1.txt");
    WriteRaw(strPath, "old");
    const HANDLE hHolder =
        CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hHolder, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteFileReplacing(strPath, "new"));
    CloseHandle(hHolder);
    EXPECT_EQ(ReadFileBytes(strPath), "old");
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"P1.txt"});
}

TEST(FilesWinReplace, AMissingDirectoryFailsAndCreatesNothing) {
    CTempDir dir;
    EXPECT_FALSE(WriteFileReplacing(dir.File("missing/out.txt"), "x"));
    EXPECT_FALSE(WriteFileReplacing(dir.Path(), "x"));
    EXPECT_TRUE(Names(dir.Path()).empty());
}

TEST(FilesWinReplace, TheReplacedFileKeepsItsAttributes) {
    CTempDir dir;
    const std::string strPath = dir.File("config.ini");
    WriteRaw(strPath, "old");
    if (!SetFileAttributesA(strPath.c_str(), FILE_ATTRIBUTE_HIDDEN) ||
        (Attributes(strPath) & FILE_ATTRIBUTE_HIDDEN) == 0)
        GTEST_SKIP() << "this file system keeps no hidden attribute";
    ASSERT_TRUE(WriteFileReplacing(strPath, "new"));
    EXPECT_EQ(ReadFileBytes(strPath), "new");
    EXPECT_NE(Attributes(strPath) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST(FilesWinReplace, ASaveRemovesOnlyStaleTemporaryFilesOfItsOwnFile) {
    CTempDir dir;
    const std::string strStale = TemporaryFileName("out.txt");   // a killed save's, long ago
    const std::string strRecent = TemporaryFileName("out.txt");  // one that may be moving in now
    const std::string strHeld = TemporaryFileName("out.txt");    // a running save's
    const std::string strOther = TemporaryFileName("other.txt"); // another file's
    const std::string strLookalike = ".out.txt.kalvora-ab";      // not of the form
    for (const std::string& strName : {strStale, strRecent, strHeld, strOther, strLookalike})
        WriteRaw(dir.File(strName), "left");
    for (const std::string& strName : {strStale, strHeld, strOther, strLookalike})
        ASSERT_TRUE(Age(dir.File(strName), std::chrono::seconds{120}));
    const HANDLE hRunning =
        CreateFileA(dir.File(strHeld).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hRunning, INVALID_HANDLE_VALUE);

    ASSERT_TRUE(WriteFileReplacing(dir.File("out.txt"), "saved"));
    CloseHandle(hRunning);
    EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"out.txt", strRecent, strHeld, strOther, strLookalike}));
}

TEST(FilesWinReplace, ASymbolicLinkStaysALinkToTheReplacedFile) {
    CTempDir dir;
    WriteRaw(dir.File("real.ini"), "old");
    // Wine answers that it made the link and makes none.
    if (!CreateSymbolicLinkA(dir.File("link.ini").c_str(), dir.File("real.ini").c_str(), 0) ||
        Attributes(dir.File("link.ini")) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "this system makes no symbolic links for this user";
    ASSERT_TRUE(WriteFileReplacing(dir.File("link.ini"), "new"));
    EXPECT_NE(Attributes(dir.File("link.ini")) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    EXPECT_EQ(ReadFileBytes(dir.File("real.ini")), "new");
    EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"link.ini", "real.ini"}));
}

// Under Wine the links are those of the Unix file system below, made for the test beforehand (KALVORA_UNIX_LINKS
// names their directory, where link.ini leads to real.ini).
TEST(FilesWinReplace, AUnixLinkUnderWineStaysALinkToTheReplacedFile) {
    const char* pszLinks = std::getenv("KALVORA_UNIX_LINKS");
    if (pszLinks == nullptr)
        GTEST_SKIP() << "not under Wine";
    const std::string strLinks = pszLinks;
    ASSERT_EQ(ReadFileBytes(strLinks + "/real.ini"), "old");
    ASSERT_TRUE(WriteFileReplacing(strLinks + "/link.ini", "new"));
    EXPECT_EQ(ReadFileBytes(strLinks + "/real.ini"), "new");
    EXPECT_EQ(ReadFileBytes(strLinks + "/link.ini"), "new");
    EXPECT_EQ(Names(strLinks), (std::set<std::string>{"link.ini", "real.ini"})); // and no temporary file is left
}

TEST(FilesWinAttributes, ResetMakesAFileNormalAndLeavesTheRest) {
    CTempDir dir;
    const std::string strPath = dir.File("lng_English.ini");
    WriteRaw(strPath, "[Strings]\r\n");
    ASSERT_TRUE(SetFileAttributesA(strPath.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ResetFileAttributes(strPath);
    EXPECT_EQ(Attributes(strPath) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), 0u);
    ResetFileAttributes(dir.File("missing.ini")); // nothing to do, and no harm
    fs::create_directory(dir.File("folder.ini"));
    ResetFileAttributes(dir.File("folder.ini"));
    EXPECT_NE(Attributes(dir.File("folder.ini")) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(ReadFileBytes(strPath), "[Strings]\r\n");
}

// ---- Names, existence and the temporary directory, in the ANSI code page

std::string Backslashes(std::string strPath) {
    std::replace(strPath.begin(), strPath.end(), '/', '\\');
    return strPath;
}

TEST(FilesWinNames, TheFileNameFollowsTheLastSeparatorOfEitherKind) {
    const std::pair<const char*, const char*> rows[] = {
        {"C:\\Users\\J\xFCrgen\\starts.txt", "starts.txt"},
        {"C:\\exports\\M\xFCnster.txt", "M\xFCnster.txt"},
        {"\\\\club\\share\\caf\xE9.txt", "caf\xE9.txt"},
        {"C:/exports/starts.txt", "starts.txt"},
        {"C:\\exports/sub\\starts.txt", "starts.txt"},
        {"C:starts.txt", "starts.txt"},
        {"starts.txt", "starts.txt"},
        {"C:\\exports\\", ""},
    };
    for (const auto& [pszPath, pszName] : rows)
        EXPECT_EQ(FileNameOf(pszPath), pszName) << pszPath;
}

TEST(FilesWinNames, WhatExistsIsSeenWhateverItsName) {
    CTempDir dir;
    WriteRaw(dir.File("file.txt"), "x");
    ASSERT_TRUE(WriteFileReplacing(dir.File("M\xFCnster.txt"), "x"));
    ASSERT_TRUE(CreateDirectoryA(dir.File("J\xFCrgen").c_str(), nullptr));
    ASSERT_TRUE(WriteFileReplacing(dir.File("J\xFCrgen/starts.txt"), "x"));
    const std::pair<std::string, bool> rows[] = {
        {dir.File("file.txt"), true},
        {Backslashes(dir.File("file.txt")), true},
        {dir.File("M\xFCnster.txt"), true},
        {dir.File("J\xFCrgen"), true},
        {Backslashes(dir.File("J\xFCrgen/starts.txt")), true},
        {dir.File("J\xFCrgen/missing.txt"), false},
        {dir.File("missing.txt"), false},
        {dir.File("file.txt/inner"), false},
        {"", false},
    };
    for (const auto& [strPath, bExists] : rows)
        EXPECT_EQ(PathExists(strPath), bExists) << strPath;
}

TEST(FilesWinNames, TheTemporaryDirectoryIsTheSystemsInTheAnsiCodePage) {
    CTempDir dir;
    ASSERT_TRUE(CreateDirectoryA(dir.File("J\xFCrgen").c_str(), nullptr));
    WriteRaw(dir.File("file.txt"), "x");
    const std::string strDir = Backslashes(dir.Path());
    const std::pair<std::string, std::string> rows[] = {
        {strDir, strDir},
        {strDir + "\\", strDir},
        {strDir + "\\J\xFCrgen", strDir + "\\J\xFCrgen"},
        {strDir + "\\J\xFCrgen\\", strDir + "\\J\xFCrgen"},
        {strDir + "\\missing", ""},
        {strDir + "\\file.txt", ""},
    };
    char szSaved[32768]{};
    const DWORD nSaved = GetEnvironmentVariableA("TMP", szSaved, sizeof szSaved);
    for (const auto& [strTmp, strExpected] : rows) {
        ASSERT_TRUE(SetEnvironmentVariableA("TMP", strTmp.c_str()));
        EXPECT_EQ(TemporaryDirectory(), strExpected) << strTmp;
    }
    SetEnvironmentVariableA("TMP", nSaved > 0 && nSaved < sizeof szSaved ? szSaved : nullptr);
}

TEST(FilesWinExecutableDirectory, IsTheDirectoryOfTheRunningProgram) {
    char szModule[MAX_PATH]{};
    ASSERT_GT(GetModuleFileNameA(nullptr, szModule, MAX_PATH), 0u);
    const std::string strModule = szModule;
    const std::string strDirectory = RunningExecutableDirectory();
    ASSERT_FALSE(strDirectory.empty());
    EXPECT_NE(strDirectory.back(), '\\');
    EXPECT_EQ(strModule.substr(0, strDirectory.size()), strDirectory);
    EXPECT_EQ(strModule.find_first_of("\\/", strDirectory.size()), strDirectory.size()); // cut at the last one
    EXPECT_EQ(strModule.find_first_of("\\/", strDirectory.size() + 1), std::string::npos);
    // The core joins its file names with "/".
    EXPECT_NE(Attributes(strDirectory + "/" + strModule.substr(strDirectory.size() + 1)), INVALID_FILE_ATTRIBUTES);
}

} // namespace
