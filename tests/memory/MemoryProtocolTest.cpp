#include "memory/MemoryProtocol.h"
#include "memory/MemoryExport.h"

#include "base/Files.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct ReplyRow {
    const char* line;
    EMemoryReply kind;
    CMemoryCells cells;
};

TEST(MemoryReply, KindAndCells) {
    const ReplyRow rows[] = {
        // Positions: 2-5 start number, 6-9 unused, 10-21 start time, 22-24 unused, 25-31 lead time.
        {"M?0012xxxx12:34:56.789yyy1:23.45zz", EMemoryReply::Entry, {"0012", "12:34:56.789", "1:23.45"}},
        {"M?   3    10:00:01.000      12.34", EMemoryReply::Entry, {"   3", "10:00:01.000", "   12.3"}},
        {"M?0012xxxx12:3", EMemoryReply::Entry, {"0012", "12:3", ""}},
        {"M?0012xxxx12:34:56.789yyy1:2", EMemoryReply::Entry, {"0012", "12:34:56.789", "1:2"}},
        {"M?0012xxxx12:34:56.789yyy", EMemoryReply::Entry, {"0012", "12:34:56.789", ""}},
        {"M?1", EMemoryReply::Entry, {"1", "", ""}},
        {"M?", EMemoryReply::Entry, {"", "", ""}},
        {"M?EMPTY", EMemoryReply::Empty, {}},
        {"M?EMPTY and more", EMemoryReply::Empty, {}},
        {"M?empty", EMemoryReply::Entry, {"empt", "", ""}}, // case counts
        {"M?EMPT", EMemoryReply::Entry, {"EMPT", "", ""}},
        {"M? EMPTY", EMemoryReply::Entry, {" EMP", "", ""}},
        {"E?", EMemoryReply::Erased, {}},
        {"E?anything", EMemoryReply::Erased, {}},
        {"", EMemoryReply::Other, {}},
        {"M", EMemoryReply::Other, {}},
        {"m?0012", EMemoryReply::Other, {}},
        {"e?", EMemoryReply::Other, {}},
        {" M?0012", EMemoryReply::Other, {}},
        {"\nM?0012", EMemoryReply::Other, {}},
    };
    for (const auto& row : rows) {
        const CMemoryReply reply = ParseMemoryReply(row.line);
        EXPECT_EQ(reply.m_kind, row.kind) << row.line;
        EXPECT_EQ(reply.m_cells, row.cells) << row.line;
    }
}

std::vector<CMemoryCells> ListWith(std::vector<CMemoryCells> filled) {
    filled.resize(kMemoryRows);
    return filled;
}

struct ExportRow {
    const char* what;
    std::vector<CMemoryCells> rows;
    const char* text;
};

TEST(MemoryExport, FilledRowsJoinedByOneBlank) {
    const ExportRow rows[] = {
        {"three entries",
         ListWith({{"0001", "12:00:00.000", "   0.00"}, {"0002", "12:01:00.000", "  60.00"}, {"3", "x", ""}}),
         "0001 12:00:00.000    0.00\r\n0002 12:01:00.000   60.00\r\n3 x \r\n"},
        {"blank list", ListWith({}), ""},
        {"empty notice", ListWith({{"", "", ""}, {}, {}, {}, {}, {"", "Memory is", ""}, {"", "Empty!", ""}}), ""},
        {"stops at the first empty start number", ListWith({{"1", "a", "b"}, {"", "c", "d"}, {"3", "e", "f"}}),
         "1 a b\r\n"},
        {"blanks are kept", ListWith({{" 1 ", " a ", " b "}}), " 1   a   b \r\n"},
        {"fewer rows than the list", {{"1", "a", "b"}}, "1 a b\r\n"},
        {"no rows", {}, ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(BuildMemoryExport(row.rows), row.text) << row.what;
}

TEST(MemoryExport, FullLinesGiveTwentyFiveCharactersAndAtMost500Rows) {
    const CMemoryReply entry = ParseMemoryReply("M?0012xxxx12:34:56.789yyy1:23.45zz");
    std::vector<CMemoryCells> list(kMemoryRows + 1, entry.m_cells);
    const std::string text = BuildMemoryExport(list);
    const std::vector<std::string> lines = SplitTextLines(text);
    ASSERT_EQ(lines.size(), 500u);
    EXPECT_EQ(lines[0], "0012 12:34:56.789 1:23.45");
    EXPECT_EQ(lines[0].size(), 25u);
    EXPECT_EQ(text.size(), 500u * 27u);
}

struct NameRow {
    const char* chosen;
    const char* file;
};

TEST(MemoryExport, TxtIsAppendedOnlyWhenMissing) {
    const NameRow rows[] = {
        {"/tmp/starts", "/tmp/starts.txt"},
        {"/tmp/starts.txt", "/tmp/starts.txt"}, // the name the overwrite question was about
        {"/tmp/starts.TXT", "/tmp/starts.TXT"},
        {"/tmp/starts.Txt", "/tmp/starts.Txt"},
        {"/tmp/starts.txt.bak", "/tmp/starts.txt.bak.txt"},
        {"/tmp/starts.tx", "/tmp/starts.tx.txt"},
        {"/tmp/txt", "/tmp/txt.txt"},
        {"/tmp/starts.csv", "/tmp/starts.csv.txt"},
        {".txt", ".txt"},
        {"", ".txt"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ExportFileName(row.chosen, EMemoryExport::Text), row.file) << row.chosen;
}

} // namespace

namespace {

struct SFilledRow {
    const char* pszName;
    std::vector<CMemoryCells> rows;
    std::size_t nFilled;
};

TEST(MemoryExport, FilledRowsEndAtTheFirstRowWithoutAStartNumber) {
    const CMemoryCells entry{"0001", "10:15:30.25", "0:01:30"};
    const CMemoryCells noNumber{"", "10:15:31.00", "0:00:01"};
    const SFilledRow rows[] = {
        {"none", {}, 0},
        {"three", {entry, entry, entry}, 3},
        {"a row without a start number ends them", {entry, noNumber, entry}, 1},
        {"the first row without one: none", {noNumber, entry}, 0},
        {"a start number of blanks counts", {{"    ", "", ""}, entry}, 2},
        {"no more than the list's 500 rows", std::vector<CMemoryCells>(501, entry), 500},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FilledMemoryRows(row.rows), row.nFilled) << row.pszName;
        // The export writes exactly those rows.
        const std::string text = BuildMemoryExport(row.rows);
        EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), row.nFilled) << row.pszName;
    }
}

} // namespace
