// The IOF standard's own example start lists, where the shared data folder is beside the checkout.

#include "base/Files.h"
#include "startlist/StartListFile.h"
#include "startlist/TimeOfDay.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Example(const std::string& strName) {
    return std::string(KALVORA_IOF_DATA_DIR) + "/" + strName;
}

} // namespace

TEST(IofStartListExamples, TheStandardsExamples) {
    if (std::string(KALVORA_IOF_DATA_DIR).empty())
        GTEST_SKIP() << "the IOF XML 3.0 examples are not beside the checkout (../shared/data/iof-xml-3.0)";
    struct CRow {
        const char* pszFile;
        std::vector<std::string> starters;
        std::vector<std::string> problems;
    };
    const std::vector<CRow> rows{
        {"StartList1.xml",
         {"101 George Wood|OC Back and Forth|Men Elite|10:00:00", "102 Edgar Martin|Bushmen OC|Men Elite|10:03:00"},
         // Toni Lawson wears no bib.
         {"line 92: no start number (BibNumber)"}},
        {"StartList_Individual_Step3.xml",
         {"101 George Wood|OC Back and Forth|Men Open|10:00:00", "102 Edgar Martin|Bushmen OC|Men Open|10:03:00"},
         {}},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszFile);
        const CStartListRead read = ReadStartListFile(Example(row.pszFile));
        ASSERT_TRUE(read.m_list) << read.m_strError;
        std::vector<std::string> starters;
        for (const CStarter& starter : read.m_list->Starters())
            starters.push_back(std::to_string(starter.m_nStartNumber) + " " + starter.m_strName + "|" +
                               starter.m_strClub + "|" + starter.m_strClass + "|" +
                               TimeOfDayText(starter.m_plannedMs.value_or(-1)));
        EXPECT_EQ(starters, row.starters);
        std::vector<std::string> problems;
        for (const CStartListProblem& problem : read.m_list->Problems())
            problems.push_back("line " + std::to_string(problem.m_nLine) + ": " + problem.m_strReason);
        EXPECT_EQ(problems, row.problems);
        EXPECT_EQ(read.m_list->m_strEventName, "Example event");
        EXPECT_EQ(read.m_list->m_strEventDate, "2011-07-30");
    }
}

// A file that is not there, a directory, and one over the limit: each a clear message.
TEST(IofStartListExamples, FilesThatAreNotThere) {
    EXPECT_EQ(ReadStartListFile("/nonexistent/start.xml").m_strError, "there is no such file");
    EXPECT_EQ(ReadStartListFile("/").m_strError,
              "the file cannot be read (not a plain file, not readable, or larger than 32 MiB)");
}
