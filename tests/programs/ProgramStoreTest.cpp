#include "programs/ProgramStore.h"

#include "base/Files.h"
#include "programs/TransferCodec.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

namespace {

using Code = std::optional<int>;
constexpr Code kNone = std::nullopt;

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    return text;
}

// ---- One line of a program file --------------------------------------------------------------------------------

struct LineRow {
    const char* line;
    Code first;
    Code second;
    const char* interval;
};

// Row 0 starts with first setting 1, second setting 1 and CD0 "old", so a row that leaves a field shows "1"/"old".
TEST(ProgramFileLine, SetsTheFieldsItCarries) {
    const LineRow rows[] = {
        {"10;2;1;1:30;", 2, 1, "1:30"},
        {"10;0;0;10:00;", 0, 0, "10:00"},
        {"10;3;2;Break;", 3, 2, "Break"},
        {"10;3;2;123456789;", 3, 2, "12345"}, // cut to five characters
        {"10;0;0;1;3;", 0, 0, "13"},          // every ";" of the five characters goes
        {"10;4;x;1:30;", 1, 1, "1:30"},       // codes outside their tables leave the settings
        {"10;0;3;;", 0, 1, ""},               // the second table ends at 2
        {"10;;;;", 1, 1, ""},                 // empty fields: settings stay, the interval empties
        {"10; 2;1 ;x;", 1, 1, "x"},           // only a lone digit is a code
        {"10;12;0;;", 1, 0, ""},
        {"x;2;1;1:30;", 2, 1, "1:30"}, // the label is not read
        {"10;2;1;1:30", 2, 1, "1:30"}, // the last ";" may be missing
        {"10;2;1", 2, 1, ""},          // no third ";": no interval field, the slot empties
        {"10;2", 1, 1, ""},            // no second ";": no setting field at all
        {"abcdefg", 1, 1, ""},         // no ";" at all
        {"", 1, 1, ""},
        {"10;2;1;1:3\r;", 2, 1, "1:3\r"}, // a CR not directly before the LF stays in its field
    };
    for (const auto& row : rows) {
        CProgramStore store;
        store.SetFirstSetting(3, 0, 1);
        store.SetSecondSetting(3, 0, 1);
        store.SetInterval(3, 0, "old");
        store.ApplyProgramFile(3, std::string(row.line) + "\r\n");
        EXPECT_EQ(store.RowCount(), 1) << row.line;
        EXPECT_EQ(store.GetFirstSetting(3, 0), row.first) << row.line;
        EXPECT_EQ(store.GetSecondSetting(3, 0), row.second) << row.line;
        EXPECT_EQ(store.GetInterval(3, 0), row.interval) << row.line;
    }
}

TEST(ProgramFileLine, DropsOnlyTheCrDirectlyBeforeTheLineFeed) {
    CProgramStore store;
    store.ApplyProgramFile(1, "10;1;2;1:3\r\r\n9;2;0;4:00;\n8;3;1;5:00;");
    EXPECT_EQ(store.RowCount(), 3);
    EXPECT_EQ(store.GetInterval(1, 0), "1:3\r");
    EXPECT_EQ(store.GetInterval(1, 1), "4:00");
    EXPECT_EQ(store.GetInterval(1, 2), "5:00"); // a last line without a line end still counts
    EXPECT_EQ(store.GetFirstSetting(1, 2), 3);
}

// ---- Whole files -------------------------------------------------------------------------------------------------

struct RowCountRow {
    int nLines;
    int nRows;
};

TEST(ProgramFile, RowCountIsTheNumberOfLinesUpToTheTable) {
    const RowCountRow rows[] = {{0, 0}, {1, 1}, {5, 5}, {11, 11}, {21, 21}, {22, 21}, {30, 21}};
    for (const auto& row : rows) {
        std::vector<std::string> lines;
        for (int i = 0; i < row.nLines; ++i)
            lines.push_back(std::to_string(10 - i) + ";1;1;" + std::to_string(i) + ";");
        CProgramStore store;
        store.SetRowCount(7);
        store.ApplyProgramFile(2, Lines(lines));
        EXPECT_EQ(store.RowCount(), row.nRows) << row.nLines << " lines";
    }
}

TEST(ProgramFile, EmptyFileGivesNoRowsAndKeepsEverySlot) {
    CProgramStore store;
    store.SetRowCount(4);
    store.SetFirstSetting(2, 0, 3);
    store.SetInterval(2, 0, "1:30");
    store.ApplyProgramFile(2, "");
    EXPECT_EQ(store.RowCount(), 0);
    EXPECT_EQ(store.GetFirstSetting(2, 0), 3);
    EXPECT_EQ(store.GetInterval(2, 0), "1:30");
}

TEST(ProgramFile, EleventhLineFillsSlotTen) {
    std::vector<std::string> lines;
    for (int i = 0; i < 11; ++i)
        lines.push_back(std::to_string(10 - i) + ";0;0;" + std::to_string(i) + ":00;");
    CProgramStore store;
    store.ApplyProgramFile(1, Lines(lines));
    EXPECT_EQ(store.RowCount(), 11);
    EXPECT_EQ(store.GetInterval(1, 9), "9:00");
    EXPECT_EQ(store.GetInterval(1, 10), "10:00");
}

TEST(ProgramFile, LongFilesNeverReachTheNextProgram) {
    std::vector<std::string> lines;
    for (int i = 0; i < 30; ++i)
        lines.push_back(std::to_string(10 - i) + ";3;2;" + std::to_string(i) + "x;");
    CProgramStore store;
    store.ApplyProgramFile(4, Lines(lines));
    EXPECT_EQ(store.RowCount(), CProgramStore::kRows);
    EXPECT_EQ(store.GetFirstSetting(4, 20), 3);
    for (int nRow = 0; nRow < CProgramStore::kRows; ++nRow) {
        EXPECT_EQ(store.GetFirstSetting(5, nRow), kNone) << nRow;
        EXPECT_EQ(store.GetSecondSetting(5, nRow), kNone) << nRow;
    }
    for (int nSlot = 0; nSlot < CProgramStore::kIntervals; ++nSlot)
        EXPECT_EQ(store.GetInterval(5, nSlot), "") << nSlot;
    EXPECT_EQ(store.GetInterval(4, 10), "10x");
}

TEST(ProgramFile, FormatIsByteForByte) {
    CProgramStore store;
    store.SetRowCount(11);
    for (int nRow = 0; nRow < 11; ++nRow) {
        store.SetFirstSetting(1, nRow, nRow % 4);
        store.SetSecondSetting(1, nRow, nRow % 3);
    }
    store.SetInterval(1, 0, "1:30");
    store.SetInterval(1, 9, "Break");
    store.SetInterval(1, 10, "never"); // slot 10 is never written
    const std::string expected = "10;0;0;1:30;\r\n"
                                 "9;1;1;;\r\n"
                                 "8;2;2;;\r\n"
                                 "7;3;0;;\r\n"
                                 "6;0;1;;\r\n"
                                 "5;1;2;;\r\n"
                                 "4;2;0;;\r\n"
                                 "3;3;1;;\r\n"
                                 "2;0;2;;\r\n"
                                 "1;1;0;Break;\r\n"
                                 "0;2;1;;\r\n";
    EXPECT_EQ(store.FormatProgramFile(1), expected);
}

TEST(ProgramFile, LabelsRunBelowZeroForTheLastRows) {
    CProgramStore store;
    store.SetRowCount(CProgramStore::kRows);
    const std::vector<std::string> lines = SplitTextLines(store.FormatProgramFile(0));
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[11], "-1;;;;");
    EXPECT_EQ(lines[20], "-10;;;;");
}

TEST(ProgramFile, EmptySettingIsWrittenAsAnEmptyField) {
    CProgramStore store;
    store.SetRowCount(3);
    store.SetInterval(2, 0, "1:30");
    store.SetSecondSetting(2, 1, 2);
    store.SetFirstSetting(2, 2, 3);
    EXPECT_EQ(store.FormatProgramFile(2), "10;;;1:30;\r\n9;;2;;\r\n8;3;;;\r\n");
}

TEST(ProgramFile, EmptyStoreGivesAnEmptyFile) {
    CProgramStore store;
    EXPECT_EQ(store.FormatProgramFile(0), "");
    EXPECT_EQ(store.FormatProgramFile(11), ""); // no such program
    EXPECT_EQ(store.FormatProgramFile(-1), "");
}

TEST(ProgramFile, LineFeedInsideAnIntervalCannotSplitTheRow) {
    CProgramStore store;
    store.SetRowCount(2);
    store.SetInterval(1, 0, "1\n30");
    store.SetFirstSetting(1, 1, 2);
    EXPECT_EQ(store.FormatProgramFile(1), "10;;;130;\r\n9;2;;;\r\n");
}

// ---- Round trips ---------------------------------------------------------------------------------------------------

TEST(ProgramFileRoundTrip, CodesAndIntervalsComeBackUnchanged) {
    CTempDir dir;
    CProgramStore saved;
    saved.SetRowCount(CProgramStore::kRows);
    for (int nRow = 0; nRow < CProgramStore::kRows; ++nRow) {
        if (nRow % 5 != 4) // every fifth row without codes
            saved.SetFirstSetting(6, nRow, (nRow * 7) % 4);
        if (nRow % 4 != 3)
            saved.SetSecondSetting(6, nRow, (nRow * 5) % 3);
    }
    const char* intervals[] = {"1:30", "10:00", "Break", "", "0:05", "12345", "9:59", "1:3\r", "x", "2:00"};
    for (int nSlot = 0; nSlot < 10; ++nSlot)
        saved.SetInterval(6, nSlot, intervals[nSlot]);
    ASSERT_TRUE(saved.SaveProgramFile(6, "P6", dir.Path()));

    CProgramStore loaded;
    ASSERT_TRUE(loaded.LoadProgramFile(6, "P6", dir.Path()));
    EXPECT_EQ(loaded.RowCount(), CProgramStore::kRows);
    for (int nRow = 0; nRow < CProgramStore::kRows; ++nRow) {
        EXPECT_EQ(loaded.GetFirstSetting(6, nRow), saved.GetFirstSetting(6, nRow)) << nRow;
        EXPECT_EQ(loaded.GetSecondSetting(6, nRow), saved.GetSecondSetting(6, nRow)) << nRow;
    }
    for (int nSlot = 0; nSlot < 10; ++nSlot)
        EXPECT_EQ(loaded.GetInterval(6, nSlot), intervals[nSlot]) << nSlot;
    EXPECT_EQ(loaded.FormatProgramFile(6), saved.FormatProgramFile(6));
}

TEST(ProgramFileRoundTrip, FiveRowsSaveCdZeroToFourAndLeaveTheRestInMemory) {
    CTempDir dir;
    CProgramStore store;
    store.SetRowCount(10);
    for (int nSlot = 0; nSlot < 10; ++nSlot)
        store.SetInterval(3, nSlot, std::to_string(nSlot) + ":00");
    store.SetRowCount(5);
    ASSERT_TRUE(store.SaveProgramFile(3, "P3", dir.Path()));
    EXPECT_EQ(SplitTextLines(*ReadFileBytes(dir.File("P3.txt"))).size(), 5u);

    for (int nSlot = 0; nSlot < 10; ++nSlot)
        store.SetInterval(3, nSlot, "mem");
    ASSERT_TRUE(store.LoadProgramFile(3, "P3", dir.Path()));
    EXPECT_EQ(store.RowCount(), 5);
    for (int nSlot = 0; nSlot < 5; ++nSlot)
        EXPECT_EQ(store.GetInterval(3, nSlot), std::to_string(nSlot) + ":00") << nSlot;
    for (int nSlot = 5; nSlot < 10; ++nSlot)
        EXPECT_EQ(store.GetInterval(3, nSlot), "mem") << nSlot;
}

// ---- Files on disk -------------------------------------------------------------------------------------------------

TEST(ProgramFileDisk, SaveWritesDirectoryNameTxt) {
    CTempDir dir;
    CMessageRecorder recorder;
    CProgramStore store(recorder.Get());
    store.SetRowCount(1);
    store.SetFirstSetting(8, 0, 2);
    store.SetSecondSetting(8, 0, 1);
    store.SetInterval(8, 0, "1:30");
    ASSERT_TRUE(store.SaveProgramFile(8, ProgramName(8), dir.Path()));
    EXPECT_EQ(ReadFileBytes(dir.File("P8.txt")), std::optional<std::string>("10;2;1;1:30;\r\n"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1); // no temporary file left
    EXPECT_TRUE(recorder.m_messages.empty());
}

// The program files of a user whose folder no single ANSI code page can name (on Windows the user's application data
// lies in the user's folder): saved and read there, under their own names.
TEST(ProgramFileDisk, AFolderBeyondTheCodePageHoldsTheProgramFiles) {
    CTempDir dir;
    const std::string strFolder = dir.File("\xC5\x81\xC3\xB3"
                                           "d"
                                           "\xC5\xBA-\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1-"
                                           "\xE6\x9D\xB1\xE4\xBA\xAC"); // Łódź-Ελλάδα-東京
    // std::filesystem's narrow form is no UTF-8 on Windows: the folder is named through its UTF-8 form.
    const auto DiskPath = [](const std::string& strPath) {
        return std::filesystem::path(std::u8string(strPath.begin(), strPath.end()));
    };
    ASSERT_TRUE(std::filesystem::create_directory(DiskPath(strFolder)));
    CMessageRecorder recorder;
    CProgramStore store(recorder.Get());
    store.SetRowCount(1);
    store.SetFirstSetting(3, 0, 2);
    store.SetInterval(3, 0, "2:00");
    ASSERT_TRUE(store.SaveProgramFile(3, ProgramName(3), strFolder));
    std::ifstream saved(DiskPath(strFolder + "/P3.txt"), std::ios::binary);
    const std::string strSaved((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    EXPECT_EQ(strSaved, "10;2;;2:00;\r\n");
    CProgramStore loaded(recorder.Get());
    ASSERT_TRUE(loaded.LoadProgramFile(3, ProgramName(3), strFolder));
    EXPECT_EQ(loaded.GetInterval(3, 0), "2:00");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(DiskPath(strFolder)), {}), 1);
    EXPECT_TRUE(recorder.m_messages.empty());
}

TEST(ProgramFileDisk, EmptyStoreSavesAnEmptyFile) {
    CTempDir dir;
    CProgramStore store;
    ASSERT_TRUE(store.SaveProgramFile(0, "P0", dir.Path()));
    EXPECT_EQ(ReadFileBytes(dir.File("P0.txt")), std::optional<std::string>(""));
}

TEST(ProgramFileDisk, UnreadableFileReportsAndLeavesTheStoreAlone) {
    CTempDir dir;
    CMessageRecorder recorder;
    CProgramStore store(recorder.Get());
    store.SetRowCount(6);
    store.SetFirstSetting(1, 0, 2);
    store.SetInterval(1, 0, "1:30");
    EXPECT_FALSE(store.LoadProgramFile(1, "P1", dir.Path()));
    EXPECT_EQ(recorder.m_messages, std::vector<std::string>{"Can't Open File!"});
    EXPECT_EQ(store.RowCount(), 6);
    EXPECT_EQ(store.GetFirstSetting(1, 0), 2);
    EXPECT_EQ(store.GetInterval(1, 0), "1:30");
    EXPECT_TRUE(store.IsModified(1));
}

TEST(ProgramFileDisk, UnwritableFileReportsCantOpenFile) {
    CTempDir dir;
    std::filesystem::create_directory(dir.File("P2.txt")); // a directory where the file should go
    CMessageRecorder recorder;
    CProgramStore store(recorder.Get());
    store.SetRowCount(1);
    store.SetFirstSetting(2, 0, 1);
    EXPECT_FALSE(store.SaveProgramFile(2, "P2", dir.Path()));
    EXPECT_FALSE(store.SaveProgramFile(2, "P2", dir.File("missing")));
    EXPECT_EQ(recorder.m_messages, (std::vector<std::string>{"Can't open file!", "Can't open file!"}));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("P2.txt")));
    EXPECT_TRUE(store.IsModified(2)); // nothing was saved
}

TEST(ProgramFileDisk, FailedSaveLeavesTheOldFileWhole) {
    CTempDir dir;
    // The name fits the file system, the temporary name beside it does not: the save fails after the old file
    // was found, the way a full disk would.
    const std::string strName(250, 'P');
    const std::string strOld = "10;1;1;old;\r\n9;2;2;;\r\n";
    std::ofstream(dir.File(strName + ".txt"), std::ios::binary) << strOld;
    ASSERT_EQ(ReadFileBytes(dir.File(strName + ".txt")), std::optional<std::string>(strOld));
    CMessageRecorder recorder;
    CProgramStore store(recorder.Get());
    store.SetRowCount(1);
    store.SetFirstSetting(1, 0, 3);
    EXPECT_FALSE(store.SaveProgramFile(1, strName, dir.Path()));
    EXPECT_EQ(recorder.m_messages, std::vector<std::string>{"Can't open file!"});
    EXPECT_EQ(ReadFileBytes(dir.File(strName + ".txt")), std::optional<std::string>(strOld));
}

// Files that are not program files, or that the user may not write, fail at once with their message and change
// neither the store nor the file.
TEST(ProgramFileDisk, OutOfRangeProgramsTouchNothing) {
    CTempDir dir;
    ASSERT_TRUE(WriteFileReplacing(dir.File("P1.txt"), "10;1;1;1:30;\r\n"));
    CMessageRecorder recorder;
    CProgramStore store(recorder.Get());
    store.SetRowCount(3);
    EXPECT_FALSE(store.LoadProgramFile(11, "P1", dir.Path()));
    EXPECT_FALSE(store.LoadProgramFile(-1, "P1", dir.Path()));
    EXPECT_FALSE(store.SaveProgramFile(11, "P9", dir.Path()));
    EXPECT_EQ(store.RowCount(), 3);
    EXPECT_FALSE(std::filesystem::exists(dir.File("P9.txt")));
    EXPECT_TRUE(recorder.m_messages.empty());
}

// ---- Accessors -----------------------------------------------------------------------------------------------------

struct SetterRow {
    int nProgram;
    int nRow;
    int nCode;
};

TEST(ProgramStoreAccess, SettersIgnoreEverythingOutsideTheTables) {
    const SetterRow firstRows[] = {{-1, 0, 0}, {11, 0, 0}, {0, -1, 0}, {0, 21, 0}, {0, 0, -1}, {0, 0, 4}};
    const SetterRow secondRows[] = {{-1, 0, 0}, {11, 0, 0}, {0, -1, 0}, {0, 21, 0}, {0, 0, -1}, {0, 0, 3}};
    for (const auto& row : firstRows) {
        CProgramStore store;
        store.SetFirstSetting(row.nProgram, row.nRow, row.nCode);
        EXPECT_EQ(store.GetFirstSetting(0, 0), kNone);
        EXPECT_EQ(store.GetFirstSetting(row.nProgram, row.nRow), kNone);
        EXPECT_FALSE(store.IsModified(0));
        EXPECT_EQ(store.FilledRowCount(0), 0);
    }
    for (const auto& row : secondRows) {
        CProgramStore store;
        store.SetSecondSetting(row.nProgram, row.nRow, row.nCode);
        EXPECT_EQ(store.GetSecondSetting(0, 0), kNone);
        EXPECT_FALSE(store.IsModified(0));
    }
    CProgramStore store;
    store.SetInterval(0, 11, "x");
    store.SetInterval(11, 0, "x");
    store.SetInterval(-1, 0, "x");
    EXPECT_EQ(store.GetInterval(0, 11), "");
    EXPECT_EQ(store.GetInterval(11, 0), "");
    EXPECT_FALSE(store.IsModified(0));
}

TEST(ProgramStoreAccess, TheLastCodesOfEachTableAreKept) {
    CProgramStore store;
    store.SetFirstSetting(10, 20, 3);
    store.SetSecondSetting(10, 20, 2);
    store.SetInterval(10, 10, "1:30");
    EXPECT_EQ(store.GetFirstSetting(10, 20), 3);
    EXPECT_EQ(store.GetSecondSetting(10, 20), 2);
    EXPECT_EQ(store.GetInterval(10, 10), "1:30");
}

TEST(ProgramStoreAccess, RowCountStaysInsideTheTable) {
    const RowCountRow rows[] = {{-5, 0}, {0, 0}, {11, 11}, {21, 21}, {22, 21}, {1000, 21}};
    for (const auto& row : rows) {
        CProgramStore store;
        store.SetRowCount(row.nLines);
        EXPECT_EQ(store.RowCount(), row.nRows) << row.nLines;
    }
}

TEST(ProgramStoreAccess, ProgramNames) {
    EXPECT_EQ(ProgramName(0), "P0");
    EXPECT_EQ(ProgramName(8), "P8");
}

// ---- Modified and filled rows
// ----------------------------------------------------------------------------------------

struct StateStep {
    const char* what;
    std::function<bool(CProgramStore&, const std::string&)> action; // the step's own result, where it has one
    bool bResult;
    bool bModified;
    int nFilledRows;
};

TEST(ProgramStoreState, ModifiedAndFilledRowsFollowEditsDownloadsLoadsAndSaves) {
    CTempDir dir;
    ASSERT_TRUE(WriteFileReplacing(dir.File("P2.txt"), "10;1;1;1:00;\r\n"));
    const StateStep steps[] = {
        {"fresh", [](CProgramStore&, const std::string&) { return true; }, true, false, 0},
        {"interval edit", [](CProgramStore& s, const std::string&) { return s.SetInterval(2, 3, "1:30"), true; }, true,
         true, 0},
        {"first setting of row 4",
         [](CProgramStore& s, const std::string&) { return s.SetFirstSetting(2, 4, 1), true; }, true, true, 5},
        {"second setting of row 1",
         [](CProgramStore& s, const std::string&) { return s.SetSecondSetting(2, 1, 2), true; }, true, true, 5},
        {"failed load keeps the edits",
         [](CProgramStore& s, const std::string& d) { return s.LoadProgramFile(2, "P7", d); }, false, true, 5},
        {"save", [](CProgramStore& s, const std::string& d) { return s.SaveProgramFile(2, "P2", d); }, true, false, 0},
        {"download of row 12", [](CProgramStore& s, const std::string&) { return ParseTransferReply("L?21231", s); },
         true, true, 13},
        {"download of row 22 is dropped",
         [](CProgramStore& s, const std::string&) { return ParseTransferReply("L?22231", s); }, true, true, 13},
        {"failed save keeps the state",
         [](CProgramStore& s, const std::string& d) { return s.SaveProgramFile(2, "P2", d + "/missing"); }, false, true,
         13},
        {"load", [](CProgramStore& s, const std::string& d) { return s.LoadProgramFile(2, "P2", d); }, true, false, 0},
        {"another program's edit",
         [](CProgramStore& s, const std::string&) { return s.SetFirstSetting(3, 9, 1), true; }, true, false, 0},
        {"rejected edits",
         [](CProgramStore& s, const std::string&) {
             s.SetFirstSetting(2, 21, 1);
             s.SetSecondSetting(2, 0, 3);
             return ParseTransferReply("L?2xx9", s); // a row without codes
         },
         true, false, 0},
        {"downloaded interval", [](CProgramStore& s, const std::string&) { return ParseTransferReply("C?21 1:3", s); },
         true, true, 0},
    };
    CProgramStore store;
    for (const auto& step : steps) {
        EXPECT_EQ(step.action(store, dir.Path()), step.bResult) << step.what;
        EXPECT_EQ(store.IsModified(2), step.bModified) << step.what;
        EXPECT_EQ(store.FilledRowCount(2), step.nFilledRows) << step.what;
    }
    EXPECT_TRUE(store.IsModified(3));
    EXPECT_EQ(store.FilledRowCount(3), 10);
    EXPECT_FALSE(store.IsModified(11));
    EXPECT_EQ(store.FilledRowCount(-1), 0);
}

TEST(ProgramStoreState, CodesNeverDependOnTheirTexts) {
    // Settings are kept as codes, so saving a downloaded program writes the device's codes whatever the language
    // file says (or whether there is one).
    CTempDir dir;
    CProgramStore store;
    ASSERT_TRUE(ParseTransferReply("L?10031", store));
    ASSERT_TRUE(ParseTransferReply("L?10122", store));
    store.SetRowCount(store.FilledRowCount(1));
    ASSERT_TRUE(store.SaveProgramFile(1, "P1", dir.Path()));
    EXPECT_EQ(ReadFileBytes(dir.File("P1.txt")), std::optional<std::string>("10;3;1;;\r\n9;2;2;;\r\n"));
}

} // namespace

// ---- how many rows a program with data newer than its file shows, uploads and saves

TEST(ProgramRows, AFileGivesTheRowsAndADownloadOnlyRefreshesThem) {
    const struct {
        const char* pszName;
        std::optional<int> fileRows;
        int nShownBefore;
        int nFilled;
        int nExpected;
    } rows[] = {
        {"eleven lines stay eleven after a full download", 11, 11, 21, 11},
        {"two lines stay two", 2, 2, 21, 2},
        {"one line stays one", 1, 0, 21, 1},
        {"the file's rows even when another program showed more", 3, 11, 21, 3},
        {"the file's rows even when an edit filled fewer", 11, 11, 5, 11},
        {"the file's rows when nothing was filled", 7, 0, 0, 7},
        {"no file: every downloaded row", std::nullopt, 0, 21, 21},
        {"an empty file counts as no rows", 0, 0, 21, 21},
        {"an empty file: the rows shown before when an edit filled fewer", 0, 4, 2, 4},
        {"no file: the rows shown before when an edit filled fewer", std::nullopt, 11, 5, 11},
        {"no file: the rows an edit filled when they are more", std::nullopt, 3, 8, 8},
        {"no file and nothing filled", std::nullopt, 0, 0, 0},
        {"never beyond the table", std::nullopt, 30, 40, CProgramStore::kRows},
        {"rows 21 to 31 of a download never count", std::nullopt, 0, 32, CProgramStore::kRows},
        {"a file count beyond the table", 25, 0, 0, CProgramStore::kRows},
        {"nothing below no rows", std::nullopt, -1, -5, 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ShownRows(row.fileRows, row.nShownBefore, row.nFilled), row.nExpected) << row.pszName;
}

TEST(ProgramRows, TheStoreRemembersTheLinesOfEachProgramsFile) {
    CTempDir dir;
    ASSERT_TRUE(WriteFileReplacing(dir.File("P2.txt"), "10;1;1;1:00;\r\n9;1;1;;\r\n8;1;1;;\r\n"));
    ASSERT_TRUE(WriteFileReplacing(dir.File("P4.txt"), "10;1;1;1:00;\r\n"));
    CProgramStore store;
    ASSERT_TRUE(store.LoadProgramFile(2, "P2", dir.Path()));
    // The count the read found stays, whatever happens to the file outside the store.
    ASSERT_TRUE(WriteFileReplacing(dir.File("P2.txt"), "10;1;1;1:00;\r\n"));
    EXPECT_EQ(store.FileRows(2, "P2", dir.Path()), 3);
    // Counting takes nothing from the file: program 4 keeps its data and the store its row count.
    store.SetFirstSetting(4, 0, 3);
    EXPECT_EQ(store.FileRows(4, "P4", dir.Path()), 1);
    EXPECT_EQ(store.GetFirstSetting(4, 0), 3);
    EXPECT_EQ(store.RowCount(), 3);
    // The first count is remembered as well.
    ASSERT_TRUE(WriteFileReplacing(dir.File("P4.txt"), "10;1;1;1:00;\r\n9;1;1;;\r\n"));
    EXPECT_EQ(store.FileRows(4, "P4", dir.Path()), 1);
    EXPECT_EQ(store.FileRows(5, "P5", dir.Path()), std::nullopt);
    EXPECT_EQ(store.FileRows(11, "P11", dir.Path()), std::nullopt);
    // A save makes the file's lines the row count that was saved.
    store.SetRowCount(7);
    ASSERT_TRUE(store.SaveProgramFile(2, "P2", dir.Path()));
    EXPECT_EQ(store.FileRows(2, "P2", dir.Path()), 7);
}
