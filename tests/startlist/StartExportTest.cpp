// The exports of the unit's starts for results programs: which start list entry each start finds, and the IOF XML,
// CSV and JSON files byte for byte.

#include "startlist/StartExport.h"
#include "startlist/CsvStartList.h"
#include "startlist/StartListFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A start list as a results program hands it out, with a name given whole, a club with "&" and ";", a planned
// time, and a number the unit never shows.
const char* const kStartList = "Bib;Vorname;Nachname;Name;Verein;Klasse;Startzeit\r\n"
                               "1;Anna;Berg;;OK Skogen;D21;10:00:00\r\n"
                               "2;;;\"Holm, Lina\";\"A & B; C\";D21;10:01:00\r\n"
                               "017;;;Carl Ek;;H21;\r\n"
                               "9;;;Never Started;;H21;10:09:00\r\n";

// The unit's memory: cells as the Read Memory dialog holds them.
const std::vector<CActualStart> kMemory = {
    {"0001", " 10:00:00.25", "0:00:00"}, {"0002", " 10:00:59.50", "0:00:59"}, {"0017", " 10:02:00.00", "0:01:00"},
    {"0005", " 10:03:00.00", "0:01:00"}, {"0006", "garbage     ", "0:00:00"},
};

CStartList ReadList() {
    CStartListRead read = ReadCsvStartList(kStartList);
    EXPECT_TRUE(read.m_list) << read.m_strError;
    EXPECT_TRUE(read.m_list->Problems().empty());
    return read.m_list.value_or(CStartList{});
}

CIofExportContext Context() {
    CIofExportContext context;
    context.m_strToday = "2024-05-01";
    context.m_zoneAt = [](const std::string& strDate, std::int64_t nMs) {
        // The computer's clock went to summer time at 10:02 on that day, for the test's sake.
        return strDate == "2024-05-01" && nMs >= 10 * 3600000LL + 120000 ? 120 : 60;
    };
    context.m_strCreateTime = "2024-05-01T14:03:27+02:00";
    context.m_strCreator = "Kalvora 1.4";
    return context;
}

} // namespace

TEST(StartExport, EachStartFindsItsNumber) {
    const CStartList list = ReadList();
    const std::vector<CStartRecord> records = MatchStarts(kMemory, &list);
    ASSERT_EQ(records.size(), kMemory.size());
    struct CRow {
        const char* pszName; // empty: not in the list
        std::optional<std::int64_t> difference;
    };
    const std::vector<CRow> expected{
        {"Anna Berg", 250}, {"Holm, Lina", -500}, {"Carl Ek", std::nullopt}, {"", std::nullopt}, {"", std::nullopt}};
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(records[i].m_pStarter ? records[i].m_pStarter->m_strName : std::string(), expected[i].pszName);
        EXPECT_EQ(records[i].m_differenceMs, expected[i].difference);
    }
    EXPECT_FALSE(records[4].m_actualMs);
    // Without a start list every start stands alone.
    for (const CStartRecord& record : MatchStarts(kMemory, nullptr))
        EXPECT_EQ(record.m_pStarter, nullptr);
}

TEST(StartExport, CsvForSpreadsheets) {
    const CStartList list = ReadList();
    EXPECT_EQ(BuildStartsCsv(MatchStarts(kMemory, &list)),
              "\xEF\xBB\xBF"
              "Start No;Name;Club;Class;Planned;Actual;Difference\r\n"
              "1;Anna Berg;OK Skogen;D21;10:00:00;10:00:00.25;+0:00.25\r\n"
              "2;Holm, Lina;\"A & B; C\";D21;10:01:00;10:00:59.5;-0:00.50\r\n"
              "017;Carl Ek;;H21;;10:02:00;\r\n"
              "5;;;;;10:03:00;\r\n"
              "6;;;;;garbage;\r\n");
    EXPECT_EQ(BuildStartsCsv({}), "\xEF\xBB\xBF"
                                  "Start No;Name;Club;Class;Planned;Actual;Difference\r\n");
}

TEST(StartExport, JsonWithTheMemorysKeys) {
    const CStartList list = ReadList();
    const std::vector<CActualStart> memory(kMemory.begin(), kMemory.begin() + 2);
    EXPECT_EQ(
        BuildStartsJson(MatchStarts(memory, &list)),
        "[\n"
        "  {\"start_no\":\"0001\",\"start_time\":\"10:00:00.25\",\"lead_time\":\"0:00:00\",\"name\":\"Anna Berg\","
        "\"club\":\"OK Skogen\",\"class\":\"D21\",\"planned\":\"10:00:00\",\"difference\":\"+0:00.25\"},\n"
        "  {\"start_no\":\"0002\",\"start_time\":\"10:00:59.50\",\"lead_time\":\"0:00:59\",\"name\":\"Holm, Lina\","
        "\"club\":\"A & B; C\",\"class\":\"D21\",\"planned\":\"10:01:00\",\"difference\":\"-0:00.50\"}\n"
        "]\n");
    EXPECT_EQ(BuildStartsJson({}), "[]\n");
}

TEST(StartExport, IofStartListOfTheActualStarts) {
    const CStartList list = ReadList();
    EXPECT_EQ(BuildIofStartList(MatchStarts(kMemory, &list), &list, Context()),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<StartList xmlns=\"http://www.orienteering.org/datastandard/3.0\" iofVersion=\"3.0\" "
              "createTime=\"2024-05-01T14:03:27+02:00\" creator=\"Kalvora 1.4\">\n"
              "  <Event>\n"
              "    <Name>Start times</Name>\n"
              "  </Event>\n"
              "  <ClassStart>\n"
              "    <Class>\n"
              "      <Name>D21</Name>\n"
              "    </Class>\n"
              "    <PersonStart>\n"
              "      <Person>\n"
              "        <Name>\n"
              "          <Family>Berg</Family>\n"
              "          <Given>Anna</Given>\n"
              "        </Name>\n"
              "      </Person>\n"
              "      <Organisation>\n"
              "        <Name>OK Skogen</Name>\n"
              "      </Organisation>\n"
              "      <Start>\n"
              "        <BibNumber>1</BibNumber>\n"
              "        <StartTime>2024-05-01T10:00:00.25+01:00</StartTime>\n"
              "      </Start>\n"
              "    </PersonStart>\n"
              "    <PersonStart>\n"
              "      <Person>\n"
              "        <Name>\n"
              "          <Family>Holm</Family>\n"
              "          <Given>Lina</Given>\n"
              "        </Name>\n"
              "      </Person>\n"
              "      <Organisation>\n"
              "        <Name>A &amp; B; C</Name>\n"
              "      </Organisation>\n"
              "      <Start>\n"
              "        <BibNumber>2</BibNumber>\n"
              "        <StartTime>2024-05-01T10:00:59.5+01:00</StartTime>\n"
              "      </Start>\n"
              "    </PersonStart>\n"
              "  </ClassStart>\n"
              "  <ClassStart>\n"
              "    <Class>\n"
              "      <Name>H21</Name>\n"
              "    </Class>\n"
              "    <PersonStart>\n"
              "      <Person>\n"
              "        <Name>\n"
              "          <Family>Carl Ek</Family>\n"
              "          <Given></Given>\n"
              "        </Name>\n"
              "      </Person>\n"
              "      <Start>\n"
              "        <BibNumber>017</BibNumber>\n"
              "        <StartTime>2024-05-01T10:02:00+02:00</StartTime>\n"
              "      </Start>\n"
              "    </PersonStart>\n"
              "  </ClassStart>\n"
              "  <ClassStart>\n"
              "    <Class>\n"
              "      <Name></Name>\n"
              "    </Class>\n"
              "    <PersonStart>\n"
              "      <Start>\n"
              "        <BibNumber>5</BibNumber>\n"
              "        <StartTime>2024-05-01T10:03:00+02:00</StartTime>\n"
              "      </Start>\n"
              "    </PersonStart>\n"
              "    <PersonStart>\n"
              "      <Start>\n"
              "        <BibNumber>6</BibNumber>\n"
              "      </Start>\n"
              "    </PersonStart>\n"
              "  </ClassStart>\n"
              "</StartList>\n");
}

// Read back by the program's own reader, the IOF export of an IOF start list gives its starters again, with the
// actual times in place of the planned ones and the identifiers the results program needs.
TEST(StartExport, IofExportReadsBack) {
    const std::string file =
        "<StartList xmlns=\"http://www.orienteering.org/datastandard/3.0\" iofVersion=\"3.0\"><Event><Id>9</Id>"
        "<Name>Cup</Name><StartTime><Date>2011-07-30</Date></StartTime></Event><ClassStart><Class><Id>4</Id>"
        "<Name>H21</Name></Class><PersonStart><EntryId>55</EntryId><Person><Id>P1</Id><Name><Family>M\xC3\xBCller"
        "</Family><Given>J\xC3\xB6rg</Given></Name></Person><Organisation><Id>3</Id><Name>OK</Name></Organisation>"
        "<Start><BibNumber>12</BibNumber><StartTime>2011-07-30T10:00:00+01:00</StartTime></Start></PersonStart>"
        "</ClassStart></StartList>";
    const CStartListRead read = ReadStartList(file);
    ASSERT_TRUE(read.m_list) << read.m_strError;
    const std::vector<CActualStart> memory = {{"0012", " 10:00:01.50", "0:00:00"}};
    const std::string exported = BuildIofStartList(MatchStarts(memory, &*read.m_list), &*read.m_list, Context());
    const CStartListRead back = ReadStartList(exported);
    ASSERT_TRUE(back.m_list) << back.m_strError;
    ASSERT_EQ(back.m_list->Starters().size(), 1U);
    CStarter expected = read.m_list->Starters().front();
    expected.m_plannedMs = 10 * 3600000LL + 1500;
    expected.m_nZoneMinutes = 60; // the computer's zone in the test's context on that day and hour
    expected.m_nLine = back.m_list->Starters().front().m_nLine;
    EXPECT_EQ(back.m_list->Starters().front(), expected);
    EXPECT_EQ(back.m_list->m_strEventName, "Cup");
    EXPECT_EQ(back.m_list->m_strEventId, "9");
}

// Names and clubs from files hold any characters: the CSV export of a start list reads back as the same list.
TEST(StartExport, CsvExportReadsBack) {
    const std::string file = "Bib;Name;Club;Class;Start time\n"
                             "3;\"Ek; \"\"Bo\"\"\";\"Club\nwith break\";D 21;09:00:00\n"
                             "4;\xC3\x85sa \xC3\x96"
                             "berg;;;09:01:00.5\n";
    const CStartListRead read = ReadCsvStartList(file);
    ASSERT_TRUE(read.m_list);
    const std::vector<CActualStart> memory = {{"0003", "  9:00:00.00", ""}, {"0004", "  9:01:00.50", ""}};
    const CStartListRead back = ReadCsvStartList(BuildStartsCsv(MatchStarts(memory, &*read.m_list)));
    ASSERT_TRUE(back.m_list) << back.m_strError;
    ASSERT_EQ(back.m_list->Starters().size(), 2U);
    for (std::size_t i = 0; i < 2; ++i) {
        const CStarter& before = read.m_list->Starters()[i];
        const CStarter& after = back.m_list->Starters()[i];
        EXPECT_EQ(after.m_strName, before.m_strName);
        EXPECT_EQ(after.m_strClub, before.m_strClub);
        EXPECT_EQ(after.m_strClass, before.m_strClass);
        EXPECT_EQ(after.m_nStartNumber, before.m_nStartNumber);
    }
}
