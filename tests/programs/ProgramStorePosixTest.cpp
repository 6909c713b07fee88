// The program files on POSIX systems: FIFOs and permission bits. ProgramStoreWinTest.cpp has the files of Windows.

#include "programs/ProgramStore.h"

#include "base/Files.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <vector>

namespace {

enum class EOddFile { Fifo, OverLimit, WriteProtected };

struct OddFileRow {
    const char* name;
    EOddFile file;
    bool bSave; // else a load
    const char* message;
};

TEST(ProgramFileDisk, OddFilesFailAtOnceWithTheirMessage) {
    constexpr auto kAtOnce = std::chrono::seconds{2};
    const std::string strOld = "10;1;1;old;\r\n";
    const OddFileRow rows[] = {
        {"FIFO named P1.txt, loaded", EOddFile::Fifo, false, "Can't Open File!"},
        {"FIFO named P1.txt, saved", EOddFile::Fifo, true, "Can't open file!"},
        {"P1.txt over the read limit, loaded", EOddFile::OverLimit, false, "Can't Open File!"},
        {"write-protected P1.txt, saved", EOddFile::WriteProtected, true, "Can't open file!"},
    };
    for (const auto& row : rows) {
        CTempDir dir;
        const std::string strPath = dir.File("P1.txt");
        std::string strContent;
        if (row.file == EOddFile::Fifo) {
            ASSERT_EQ(::mkfifo(strPath.c_str(), 0644), 0) << row.name;
        } else {
            strContent = row.file == EOddFile::OverLimit ? std::string(kReadLimitBytes + 1, '1') : strOld;
            std::ofstream(strPath, std::ios::binary) << strContent;
            if (row.file == EOddFile::WriteProtected) {
                ASSERT_EQ(::chmod(strPath.c_str(), 0444), 0);
            }
        }
        CMessageRecorder recorder;
        CProgramStore store(recorder.Get());
        store.SetRowCount(2);
        store.SetFirstSetting(1, 0, 3);
        store.SetInterval(1, 0, "1:30");

        const auto start = std::chrono::steady_clock::now();
        const bool bDone =
            row.bSave ? store.SaveProgramFile(1, "P1", dir.Path()) : store.LoadProgramFile(1, "P1", dir.Path());
        EXPECT_LT(std::chrono::steady_clock::now() - start, kAtOnce) << row.name;
        EXPECT_FALSE(bDone) << row.name;
        EXPECT_EQ(recorder.m_messages, std::vector<std::string>{row.message}) << row.name;
        EXPECT_EQ(store.RowCount(), 2) << row.name;
        EXPECT_EQ(store.GetFirstSetting(1, 0), 3) << row.name;
        EXPECT_EQ(store.GetInterval(1, 0), "1:30") << row.name;
        EXPECT_TRUE(store.IsModified(1)) << row.name;
        if (row.file == EOddFile::Fifo) {
            EXPECT_TRUE(std::filesystem::is_fifo(strPath)) << row.name;
        } else {
            ::chmod(strPath.c_str(), 0644);
            EXPECT_TRUE(ReadFileStart(strPath) == strContent.substr(0, kReadLimitBytes)) << row.name;
        }
    }
}

} // namespace
