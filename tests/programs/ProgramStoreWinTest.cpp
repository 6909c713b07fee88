// The program files on Windows: a read-only file, a file that another program holds, a file over the read limit
// and a device name each fail at once with the message of a load or a save, and leave store and file as they were.

#include "programs/ProgramStore.h"

#include "base/Files.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <fstream>
#include <vector>

namespace {

enum class EOddFile { ReadOnly, Held, OverLimit };

struct SOddFileRow {
    const char* pszName;
    EOddFile eFile;
    bool bSave; // else a load
    const char* pszMessage;
};

TEST(ProgramFileWin, OddFilesFailAtOnceWithTheirMessage) {
    constexpr auto kAtOnce = std::chrono::seconds{2};
    const std::string strOld = "10;1;1;old;\r\n";
    const SOddFileRow rows[] = {
        {"read-only P1.txt, saved", EOddFile::ReadOnly, true, "Can't open file!"},
        {"P1.txt held by another program, loaded", EOddFile::Held, false, "Can't Open File!"},
        {"P1.txt held by another program, saved", EOddFile::Held, true, "Can't open file!"},
        {"P1.txt over the read limit, loaded", EOddFile::OverLimit, false, "Can't Open File!"},
    };
    for (const auto& row : rows) {
        CTempDir dir;
        const std::string strPath = dir.File("P1.txt");
        const std::string strContent =
            row.eFile == EOddFile::OverLimit ? std::string(kReadLimitBytes + 1, '1') : strOld;
        std::ofstream(strPath, std::ios::binary) << strContent;
        if (row.eFile == EOddFile::ReadOnly) {
            ASSERT_TRUE(SetFileAttributesA(strPath.c_str(), FILE_ATTRIBUTE_READONLY)) << row.pszName;
        }
        const HANDLE hHolder = row.eFile == EOddFile::Held
                                   ? CreateFileA(strPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                                   : INVALID_HANDLE_VALUE;
        if (row.eFile == EOddFile::Held) {
            ASSERT_NE(hHolder, INVALID_HANDLE_VALUE) << row.pszName;
        }
        CMessageRecorder recorder;
        CProgramStore store(recorder.Get());
        store.SetRowCount(2);
        store.SetFirstSetting(1, 0, 3);
        store.SetInterval(1, 0, "1:30");

        const auto start = std::chrono::steady_clock::now();
        const bool bDone =
            row.bSave ? store.SaveProgramFile(1, "P1", dir.Path()) : store.LoadProgramFile(1, "P1", dir.Path());
        EXPECT_LT(std::chrono::steady_clock::now() - start, kAtOnce) << row.pszName;
        if (hHolder != INVALID_HANDLE_VALUE)
            CloseHandle(hHolder);
        EXPECT_FALSE(bDone) << row.pszName;
        EXPECT_EQ(recorder.m_messages, std::vector<std::string>{row.pszMessage}) << row.pszName;
        EXPECT_EQ(store.RowCount(), 2) << row.pszName;
        EXPECT_EQ(store.GetFirstSetting(1, 0), 3) << row.pszName;
        EXPECT_EQ(store.GetInterval(1, 0), "1:30") << row.pszName;
        SetFileAttributesA(strPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(ReadFileStart(strPath), strContent.substr(0, kReadLimitBytes)) << row.pszName;
    }
}

TEST(ProgramFileWin, ADeviceNameIsNoProgramFile) {
    CMessageRecorder recorder;
    CProgramStore store(recorder.Get());
    store.SetRowCount(1);
    store.SetFirstSetting(1, 0, 1);
    CTempDir dir;
    EXPECT_FALSE(store.SaveProgramFile(1, "NUL", dir.Path()));
    EXPECT_FALSE(store.LoadProgramFile(1, "COM1", dir.Path()));
    EXPECT_EQ(recorder.m_messages, (std::vector<std::string>{"Can't open file!", "Can't Open File!"}));
    EXPECT_EQ(store.GetFirstSetting(1, 0), 1);
}

} // namespace
