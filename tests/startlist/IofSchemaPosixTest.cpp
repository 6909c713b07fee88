// The IOF XML export validated against the standard's schema by xmllint (libxml2), for starts with and without a
// start list, names with characters XML must escape, and the times the unit can send.

#include "base/Files.h"
#include "startlist/StartExport.h"
#include "startlist/StartListFile.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

std::string Schema() {
    return std::string(KALVORA_IOF_DATA_DIR) + "/IOF.xsd";
}

CIofExportContext Context() {
    CIofExportContext context;
    context.m_strToday = "2024-05-01";
    context.m_zoneAt = [](const std::string&, std::int64_t) {
        return -330;
    };
    context.m_strCreateTime = "2024-05-01T14:03:27.045+02:00";
    context.m_strCreator = "Kalvora 1.4";
    return context;
}

} // namespace

TEST(IofSchema, ExportsValidate) {
    if (std::string(KALVORA_IOF_DATA_DIR).empty())
        GTEST_SKIP() << "the IOF XML 3.0 schema is not beside the checkout (../shared/data/iof-xml-3.0/IOF.xsd)";
    ASSERT_FALSE(std::string(KALVORA_XMLLINT).empty()) << "xmllint is missing (Debian: libxml2-utils)";

    const CStartListRead csv = ReadStartList("Bib;Vorname;Nachname;Name;Verein;Klasse;Startzeit\n"
                                             "1;Anna;Berg;;OK <Skogen> & Co;D21;10:00:00\n"
                                             "2;;;\"Holm, Lina\";;;10:01:00\n"
                                             "3;;;Bo \xC3\x96k;;H\xC3\xA9\x01;\n");
    ASSERT_TRUE(csv.m_list);
    const CStartListRead iof = ReadStartListFile(std::string(KALVORA_IOF_DATA_DIR) + "/StartList1.xml");
    ASSERT_TRUE(iof.m_list) << iof.m_strError;
    const std::vector<CActualStart> memory = {
        {"0001", " 10:00:00.25", "0:00:00"}, {"0002", "  9:59:59.99", "0:00:00"},
        {"0003", " 23:59:59.00", ""},        {"0101", " 10:00:00.00", "0:00:00"},
        {"0102", " 10:03:01.10", "0:03:01"}, {"0999", " 00:00:00.01", ""},
        {"\xE9x", "junk\xFF", ""},           {"", "", ""},
    };
    struct CRow {
        const char* pszName;
        const CStartList* pList;
        std::vector<CActualStart> memory;
    };
    const std::vector<CRow> rows{
        {"CSV start list", &*csv.m_list, memory},
        {"IOF start list", &*iof.m_list, memory},
        {"no start list", nullptr, memory},
        {"no starts", nullptr, {}},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        CTempDir dir;
        const std::string strFile = dir.File("export.xml");
        ASSERT_TRUE(
            WriteFileReplacing(strFile, BuildIofStartList(MatchStarts(row.memory, row.pList), row.pList, Context())));
        const CProgramRun run = RunProgram(KALVORA_XMLLINT, {"--noout", "--schema", Schema(), strFile}, 30s);
        EXPECT_EQ(run.m_nExitCode, 0) << run.m_strErr;
        EXPECT_NE(run.m_strErr.find("validates"), std::string::npos) << run.m_strErr;
    }
}

// The check itself tells a wrong file from a right one: a start without its Start element fails.
TEST(IofSchema, ACheckThatCanFail) {
    if (std::string(KALVORA_IOF_DATA_DIR).empty())
        GTEST_SKIP() << "the IOF XML 3.0 schema is not beside the checkout (../shared/data/iof-xml-3.0/IOF.xsd)";
    CTempDir dir;
    const std::string strFile = dir.File("wrong.xml");
    ASSERT_TRUE(WriteFileReplacing(strFile, "<StartList xmlns=\"http://www.orienteering.org/datastandard/3.0\" "
                                            "iofVersion=\"3.0\"><Event><Name>E</Name></Event><ClassStart><Class>"
                                            "<Name>H</Name></Class><PersonStart/></ClassStart></StartList>"));
    const CProgramRun run = RunProgram(KALVORA_XMLLINT, {"--noout", "--schema", Schema(), strFile}, 30s);
    EXPECT_NE(run.m_nExitCode, 0);
}
