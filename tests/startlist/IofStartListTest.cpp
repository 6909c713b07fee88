// IOF XML 3.0 start lists: the elements a results program writes, every start time form, the rows left out with
// their lines, relays, and files that are no start list.

#include "startlist/IofStartList.h"
#include "startlist/TimeOfDay.h"
#include "tests/startlist/StartListTexts.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

namespace {

// Two hours east of UTC, whatever the computer's zone.
int TwoHoursEast(std::int64_t) {
    return 120;
}

std::string Summary(const CStarter& starter) {
    return std::to_string(starter.m_nLine) + " " + starter.m_strBib + "|" + starter.m_strName + "|" +
           starter.m_strClub + "|" + starter.m_strClass + "|" +
           (starter.m_plannedMs ? starter.m_strDate + " " + TimeOfDayText(*starter.m_plannedMs) : std::string()) +
           (starter.m_nZoneMinutes ? " " + std::to_string(*starter.m_nZoneMinutes) : std::string());
}

Texts Summaries(const CStartList& list) {
    return StarterTexts(list, Summary);
}

// A PersonStart as results programs write them (the shape of the standard's own example).
std::string PersonStart(const std::string& strBib, const std::string& strTime, const std::string& strGiven = "Anna",
                        const std::string& strFamily = "Berg") {
    std::string text = "    <PersonStart>\n      <EntryId>E" + strBib + "</EntryId>\n      <Person>\n        <Id>P" +
                       strBib + "</Id>\n        <Name>\n          <Family>" + strFamily +
                       "</Family>\n          <Given>" + strGiven +
                       "</Given>\n        </Name>\n      </Person>\n      <Organisation>\n        <Id>5</Id>\n" +
                       "        <Name>OK Skogen</Name>\n      </Organisation>\n      <Start>\n";
    if (!strBib.empty())
        text += "        <BibNumber>" + strBib + "</BibNumber>\n";
    if (!strTime.empty())
        text += "        <StartTime>" + strTime + "</StartTime>\n";
    return text + "        <ControlCard>794021</ControlCard>\n      </Start>\n    </PersonStart>\n";
}

// The line on which the nth (from 0) element of that name begins.
int LineOfElement(const std::string& strText, const std::string& strElement, int nIndex) {
    std::size_t nAt = 0;
    for (int i = 0; i <= nIndex; ++i)
        nAt = strText.find("<" + strElement + ">", i == 0 ? 0 : nAt + 1);
    return 1 + static_cast<int>(std::count(strText.begin(), strText.begin() + static_cast<std::ptrdiff_t>(nAt), '\n'));
}

// A start list of one class around the PersonStart elements given; the first one begins on line 14.
std::string StartListOf(const std::string& strEntries, const std::string& strEventTime = "10:00:00+01:00") {
    return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<StartList xmlns=\"http://www.orienteering.org/datastandard/3.0\" iofVersion=\"3.0\"\n"
           "           createTime=\"2011-07-20T12:16:31+02:00\" creator=\"Example Software\">\n"
           "  <Event>\n    <Id>77</Id>\n    <Name>Sprint &amp; Relay</Name>\n"
           "    <StartTime>\n      <Date>2011-07-30</Date>\n      <Time>" +
           strEventTime +
           "</Time>\n    </StartTime>\n  </Event>\n"
           "  <ClassStart>\n    <Class><Id>1</Id><Name>Men Elite</Name></Class>\n" +
           strEntries + "  </ClassStart>\n</StartList>\n";
}

} // namespace

TEST(IofStartList, ReadsEveryStartTimeForm) {
    struct CRow {
        const char* pszTime;
        const char* pszEventTime;
        std::string summary;
    };
    const std::vector<CRow> rows{
        {"2011-07-30T10:00:00+01:00", "10:00:00+01:00", "2011-07-30 10:00:00 60"},
        {"2011-07-30T10:00:00.25-05:30", "10:00:00+01:00", "2011-07-30 10:00:00.25 -330"},
        {"2011-07-30T10:00:00", "10:00:00+01:00", "2011-07-30 10:00:00"}, // no zone: the wall clock as it is
        // UTC on the event's wall clock, by the zone of the event's start...
        {"2011-07-30T09:00:00Z", "10:00:00+01:00", "2011-07-30 10:00:00 60"},
        {"2011-07-30T23:30:00Z", "10:00:00+01:00", "2011-07-31 00:30:00 60"},
        // ...and by the computer's where the event's start names no zone of its own.
        {"2011-07-30T09:00:00Z", "10:00:00", "2011-07-30 11:00:00 120"},
        {"2011-07-30T09:00:00Z", "10:00:00Z", "2011-07-30 11:00:00 120"},
        {"2011-07-30T10:00:00.123456+01:00", "", "2011-07-30 10:00:00.123 60"},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszTime);
        const CStartListRead read =
            ReadIofStartList(StartListOf(PersonStart("101", row.pszTime), row.pszEventTime), TwoHoursEast);
        ASSERT_TRUE(read.m_list) << read.m_strError;
        EXPECT_EQ(Summaries(*read.m_list), Texts{"14 101|Anna Berg|OK Skogen|Men Elite|" + row.summary});
        EXPECT_EQ(Problems(*read.m_list), Texts{});
    }
}

// Everything the export writes back: the identifiers of entry, person, club, class and event, the name's parts.
TEST(IofStartList, KeepsWhatTheExportWritesBack) {
    const CStartListRead read = ReadIofStartList(StartListOf(PersonStart("017", "2011-07-30T10:03:00+01:00")));
    ASSERT_TRUE(read.m_list) << read.m_strError;
    const CStartList& list = *read.m_list;
    EXPECT_EQ(list.m_strEventName, "Sprint & Relay");
    EXPECT_EQ(list.m_strEventId, "77");
    EXPECT_EQ(list.m_strEventDate, "2011-07-30");
    ASSERT_EQ(list.Starters().size(), 1U);
    const CStarter& starter = list.Starters().front();
    EXPECT_EQ(starter.m_nStartNumber, 17);
    EXPECT_EQ(starter.m_strBib, "017");
    EXPECT_EQ(starter.m_strGiven, "Anna");
    EXPECT_EQ(starter.m_strFamily, "Berg");
    EXPECT_EQ(starter.m_strEntryId, "E017");
    EXPECT_EQ(starter.m_strPersonId, "P017");
    EXPECT_EQ(starter.m_strClubId, "5");
    EXPECT_EQ(starter.m_strClassId, "1");
}

// Each PersonStart that cannot be taken is reported at the line of its element; the others are kept.
TEST(IofStartList, ReportsEachLeftOutEntryWithItsLine) {
    const std::string file =
        StartListOf(PersonStart("1", "2011-07-30T10:00:00+01:00") + PersonStart("", "2011-07-30T10:01:00+01:00") +
                    PersonStart("B3", "2011-07-30T10:02:00+01:00") + PersonStart("4", "30.07.2011 10:03") +
                    PersonStart("1", "2011-07-30T10:04:00+01:00", "Bo", "Ek") + PersonStart("6", ""));
    const auto line = [&](int nIndex) {
        return std::to_string(LineOfElement(file, "PersonStart", nIndex));
    };
    EXPECT_EQ(line(0), "14");
    const CStartListRead read = ReadIofStartList(file);
    ASSERT_TRUE(read.m_list) << read.m_strError;
    EXPECT_EQ(Summaries(*read.m_list), (Texts{"14 1|Anna Berg|OK Skogen|Men Elite|2011-07-30 10:00:00 60",
                                              line(5) + " 6|Anna Berg|OK Skogen|Men Elite|"}));
    EXPECT_EQ(Problems(*read.m_list),
              (Texts{line(1) + ": no start number (BibNumber)",
                     line(2) + ": start number \"B3\" is not a number from 0 to 9999",
                     line(3) + ": start time \"30.07.2011 10:03\" is not a date and time (YYYY-MM-DDThh:mm:ss, a "
                               "zone optional)",
                     line(4) + ": start number 1 is already on line 14; the first one is kept"}));
}

// Relays are not read: one problem names the first team's line and how many teams were left out; the individual
// classes of the same file are read.
TEST(IofStartList, RelaysAreNotRead) {
    const std::string team = "    <TeamStart>\n      <Name>OK Skogen 1</Name>\n      <BibNumber>301</BibNumber>\n"
                             "    </TeamStart>\n";
    const CStartListRead read = ReadIofStartList(StartListOf(team + team + PersonStart("5", "")));
    ASSERT_TRUE(read.m_list) << read.m_strError;
    EXPECT_EQ(Summaries(*read.m_list), Texts{"22 5|Anna Berg|OK Skogen|Men Elite|"});
    EXPECT_EQ(Problems(*read.m_list), Texts{"14: relay start lists are not read: 2 teams (TeamStart) left out"});
}

// Prefixed names, CDATA, character references, an encoding the declaration names, a person without a name.
TEST(IofStartList, XmlAsOtherProgramsWriteIt) {
    struct CRow {
        const char* pszName;
        std::string file;
        Texts starters;
    };
    const std::vector<CRow> rows{
        {"prefixed",
         "<iof:StartList xmlns:iof=\"http://www.orienteering.org/datastandard/3.0\" iofVersion=\"3.0\">"
         "<iof:Event><iof:Name>E</iof:Name></iof:Event><iof:ClassStart><iof:Class><iof:Name>H21</iof:Name>"
         "</iof:Class><iof:PersonStart><iof:Person><iof:Name><iof:Family>Ek</iof:Family><iof:Given>Bo</iof:Given>"
         "</iof:Name></iof:Person><iof:Start><iof:BibNumber>3</iof:BibNumber></iof:Start></iof:PersonStart>"
         "</iof:ClassStart></iof:StartList>",
         {"1 3|Bo Ek||H21|"}},
        {"character references and CDATA",
         "<StartList iofVersion=\"3.0\"><ClassStart><Class><Name><![CDATA[D<21>]]></Name></Class>\n"
         "<PersonStart><Person><Name><Family>M&#252;ller</Family><Given>J&#xF6;rg</Given></Name></Person>"
         "<Organisation><Name>A &amp; B</Name></Organisation><Start><BibNumber> 4 </BibNumber></Start>"
         "</PersonStart></ClassStart></StartList>",
         {"2 4|J\xC3\xB6rg M\xC3\xBC"
          "ller|A & B|D<21>|"}},
        {"ISO 8859-1",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<StartList><ClassStart><Class><Name>H21</Name></Class>"
         "<PersonStart><Person><Name><Family>M\xFCller</Family><Given></Given></Name></Person><Start>"
         "<BibNumber>9</BibNumber></Start></PersonStart></ClassStart></StartList>",
         {"2 9|M\xC3\xBCller||H21|"}},
        {"no person",
         "<StartList><ClassStart><Class><Name>Open</Name></Class><PersonStart><Start><BibNumber>8</BibNumber>"
         "</Start></PersonStart></ClassStart></StartList>",
         {"1 8|||Open|"}},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        const CStartListRead read = ReadIofStartList(row.file);
        ASSERT_TRUE(read.m_list) << read.m_strError;
        EXPECT_EQ(Summaries(*read.m_list), row.starters);
    }
}

TEST(IofStartList, FilesThatCannotBeRead) {
    struct CRow {
        const char* pszName;
        std::string file;
        std::string error;
    };
    std::string deep;
    for (int i = 0; i < kXmlDepthLimit + 1; ++i)
        deep += "<a>";
    const std::vector<CRow> rows{
        {"empty", "", "the file is empty"},
        {"byte-order mark and blanks", "\xEF\xBB\xBF  \n", "the file is empty"},
        {"not closed", "<StartList>\n<Event>\n</StartList>\n",
         "not well-formed XML at line 3: invalid closing tag name"},
        {"cut short", "<StartList>\n<Event><Name>E", "not well-formed XML at line 2: unexpected end of data"},
        {"other root", "<ResultList iofVersion=\"3.0\"/>",
         "the file is no IOF XML start list: its root element is <ResultList>, not <StartList>"},
        {"version 2", "<StartList><IOFVersion version=\"2.0.3\"/></StartList>",
         "the file is an IOF XML start list of an older version: export it as IOF XML 3.0"},
        {"other version", "<StartList iofVersion=\"4.0\"/>",
         "the file is an IOF XML start list of an older version: export it as IOF XML 3.0"},
        {"nested too deep", deep, "the elements nest deeper than 64 levels"},
        {"UTF-16", std::string("\xFF\xFE<\0S\0", 6), "the file is UTF-16, which is not read: export it as UTF-8"},
        {"other encoding", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><StartList/>",
         "the file's encoding \"shift_jis\" is not read: export it as UTF-8"},
        {"not UTF-8", "<StartList><Event><Name>M\xFCller</Name></Event></StartList>",
         "the file is not valid UTF-8, as its XML declaration says or leaves to be understood"},
        {"zero byte", std::string("<StartList>\0</StartList>", 24),
         "the file holds a zero byte, which no XML file has"},
        {"comment only", "<!-- nothing -->", "the file holds no XML element"},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        const CStartListRead read = ReadIofStartList(row.file);
        EXPECT_FALSE(read.m_list);
        EXPECT_EQ(read.m_strError, row.error);
    }
}

// Depth is counted as elements nest, not as "<" characters come: comments, CDATA and empty elements do not count.
TEST(IofStartList, DepthCountsOnlyNesting) {
    std::string flat = "<StartList><!--";
    for (int i = 0; i < 200; ++i)
        flat += "<a>";
    flat += "--><![CDATA[<b><b><b>]]>";
    for (int i = 0; i < 200; ++i)
        flat += "<c x=\"a>b\"/>";
    flat += "</StartList>";
    const CStartListRead read = ReadIofStartList(flat);
    EXPECT_TRUE(read.m_list) << read.m_strError;
}

TEST(IofStartList, IsoDateTimes) {
    struct CRow {
        const char* pszText;
        bool bRead;
        int nZone;
    };
    const std::vector<CRow> rows{
        {"2011-07-30T10:00:00", true, 9999},      {"2011-07-30T10:00:00Z", true, 0},
        {"2011-07-30T10:00:00+14:00", true, 840}, {"2011-07-30T10:00:00-00:30", true, -30},
        {"2011-07-30 10:00:00", false, 0},        {"2011-13-30T10:00:00", false, 0},
        {"2011-07-30T24:00:00", false, 0},        {"2011-07-30T10:00:00+1:00", false, 0},
        {"2011-07-30T10:00:00.", false, 0},       {"2011-07-30T10:00", false, 0},
        {"2011-07-30T10:00:00+15:00", false, 0},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszText);
        const std::optional<CIsoDateTime> time = ParseIsoDateTime(row.pszText);
        ASSERT_EQ(time.has_value(), row.bRead);
        if (time) {
            EXPECT_EQ(time->m_nZoneMinutes.value_or(9999), row.nZone);
        }
    }
}
