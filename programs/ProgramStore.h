#pragma once

#include "base/Reporter.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

// The device's programs in memory: for each program slot 21 detail rows (a light setting and a signal setting per
// row, kept as codes) and 11 interval texts (CD0 to CD9, and slot 10 that only an eleventh file line fills).
// Each program is kept in one text file, P<n>.txt, in the program's files directory.
class CProgramStore {
public:
    static constexpr int kPrograms = 11;
    static constexpr int kRows = 21;
    static constexpr int kIntervals = 11;
    static constexpr int kFirstCodes = 4;  // light: 0 off, 1 red, 2 yellow, 3 green
    static constexpr int kSecondCodes = 3; // signal: 0 none, 1 short, 2 long

    explicit CProgramStore(Reporter reporter = {});

    // Reads strDirectory/<strName>.txt into program nProgram and sets the row count to its number of lines.
    // "Can't Open File!" and false when it cannot be read; the store is then unchanged.
    bool LoadProgramFile(int nProgram, const std::string& strName, const std::string& strDirectory);
    // Writes rows 0 to RowCount()-1 of program nProgram to strDirectory/<strName>.txt by WriteFileReplacing.
    // "Can't open file!" and false when it cannot or may not be written; the old file is then as it was.
    bool SaveProgramFile(int nProgram, const std::string& strName, const std::string& strDirectory);

    // The program file's text for program nProgram: one line per row, four fields each followed by ";", CR LF.
    std::string FormatProgramFile(int nProgram) const;
    // Applies the lines of a program file's text to program nProgram, as LoadProgramFile does after reading.
    void ApplyProgramFile(int nProgram, std::string_view text);

    // Settings by program and row: a code, or nothing when the row was never filled. Out-of-range programs,
    // rows and codes are ignored by the setters and read as nothing.
    std::optional<int> GetFirstSetting(int nProgram, int nRow) const;
    std::optional<int> GetSecondSetting(int nProgram, int nRow) const;
    void SetFirstSetting(int nProgram, int nRow, int nCode);
    void SetSecondSetting(int nProgram, int nRow, int nCode);
    std::string GetInterval(int nProgram, int nSlot) const;
    void SetInterval(int nProgram, int nSlot, std::string strText);

    // The number of detail rows shown, uploaded and saved: the lines of the last file read, never above kRows.
    int RowCount() const { return m_nRowCount; }
    void SetRowCount(int nRows);
    // One more than the highest row of the program that a setter or a download filled since it was last read
    // or saved; 0 when none.
    int FilledRowCount(int nProgram) const;
    // True when the program's data changed (edited or downloaded) since its file was last read or saved.
    bool IsModified(int nProgram) const;
    // The lines of the program's file (never above kRows): as many as it had when it was last read or saved here,
    // else the lines strDirectory/<strName>.txt holds now, counted without taking anything from it and remembered
    // from then on; nothing when it cannot be read. No message.
    std::optional<int> FileRows(int nProgram, const std::string& strName, const std::string& strDirectory);

private:
    struct CProgram {
        std::array<std::optional<int>, kRows> m_first{};
        std::array<std::optional<int>, kRows> m_second{};
        std::array<std::string, kIntervals> m_intervals{};
        int m_nFilledRows = 0;
        bool m_bModified = false;
        std::optional<int> m_nFileRows;
    };

    std::array<CProgram, kPrograms> m_programs{};
    int m_nRowCount = 0;
    Reporter m_reporter;
};

// The name of a program in the dialog's list and of its file: "P0" to "P8".
std::string ProgramName(int nProgram);

// The detail rows a program shows, uploads and saves when its data in memory is newer than its file (downloaded or
// edited), from the rows its file gave (FileRows), the rows it showed before and the rows the newer data filled
// (FilledRowCount): a file that gave rows keeps them, so that a download refreshes those rows and adds none; a
// program without rows of its own (no file, or an empty one) shows the rows it showed before, or the rows a download
// or an edit filled when they are more, so that nothing downloaded is lost on a save. Never more than the table's
// CProgramStore::kRows: rows past it never count.
int ShownRows(std::optional<int> fileRows, int nShownBefore, int nFilledRows);
