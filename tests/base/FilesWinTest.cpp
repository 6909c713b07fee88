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

// ---- Names beyond the ANSI code page: the program's paths are UTF-8 and reach the system as UTF-16

// A name no single ANSI code page can write (Polish, Greek and Japanese letters together): through the code page's
// best fit it would become another name ("Lodz-??????-??"), of another file or of none.
constexpr const char* kBeyondCodePage = "\xC5\x81\xC3\xB3"
                                        "d"
                                        "\xC5\xBA-\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1-"
                                        "\xE6\x9D\xB1\xE4\xBA\xAC"; // Łódź-Ελλάδα-東京

// The system's UTF-16 form of a UTF-8 text, made here without the file layer.
std::wstring Utf16(const std::string& strText) {
    std::wstring text(strText.size(), L'\0');
    const int nLength = MultiByteToWideChar(CP_UTF8, 0, strText.data(), static_cast<int>(strText.size()), text.data(),
                                            static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(nLength, 0)));
    return text;
}

std::string Utf8(const std::wstring& text) {
    std::string strText(text.size() * 3, '\0');
    const int nLength = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), strText.data(),
                                            static_cast<int>(strText.size()), nullptr, nullptr);
    strText.resize(static_cast<std::size_t>(std::max(nLength, 0)));
    return strText;
}

// The bytes of the file of that name as the system names it, read with the system's own wide functions.
std::optional<std::string> ReadAsNamed(const std::string& strPath) {
    const HANDLE hFile =
        CreateFileW(Utf16(strPath).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string bytes(4096, '\0');
    DWORD nRead = 0;
    const BOOL bRead = ReadFile(hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &nRead, nullptr);
    CloseHandle(hFile);
    if (!bRead)
        return std::nullopt;
    bytes.resize(nRead);
    return bytes;
}

// The names in a directory as the system gives them, in UTF-8.
std::set<std::string> NamesAsNamed(const std::string& strDirectory) {
    std::set<std::string> names;
    WIN32_FIND_DATAW found{};
    const HANDLE hFind = FindFirstFileW((Utf16(strDirectory) + L"\\*").c_str(), &found);
    if (hFind == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.insert(Utf8(name));
    } while (FindNextFileW(hFind, &found));
    FindClose(hFind);
    return names;
}

std::string Backslashes(std::string strPath) {
    std::replace(strPath.begin(), strPath.end(), '/', '\\');
    return strPath;
}

TEST(FilesWinNames, TheFileNameFollowsTheLastSeparatorOfEitherKind) {
    const std::string strBeyond = kBeyondCodePage;
    const std::pair<std::string, std::string> rows[] = {
        {"C:\\Users\\J\xC3\xBCrgen\\starts.txt", "starts.txt"},
        {"C:\\exports\\M\xC3\xBCnster.txt", "M\xC3\xBCnster.txt"},
        {"C:\\Users\\" + strBeyond + "\\" + strBeyond + ".txt", strBeyond + ".txt"},
        {"\\\\club\\share\\caf\xC3\xA9.txt", "caf\xC3\xA9.txt"},
        {"C:/exports/starts.txt", "starts.txt"},
        {"C:\\exports/sub\\starts.txt", "starts.txt"},
        {"C:starts.txt", "starts.txt"},
        {"starts.txt", "starts.txt"},
        {"C:\\exports\\", ""},
    };
    for (const auto& [strPath, strName] : rows)
        EXPECT_EQ(FileNameOf(strPath), strName) << strPath;
}

// Every file function takes a UTF-8 path to the file of exactly that name, whatever its letters; a path that is no
// UTF-8 (a byte of an ANSI code page) names no file.
TEST(FilesWinNames, EveryFileFunctionReachesTheFileOfItsVeryName) {
    CTempDir dir;
    const std::string strBeyond = kBeyondCodePage;
    ASSERT_TRUE(CreateDirectoryW(Utf16(dir.File(strBeyond)).c_str(), nullptr));
    struct CRow {
        std::string strDirectory; // inside the temporary directory
        std::string strName;
    };
    const std::vector<CRow> rows = {
        {"", strBeyond + ".txt"},
        {strBeyond, "config.ini"},
        {strBeyond, "J\xC3\xBCrgen.txt"},
        {strBeyond, strBeyond},
    };
    for (const CRow& row : rows) {
        const std::string strFolder = row.strDirectory.empty() ? dir.Path() : dir.File(row.strDirectory);
        const std::string strPath = strFolder + "/" + row.strName;
        SCOPED_TRACE(strPath);
        EXPECT_FALSE(PathExists(strPath));
        ASSERT_TRUE(WriteFileReplacing(strPath, "one"));
        EXPECT_EQ(ReadAsNamed(strPath), "one") << "written under its own name";
        EXPECT_TRUE(NamesAsNamed(strFolder).count(row.strName));
        EXPECT_TRUE(PathExists(strPath));
        EXPECT_TRUE(PathExists(Backslashes(strPath)));
        EXPECT_EQ(ReadFileBytes(strPath), "one");
        EXPECT_EQ(ReadFileStart(strPath), "one");
        ASSERT_TRUE(WriteFileReplacing(strPath, "two"));
        EXPECT_EQ(ReadAsNamed(strPath), "two") << "replaced in place";
        ASSERT_TRUE(SetFileAttributesW(Utf16(strPath).c_str(), FILE_ATTRIBUTE_READONLY));
        EXPECT_FALSE(WriteFileReplacing(strPath, "three")) << "the read-only attribute is seen";
        ResetFileAttributes(strPath);
        EXPECT_EQ(GetFileAttributesW(Utf16(strPath).c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
        EXPECT_TRUE(RemoveFile(strPath));
        EXPECT_FALSE(PathExists(strPath));
        EXPECT_EQ(NamesAsNamed(strFolder).count(row.strName), 0u);
    }
    EXPECT_EQ(NamesAsNamed(dir.Path()), (std::set<std::string>{strBeyond})) << "no look-alike, no temporary file";
    EXPECT_EQ(NamesAsNamed(dir.File(strBeyond)), (std::set<std::string>{}));
    // A byte of the Western European code page is no UTF-8: it names no file and none is made.
    ASSERT_TRUE(WriteFileReplacing(dir.File("J\xC3\xBCrgen.txt"), "x"));
    EXPECT_FALSE(PathExists(dir.File("J\xFCrgen.txt")));
    EXPECT_EQ(ReadFileBytes(dir.File("J\xFCrgen.txt")), std::nullopt);
    EXPECT_FALSE(WriteFileReplacing(dir.File("J\xFCrgen.txt"), "y"));
    EXPECT_EQ(NamesAsNamed(dir.Path()), (std::set<std::string>{strBeyond, "J\xC3\xBCrgen.txt"}));
}

TEST(FilesWinNames, WhatExistsIsSeenWhateverItsName) {
    CTempDir dir;
    const std::string strBeyond = kBeyondCodePage;
    WriteRaw(dir.File("file.txt"), "x");
    ASSERT_TRUE(CreateDirectoryW(Utf16(dir.File(strBeyond)).c_str(), nullptr));
    const HANDLE hFile = CreateFileW(Utf16(dir.File(strBeyond + "/starts.txt")).c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_NEW, 0, nullptr);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    CloseHandle(hFile);
    const std::pair<std::string, bool> rows[] = {
        {dir.File("file.txt"), true},
        {Backslashes(dir.File("file.txt")), true},
        {dir.File(strBeyond), true},
        {Backslashes(dir.File(strBeyond + "/starts.txt")), true},
        {dir.File(strBeyond + "/missing.txt"), false},
        {dir.File("missing.txt"), false},
        {dir.File("file.txt/inner"), false},
        {"", false},
    };
    for (const auto& [strPath, bExists] : rows)
        EXPECT_EQ(PathExists(strPath), bExists) << strPath;
}

// The training session's copy goes into the temporary folder, which lies in the user's own folder: named as the
// system names it, whatever letters the user's name has.
TEST(FilesWinNames, TheTemporaryDirectoryIsTheSystemsAsItNamesIt) {
    CTempDir dir;
    const std::string strBeyond = kBeyondCodePage;
    ASSERT_TRUE(CreateDirectoryW(Utf16(dir.File(strBeyond)).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Utf16(dir.File("J\xC3\xBCrgen")).c_str(), nullptr));
    WriteRaw(dir.File("file.txt"), "x");
    const std::string strDir = Backslashes(dir.Path());
    const std::pair<std::string, std::string> rows[] = {
        {strDir, strDir},
        {strDir + "\\", strDir},
        {strDir + "\\J\xC3\xBCrgen", strDir + "\\J\xC3\xBCrgen"},
        {strDir + "\\" + strBeyond, strDir + "\\" + strBeyond},
        {strDir + "\\" + strBeyond + "\\", strDir + "\\" + strBeyond},
        {strDir + "\\missing", ""},
        {strDir + "\\file.txt", ""},
    };
    std::wstring saved(32768, L'\0');
    const DWORD nSaved = GetEnvironmentVariableW(L"TMP", saved.data(), static_cast<DWORD>(saved.size()));
    for (const auto& [strTmp, strExpected] : rows) {
        ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", Utf16(strTmp).c_str()));
        EXPECT_EQ(TemporaryDirectory(), strExpected) << strTmp;
    }
    SetEnvironmentVariableW(L"TMP", nSaved > 0 && nSaved < saved.size() ? saved.c_str() : nullptr);
}

// The settings writer keeps a settings file that exists but does not read (here: over the read limit); it asks
// whether the file exists by its true name, so that one in a folder beyond the code page is kept too, and one that
// reads gets the new key.
TEST(FilesWinNames, TheSettingsWriterKeepsAFileThatDoesNotReadWhateverItsFolder) {
    CTempDir dir;
    const std::string strBeyond = kBeyondCodePage;
    ASSERT_TRUE(CreateDirectoryW(Utf16(dir.File(strBeyond)).c_str(), nullptr));
    const std::string strOver = "; " + std::string(kReadLimitBytes, 'x') + "\r\n[Settings]\r\nCOMPort=2\r\n";
    struct CRow {
        const char* pszName;
        std::optional<std::string> before; // the file as it is, or none
        bool bWritten;
        std::optional<std::string> after;
    };
    const CRow rows[] = {
        {"a file that reads", std::string("[Settings]\r\nCOMPort=2\r\n"), true,
         std::string("[Settings]\r\nCOMPort=4\r\n")},
        {"no file", std::nullopt, true, std::string("[Settings]\r\nCOMPort=4\r\n")},
        {"a file over the read limit", strOver, false, strOver},
    };
    for (const std::string& strFolder : {dir.Path(), dir.File(strBeyond)}) {
        for (const CRow& row : rows) {
            SCOPED_TRACE(strFolder + ": " + row.pszName);
            const std::string strPath = strFolder + "/config.ini";
            DeleteFileW(Utf16(strPath).c_str());
            if (row.before) {
                const HANDLE hFile =
                    CreateFileW(Utf16(strPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
                ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
                DWORD nWritten = 0;
                WriteFile(hFile, row.before->data(), static_cast<DWORD>(row.before->size()), &nWritten, nullptr);
                CloseHandle(hFile);
            }
            EXPECT_EQ(CIniFile::WriteString(strPath, "Settings", "COMPort", "4"), row.bWritten);
            const HANDLE hFile =
                CreateFileW(Utf16(strPath).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            std::optional<std::string> after;
            if (hFile != INVALID_HANDLE_VALUE) {
                std::string bytes(kReadLimitBytes + 4096, '\0');
                DWORD nRead = 0;
                ReadFile(hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &nRead, nullptr);
                CloseHandle(hFile);
                bytes.resize(nRead);
                after = bytes;
            }
            EXPECT_TRUE(after == row.after) << (after ? after->substr(0, 60) : std::string("no file"));
        }
    }
}

TEST(FilesWinExecutableDirectory, IsTheDirectoryOfTheRunningProgram) {
    wchar_t szModule[MAX_PATH]{};
    ASSERT_GT(GetModuleFileNameW(nullptr, szModule, MAX_PATH), 0u);
    const std::string strModule = Utf8(szModule);
    const std::string strDirectory = RunningExecutableDirectory();
    ASSERT_FALSE(strDirectory.empty());
    EXPECT_NE(strDirectory.back(), '\\');
    EXPECT_EQ(strModule.substr(0, strDirectory.size()), strDirectory);
    EXPECT_EQ(strModule.find_first_of("\\/", strDirectory.size()), strDirectory.size()); // cut at the last one
    EXPECT_EQ(strModule.find_first_of("\\/", strDirectory.size() + 1), std::string::npos);
    // The core joins its file names with "/".
    EXPECT_TRUE(PathExists(strDirectory + "/" + strModule.substr(strDirectory.size() + 1)));
}

} // namespace
