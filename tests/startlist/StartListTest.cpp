// The model's rules and the small rules the readers share: times of day, differences, start numbers, encodings.

#include "startlist/StartList.h"
#include "base/Utf8.h"
#include "startlist/TextEncoding.h"
#include "startlist/TimeOfDay.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t Ms(int nHours, int nMinutes, int nSeconds, int nMs = 0) {
    return ((nHours * 60LL + nMinutes) * 60 + nSeconds) * 1000 + nMs;
}

} // namespace

TEST(TimeOfDay, ParsesTheFormsOfStartListsAndTheUnit) {
    struct CRow {
        const char* pszText;
        std::optional<std::int64_t> expected;
    };
    const std::vector<CRow> rows{
        {"10:15:00", Ms(10, 15, 0)},
        {"9:05:01", Ms(9, 5, 1)},
        {"  9:05:01.25", Ms(9, 5, 1, 250)}, // the unit's twelve columns
        {"10:15:30.2", Ms(10, 15, 30, 200)},
        {"10:15:30.125", Ms(10, 15, 30, 125)},
        {"10:15:30,5", Ms(10, 15, 30, 500)}, // a German spreadsheet's decimal comma
        {"00:00:00", 0},
        {"23:59:59.999", Ms(23, 59, 59, 999)},
        {"24:00:00", std::nullopt},
        {"10:60:00", std::nullopt},
        {"10:15:60", std::nullopt},
        {"10:15", std::nullopt},
        {"10:15:00.1234", std::nullopt},
        {"10:15:00.", std::nullopt},
        {"10:15:00x", std::nullopt},
        {"100:15:00", std::nullopt},
        {"1O:15:00", std::nullopt},
        {"", std::nullopt},
        {"-1:15:00", std::nullopt},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszText);
        EXPECT_EQ(ParseTimeOfDay(row.pszText), row.expected);
    }
}

TEST(TimeOfDay, TextsOfTimesAndDifferences) {
    EXPECT_EQ(TimeOfDayText(Ms(10, 15, 0)), "10:15:00");
    EXPECT_EQ(TimeOfDayText(Ms(9, 5, 1, 250)), "09:05:01.25");
    EXPECT_EQ(TimeOfDayText(Ms(9, 5, 1, 200)), "09:05:01.2");
    EXPECT_EQ(TimeOfDayText(Ms(9, 5, 1, 125)), "09:05:01.125");
    EXPECT_EQ(TimeOfDayText(-1000), "23:59:59");

    struct CRow {
        std::int64_t nMs;
        const char* pszText;
    };
    const std::vector<CRow> differences{
        {2250, "+0:02.25"},
        {-500, "-0:00.50"},
        {0, "+0:00.00"},
        {Ms(0, 12, 3), "+12:03.00"},
        {1005, "+0:01.005"},
        {Ms(1, 2, 3), "+1:02:03.00"},
        {-Ms(2, 0, 0), "-2:00:00.00"},
    };
    for (const CRow& row : differences)
        EXPECT_EQ(DifferenceText(row.nMs), row.pszText) << row.nMs;

    // A start just after midnight planned just before it is late, not a day early.
    EXPECT_EQ(TimeOfDayDifference(Ms(0, 0, 2), Ms(23, 59, 58)), 4000);
    EXPECT_EQ(TimeOfDayDifference(Ms(23, 59, 58), Ms(0, 0, 2)), -4000);
    EXPECT_EQ(TimeOfDayDifference(Ms(10, 0, 5), Ms(10, 0, 0)), 5000);
}

TEST(TimeOfDay, CalendarDays) {
    EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(DaysFromCivil(2011, 7, 30), 15185);
    EXPECT_EQ(DaysFromCivil(2024, 3, 1) - DaysFromCivil(2024, 2, 28), 2); // a leap year
    int nYear = 0;
    int nMonth = 0;
    int nDay = 0;
    CivilFromDays(DaysFromCivil(2000, 2, 29), nYear, nMonth, nDay);
    EXPECT_EQ((std::vector<int>{nYear, nMonth, nDay}), (std::vector<int>{2000, 2, 29}));
}

TEST(StartList, UnitStartNumbers) {
    struct CRow {
        const char* pszText;
        std::optional<int> expected;
    };
    const std::vector<CRow> rows{
        {"17", 17},
        {"0017", 17},
        {" 017 ", 17},
        {"0", 0},
        {"9999", 9999},
        {"10000", std::nullopt},
        {"00000017", 17},
        {"A17", std::nullopt},
        {"17a", std::nullopt},
        {"1 7", std::nullopt},
        {"", std::nullopt},
        {"-1", std::nullopt},
        {"+1", std::nullopt},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.pszText);
        EXPECT_EQ(UnitStartNumber(row.pszText), row.expected);
    }
}

// The first of two starters with one number stays; the second is reported with both lines. The unit's text of a
// number finds it with or without leading zeros.
TEST(StartList, DuplicateNumbersKeepTheFirst) {
    CStartList list;
    CStarter anna;
    anna.m_nStartNumber = 17;
    anna.m_strName = "Anna Berg";
    anna.m_nLine = 5;
    CStarter bert = anna;
    bert.m_strName = "Bert Holm";
    bert.m_nLine = 9;
    list.Add(anna);
    list.Add(bert);
    ASSERT_EQ(list.Starters().size(), 1U);
    ASSERT_NE(list.Find("0017"), nullptr);
    EXPECT_EQ(list.Find("0017")->m_strName, "Anna Berg");
    EXPECT_EQ(list.Find(" 17"), list.Find(17));
    EXPECT_EQ(list.Find("0018"), nullptr);
    EXPECT_EQ(list.Find("ab"), nullptr);
    EXPECT_EQ(ProblemLines(list.Problems()), "line 9: start number 17 is already on line 5; the first one is kept\n");
}

TEST(TextEncoding, Utf8AndWindows1252) {
    struct CRow {
        const char* pszName;
        std::string bytes;
        bool bValid;
    };
    const std::vector<CRow> rows{
        {"ASCII", "Anna Berg", true},
        {"two bytes", "J\xC3\xB6rg", true},
        {"three bytes", "\xE2\x82\xAC", true},
        {"four bytes", "\xF0\x9F\x8F\x83", true},
        {"Windows-1252", "J\xF6rg", false},
        {"cut short", "J\xC3", false},
        {"overlong", "\xC0\xAF", false},
        {"surrogate", "\xED\xA0\x80", false},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", false},
        {"stray follower", "\x80", false},
    };
    for (const CRow& row : rows)
        EXPECT_EQ(IsValidUtf8(row.bytes), row.bValid) << row.pszName;

    EXPECT_EQ(Utf8FromWindows1252("J\xF6rg M\xFCller \x80 \x96 \x81"),
              "J\xC3\xB6rg M\xC3\xBCller \xE2\x82\xAC \xE2\x80\x93 \xC2\x81");
    EXPECT_EQ(Utf8Text("12:00:00.0\xE9"), "12:00:00.0\xC3\xA9");
    EXPECT_EQ(XmlEscaped("Smith & <Sons> \"'\x01\t"), "Smith &amp; &lt;Sons&gt; &quot;&apos;\t");
}
