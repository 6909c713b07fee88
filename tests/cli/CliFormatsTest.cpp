// What the tool prints: the texts for a reader and the forms for results software.

#include "cli/CliFormats.h"

#include "base/Utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

struct STextRow {
    std::string input;
    std::string expected;
};

TEST(CliFormats, Utf8TextOneCharacterPerByte) {
    const STextRow rows[] = {
        {"", ""},
        {"0:15", "0:15"},
        {"\xE9", "\xC3\xA9"},             // é
        {"9\xB0", "9\xC2\xB0"},           // 9°
        {"\xC3\xA9", "\xC3\x83\xC2\xA9"}, // two bytes stay two characters
        {std::string("a\0b", 3), std::string("a\0b", 3)},
        {"\x7F\x80\xFF", "\x7F\xC2\x80\xC3\xBF"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Utf8Text(row.input), row.expected) << row.input;
}

TEST(CliFormats, CsvFieldQuotesOnlyWhenItMust) {
    const STextRow rows[] = {
        {"", ""},
        {"0001", "0001"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"lf\nonly", "\"lf\nonly\""},
        {"blank inside", "blank inside"},
        {"caf\xE9", "caf\xC3\xA9"},
        {"\xE9,", "\"\xC3\xA9,\""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CsvField(row.input), row.expected) << row.input;
}

TEST(CliFormats, LightNameIsTheLitLamp) {
    const struct {
        std::optional<CLightPattern> lights;
        const char* pszName;
    } rows[] = {
        {std::nullopt, ""},
        {LightsForState("0"), "off"},
        {LightsForState("1"), "red"},
        {LightsForState("2"), "yellow"},
        {LightsForState("3"), "green"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(LightName(row.lights), row.pszName);
}

TEST(CliFormats, CurrentValuesTrimmedOnePerLineOrAsOneObject) {
    const struct {
        const char* pszLine;
        const char* pszText;
        const char* pszJson;
    } rows[] = {
        {"S?     0:15    1 2 1 0:30 9",
         "display: 0:15\nsmall: 1\nlight: yellow\nprogram: P1\ntime: 0:30\nbrightness: 9\n",
         R"({"display":"0:15","small":"1","light":"yellow","program":"P1","time":"0:30","brightness":"9"})"
         "\n"},
        {"S? 10:15:30 12   361 1000 4",
         "display: 10:15:30\nsmall: 12\nlight: green\nprogram: P61\ntime: 1000\nbrightness: 4\n",
         R"({"display":"10:15:30","small":"12","light":"green","program":"P61","time":"1000","brightness":"4"})"
         "\n"},
        // A short line: what it does not reach is empty, and an unknown light state names no lamp.
        {"S?     0:15    1 x", "display: 0:15\nsmall: 1\nlight: \nprogram: \ntime: \nbrightness: \n",
         R"({"display":"0:15","small":"1","light":"","program":"","time":"","brightness":""})"
         "\n"},
    };
    for (const auto& row : rows) {
        const auto values = ParseCurrentValues(row.pszLine);
        ASSERT_TRUE(values) << row.pszLine;
        EXPECT_EQ(FormatCurrentValuesText(*values), row.pszText) << row.pszLine;
        EXPECT_EQ(FormatCurrentValuesJson(*values), row.pszJson) << row.pszLine;
    }
}

const CMemoryCells kFirst{"0001", "10:15:30.25", "0:01:30"};
const CMemoryCells kSecond{"0002", " 9:01:02.03", "   1:00"};

TEST(CliFormats, MemoryAsCsvAndJsonTrimmedOneRowPerEntry) {
    const struct {
        const char* pszName;
        std::vector<CMemoryCells> rows;
        std::string strCsv;
        std::string strJson;
    } rows[] = {
        {"empty memory: the header only", {}, "start_no,start_time,lead_time\r\n", "[]\n"},
        {"two entries",
         {kFirst, kSecond},
         "start_no,start_time,lead_time\r\n0001,10:15:30.25,0:01:30\r\n0002,9:01:02.03,1:00\r\n",
         "[\n"
         R"(  {"start_no":"0001","start_time":"10:15:30.25","lead_time":"0:01:30"},)"
         "\n"
         R"(  {"start_no":"0002","start_time":"9:01:02.03","lead_time":"1:00"})"
         "\n]\n"},
        {"the rows the export counts: up to the first without a start number",
         {kFirst, {"", "x", "y"}, kSecond},
         "start_no,start_time,lead_time\r\n0001,10:15:30.25,0:01:30\r\n",
         "[\n"
         R"(  {"start_no":"0001","start_time":"10:15:30.25","lead_time":"0:01:30"})"
         "\n]\n"},
        {"a start number of blanks trims to empty but counts",
         {{"    ", "1,5", "\"q\""}},
         "start_no,start_time,lead_time\r\n,\"1,5\",\"\"\"q\"\"\"\r\n",
         "[\n"
         R"(  {"start_no":"","start_time":"1,5","lead_time":"\"q\""})"
         "\n]\n"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FormatMemoryCsv(row.rows), row.strCsv) << row.pszName;
        EXPECT_EQ(FormatMemoryJson(row.rows), row.strJson) << row.pszName;
    }
}

TEST(CliFormats, MemoryCsvHasOneRowPerExportLine) {
    const std::vector<CMemoryCells> rows(600, kFirst);
    const std::string strCsv = FormatMemoryCsv(rows);
    const std::string strTxt = BuildMemoryExport(rows);
    EXPECT_EQ(std::count(strCsv.begin(), strCsv.end(), '\n'), std::count(strTxt.begin(), strTxt.end(), '\n') + 1);
}

const CLocalTime kArrived{2024, 5, 1, 14, 3, 27, 45, 120};

TEST(CliFormats, MonitorRecordsPerKindInEachForm) {
    const struct {
        const char* pszName;
        std::string line;
        const char* pszText;
        const char* pszCsv;
        const char* pszJsonl;
    } rows[] = {
        {"display", "D?     0:15    1 1", "14:03:27.045 display large=0:15 small=1 light=red\n",
         "2024-05-01T14:03:27.045+02:00,display,0:15,1,red,,,,,,,,,\r\n",
         R"({"time":"2024-05-01T14:03:27.045+02:00","kind":"display","large":"0:15","small":"1","light":"red"})"
         "\n"},
        {"start: the number the window shows", "0013 ST  10:15:30.25",
         "14:03:27.045 start start_no=12 start_time=10:15:30.25\n",
         "2024-05-01T14:03:27.045+02:00,start,,,,12,10:15:30.25,,,,,,,\r\n",
         R"({"time":"2024-05-01T14:03:27.045+02:00","kind":"start","start_no":"12","start_time":"10:15:30.25",)"
         R"("clock_offset":null})"
         "\n"},
        {"lead", "  LEAD TIME  0:01:30", "14:03:27.045 lead lead_time=0:01:30\n",
         "2024-05-01T14:03:27.045+02:00,lead,,,,,,0:01:30,,,,,,\r\n",
         R"({"time":"2024-05-01T14:03:27.045+02:00","kind":"lead","lead_time":"0:01:30"})"
         "\n"},
        {"a display line of 12 characters", "D?     0:15 ", "14:03:27.045 display large=0:15 small= light=\n",
         "2024-05-01T14:03:27.045+02:00,display,0:15,,,,,,,,,,,\r\n",
         R"({"time":"2024-05-01T14:03:27.045+02:00","kind":"display","large":"0:15","small":"","light":""})"
         "\n"},
        {"not recognised", "OK", "", "", ""},
        {"empty", "", "", "", ""},
    };
    for (const auto& row : rows) {
        const CMonitorLine line = ParseMonitorLine(row.line);
        EXPECT_EQ(FormatMonitorLine(line, kArrived, EMonitorFormat::Text), row.pszText) << row.pszName;
        EXPECT_EQ(FormatMonitorLine(line, kArrived, EMonitorFormat::Csv), row.pszCsv) << row.pszName;
        EXPECT_EQ(FormatMonitorLine(line, kArrived, EMonitorFormat::Jsonl), row.pszJsonl) << row.pszName;
    }
    EXPECT_EQ(MonitorCsvHeader(), "time,kind,large,small,light,start_no,start_time,lead_time,name,club,class,planned,"
                                  "difference,clock_offset\r\n");
}

// A start line with what a start list says of its number and the unit's clock as it stands: known fields only in the
// text form (a value with blanks in quotes), every field in CSV and JSON; without the number in the list, its fields
// empty.
TEST(CliFormats, MonitorStartsWithTheStartListAndTheClock) {
    CStarter anna;
    anna.m_nStartNumber = 12;
    anna.m_strName = "Anna \"Ann\" Berg";
    anna.m_strClub = "OK, Skogen";
    anna.m_strClass = "D21";
    anna.m_plannedMs = (10 * 3600 + 15 * 60 + 30) * 1000LL;
    const CMonitorLine line = ParseMonitorLine("0013 ST  10:15:30.25");
    const struct {
        const char* pszName;
        CMonitorStart start;
        const char* pszText;
        const char* pszCsv;
        const char* pszJsonl;
    } rows[] = {
        {"in the list",
         {true, &anna, 250, std::chrono::microseconds{-620'000}},
         "14:03:27.045 start start_no=12 start_time=10:15:30.25 name=\"Anna \\\"Ann\\\" Berg\" club=\"OK, Skogen\" "
         "class=D21 planned=10:15:30 difference=+0:00.25 clock_offset=-0.620\n",
         "2024-05-01T14:03:27.045+02:00,start,,,,12,10:15:30.25,,\"Anna \"\"Ann\"\" Berg\",\"OK, Skogen\",D21,10:15:30,"
         "+0:00.25,-0.620\r\n",
         R"({"time":"2024-05-01T14:03:27.045+02:00","kind":"start","start_no":"12","start_time":"10:15:30.25",)"
         R"("name":"Anna \"Ann\" Berg","club":"OK, Skogen","class":"D21","planned":"10:15:30",)"
         R"("difference":"+0:00.25","clock_offset":-0.620})"
         "\n"},
        {"not in the list",
         {true, nullptr, std::nullopt, std::chrono::microseconds{1'300'000}},
         "14:03:27.045 start start_no=12 start_time=10:15:30.25 clock_offset=+1.300\n",
         "2024-05-01T14:03:27.045+02:00,start,,,,12,10:15:30.25,,,,,,,+1.300\r\n",
         R"({"time":"2024-05-01T14:03:27.045+02:00","kind":"start","start_no":"12","start_time":"10:15:30.25",)"
         R"("name":"","club":"","class":"","planned":"","difference":"","clock_offset":1.300})"
         "\n"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FormatMonitorLine(line, kArrived, EMonitorFormat::Text, row.start), row.pszText) << row.pszName;
        EXPECT_EQ(FormatMonitorLine(line, kArrived, EMonitorFormat::Csv, row.start), row.pszCsv) << row.pszName;
        EXPECT_EQ(FormatMonitorLine(line, kArrived, EMonitorFormat::Jsonl, row.start), row.pszJsonl) << row.pszName;
    }
}

TEST(CliFormats, ALineOfTwoKindsGivesTwoRecords) {
    // Two blanks at its start and "ST" at columns 5-6: a lead line and a start line at once.
    const CMonitorLine line = ParseMonitorLine("  12 ST 10:15:30.25");
    EXPECT_EQ(FormatMonitorLine(line, kArrived, EMonitorFormat::Text),
              "14:03:27.045 start start_no=11 start_time=10:15:30.25\n14:03:27.045 lead lead_time=:30.25\n");
}

TEST(CliFormats, PortLines) {
    EXPECT_EQ(FormatPortLine("COM 7", "/opt/k/ports/COM7", "", true), "COM 7: /opt/k/ports/COM7: can be opened\n");
    EXPECT_EQ(FormatPortLine("COM 1", "/dev/ttyS0",
                             "permission denied: add yourself to the dialout group and log in again", false),
              "COM 1: /dev/ttyS0: permission denied: add yourself to the dialout group and log in again\n");
    EXPECT_EQ(FormatPortLine("COM 2", "/dev/ttyS1", "", false), "COM 2: /dev/ttyS1: cannot be opened\n");
    EXPECT_EQ(FormatPortLine("COM 3 - FTDI FT232R USB UART", "/opt/k/ports/COM3", "in use by another program", false),
              "COM 3 - FTDI FT232R USB UART: /opt/k/ports/COM3: in use by another program\n");
}

TEST(CliFormats, ClockSetShowsTheTimeSentAndTheErrorInMilliseconds) {
    const struct {
        std::chrono::microseconds error;
        const char* pszText;
    } rows[] = {
        {0us, "clock: 10:15:31\nerror: 0.00 ms\n"},
        {420us, "clock: 10:15:31\nerror: 0.42 ms\n"},
        {12'345us, "clock: 10:15:31\nerror: 12.35 ms\n"},
        {-50us, "clock: 10:15:31\nerror: -0.05 ms\n"},
    };
    for (const auto& row : rows) {
        CTimedWrite write;
        write.m_strSecond = "10:15:31";
        write.m_error = row.error;
        EXPECT_EQ(FormatClockSet(write), row.pszText);
    }
}

} // namespace
