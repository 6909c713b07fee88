// CSV start lists as spreadsheets and results programs save them: each row of a table is one file, with the
// starters read and the rows left out, each with its line and reason.

#include "startlist/CsvStartList.h"
#include "startlist/TimeOfDay.h"
#include "tests/startlist/StartListTexts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A starter as one line: "line number|name|club|class|planned" (planned empty without a time).
std::string Summary(const CStarter& starter) {
    return std::to_string(starter.m_nLine) + " " + std::to_string(starter.m_nStartNumber) + "|" + starter.m_strName +
           "|" + starter.m_strClub + "|" + starter.m_strClass + "|" +
           (starter.m_plannedMs ? TimeOfDayText(*starter.m_plannedMs) : std::string());
}

Texts Summaries(const CStartList& list) {
    return StarterTexts(list, Summary);
}

} // namespace

TEST(CsvStartList, FilesAsProgramsWriteThem) {
    struct CRow {
        const char* pszName;
        std::string file;
        Texts starters;
        Texts problems;
    };
    const std::vector<CRow> rows{
        // A German spreadsheet's "CSV (Trennzeichen-getrennt)": Windows-1252, ";", CR LF, German headings.
        {"German spreadsheet",
         "Startnummer;Vorname;Nachname;Verein;Klasse;Startzeit\r\n"
         "1;J\xF6rg;M\xFCller;SC Hochfirst;H21;10:00:00\r\n"
         "2;Anna;Stra\xDF"
         "er;TSV 1860;D21;10:01:00\r\n",
         {"2 1|J\xC3\xB6rg M\xC3\xBCller|SC Hochfirst|H21|10:00:00", "3 2|Anna Stra\xC3\x9F"
                                                                     "er|TSV 1860|D21|10:01:00"},
         {}},
        // An English spreadsheet saved as "CSV UTF-8": byte-order mark, ",", quotes where a field needs them.
        {"CSV UTF-8 with BOM",
         "\xEF\xBB\xBF"
         "Bib,Name,Club,Class,Start Time\r\n"
         "101,\"Wood, George\",OC Back and Forth,Men Elite,10:00:00\r\n"
         "102,Edgar Martin,\"Bushmen \"\"OC\"\"\",Men Elite,10:03:00.5\r\n",
         {"2 101|Wood, George|OC Back and Forth|Men Elite|10:00:00",
          "3 102|Edgar Martin|Bushmen \"OC\"|Men Elite|10:03:00.5"},
         {}},
        // A results program's tab-separated export, LF only, columns it has and the reader does not need.
        {"tabs",
         "StNr\tFirst name\tLast name\tYear\tTeam\tStart\n"
         "7\tLina\tHolm\t2004\tIK J\xC3\xA4rla\t9:30:00\n"
         "8\tOle\tVik\t2003\t\t9:30:30\n",
         {"2 7|Lina Holm|IK J\xC3\xA4rla||09:30:00", "3 8|Ole Vik|||09:30:30"},
         {}},
        // Headings in any case and spelling; rows of empty fields (a spreadsheet's) skipped; a start number
        // alone is enough.
        {"start numbers only", "\r\nSTART-NR.\r\n5\r\n;\r\n\r\n6\r\n", {"3 5||||", "6 6||||"}, {}},
        // Every kind of bad row, with the good rows between them kept.
        {"bad rows",
         "Bib;Name;Start time\n"
         "1;Anna Berg;10:00:00\n"
         ";No Number;10:01:00\n"
         "A3;Letters;10:02:00\n"
         "10000;Too Big;10:03:00\n"
         "4;Bad Time;25:00:00\n"
         "5;Too;Many;Fields\n"
         "1;Second One;10:06:00\n"
         "6;Carl Ek;\n",
         {"2 1|Anna Berg|||10:00:00", "9 6|Carl Ek|||"},
         {"3: no start number", "4: start number \"A3\" is not a number from 0 to 9999",
          "5: start number \"10000\" is not a number from 0 to 9999",
          "6: start time \"25:00:00\" is not a time of day (HH:MM:SS)",
          "7: 4 fields where the first line names 3 (a delimiter in an unquoted text?)",
          "8: start number 1 is already on line 2; the first one is kept"}},
        // A line break inside quotes: the record keeps its first line, the next record its own.
        {"line break in quotes",
         "Bib,Name,Club\n1,\"Anna\nBerg\",X\n2,Bo,Y\n",
         {"2 1|Anna\nBerg|X||", "4 2|Bo|Y||"},
         {}},
        // A quote never closed swallows the rest of the file: that row is reported, the rows before it kept.
        {"quote not closed",
         "Bib;Name\n1;Anna\n2;\"Bo\n3;Carl\n",
         {"2 1|Anna|||"},
         {"3: a quote opened on this line is never closed"}},
        // Lone carriage returns end lines as well (old spreadsheets on the Mac).
        {"CR only", "Bib;Name\r1;Anna\r2;Bo", {"2 1|Anna|||", "3 2|Bo|||"}, {}},
        // Both a name column and first and last names: the name column wins; an empty one leaves the parts.
        {"name and parts",
         "Nr;Name;Vorname;Nachname\n1;A. Berg;Anna;Berg\n2;;Bo;Ek\n",
         {"2 1|A. Berg|||", "3 2|Bo Ek|||"},
         {}},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        const CStartListRead read = ReadCsvStartList(row.file);
        ASSERT_TRUE(read.m_list) << read.m_strError;
        EXPECT_EQ(Summaries(*read.m_list), row.starters);
        EXPECT_EQ(Problems(*read.m_list), row.problems);
    }
}

// Given and family names are kept apart where the file has them apart (for the IOF export).
TEST(CsvStartList, KeepsTheNamePartsAndTheFileText) {
    const CStartListRead read = ReadCsvStartList("Vorname;Nachname;Startnummer\nAnna;Berg;017\n");
    ASSERT_TRUE(read.m_list);
    ASSERT_EQ(read.m_list->Starters().size(), 1U);
    const CStarter& anna = read.m_list->Starters().front();
    EXPECT_EQ(anna.m_strGiven, "Anna");
    EXPECT_EQ(anna.m_strFamily, "Berg");
    EXPECT_EQ(anna.m_strBib, "017");
    EXPECT_EQ(anna.m_nStartNumber, 17);
}

// Files that are no start list at all: one clear message, no list.
TEST(CsvStartList, FilesThatCannotBeRead) {
    struct CRow {
        const char* pszName;
        std::string file;
        std::string error;
    };
    const std::string noColumn = "the first line names no start number column (such as \"Bib\", \"Start number\" or "
                                 "\"Startnummer\", with \";\", \",\" or tabs between the columns)";
    const std::vector<CRow> rows{
        {"empty", "", "the file is empty"},
        {"blank lines", "\r\n \r\n\t\n", "the file is empty"},
        {"byte-order mark only", "\xEF\xBB\xBF", "the file is empty"},
        {"no header", "1;Anna Berg;10:00:00\n2;Bo Ek;10:01:00\n", noColumn},
        {"names but no number", "Name;Club\nAnna;X\n", noColumn},
        {"UTF-16",
         std::string("\xFF\xFE"
                     "B\0i\0b\0",
                     8),
         "the file is UTF-16, which is not read: save it as UTF-8 or Windows-1252 (ANSI)"},
        {"binary", std::string("\x89PNG\r\n\x1A\n\0\0\0", 11), noColumn},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        const CStartListRead read = ReadCsvStartList(row.file);
        EXPECT_FALSE(read.m_list);
        EXPECT_EQ(read.m_strError, row.error);
    }
}

// The delimiter is the one that makes the most known names of the first line, whatever else the line holds.
TEST(CsvStartList, DelimiterFromTheHeader) {
    struct CRow {
        const char* pszFile;
        const char* pszName; // of the starter with number 12
    };
    const std::vector<CRow> rows{
        // Commas inside a heading of a ";" file: ";" makes two known names, "," none.
        {"Bib;Name, first and last;Club\n12;Anna, B.;X\n", ""},
        // "," makes two known names (Bib, Name), ";" one (Team).
        {"Bib,Name,Club;Team\n12,Anna;Berg,X\n", "Anna;Berg"},
        {"\"Bib\"\t\"Name\"\n12\tAnna\n", "Anna"},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszFile);
        const CStartListRead read = ReadCsvStartList(row.pszFile);
        ASSERT_TRUE(read.m_list) << read.m_strError;
        ASSERT_EQ(read.m_list->Starters().size(), 1U);
        EXPECT_EQ(read.m_list->Starters().front().m_nStartNumber, 12);
        EXPECT_EQ(read.m_list->Starters().front().m_strName, row.pszName);
    }
}
