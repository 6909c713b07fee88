// JSON strings: what JSON must escape, the characters past ASCII as UTF-8 for files and as escapes for a page.

#include "base/JsonText.h"
#include "base/TextRules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(JsonText, EachStringEscapesWhatJsonMustAndCarriesTheRestAsItsOutputSays) {
    const struct {
        std::string m_strInput;
        const char* pszBytesUtf8;  // as 8-bit data, written as UTF-8
        const char* pszBytesAscii; // as 8-bit data, for a page
        const char* pszUtf8Utf8;   // as UTF-8 text, written as UTF-8
        const char* pszUtf8Ascii;  // as UTF-8 text, for a page
    } kRows[] = {
        {"", "\"\"", "\"\"", "\"\"", "\"\""},
        {"  0:30", "\"  0:30\"", "\"  0:30\"", "\"  0:30\"", "\"  0:30\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\"", "\"a\\\"b\\\\c\"", "\"a\\\"b\\\\c\"", "\"a\\\"b\\\\c\""},
        {"\n\r\t", "\"\\n\\r\\t\"", "\"\\n\\r\\t\"", "\"\\n\\r\\t\"", "\"\\n\\r\\t\""},
        {std::string("\0\x01\x1f\x7f", 4), "\"\\u0000\\u0001\\u001f\\u007f\"", "\"\\u0000\\u0001\\u001f\\u007f\"",
         "\"\\u0000\\u0001\\u001f\\u007f\"", "\"\\u0000\\u0001\\u001f\\u007f\""},
        // Only a page needs "<", ">" and "&" escaped.
        {"</script>&", "\"</script>&\"", "\"\\u003c/script\\u003e\\u0026\"", "\"</script>&\"",
         "\"\\u003c/script\\u003e\\u0026\""},
        // One byte one character as data; as UTF-8 a valid sequence is one character, a stray byte U+FFFD.
        {"caf\xe9", "\"caf\xc3\xa9\"", "\"caf\\u00e9\"", "\"caf\xef\xbf\xbd\"", "\"caf\\ufffd\""},
        {"J\xc3\xb6rg", "\"J\xc3\x83\xc2\xb6rg\"", "\"J\\u00c3\\u00b6rg\"", "\"J\xc3\xb6rg\"", "\"J\\u00f6rg\""},
        {"\xe2\x82\xac", "\"\xc3\xa2\xc2\x82\xc2\xac\"", "\"\\u00e2\\u0082\\u00ac\"", "\"\xe2\x82\xac\"",
         "\"\\u20ac\""},
        {"\xf0\x9f\x8f\x83", "\"\xc3\xb0\xc2\x9f\xc2\x8f\xc2\x83\"", "\"\\u00f0\\u009f\\u008f\\u0083\"",
         "\"\xf0\x9f\x8f\x83\"", "\"\\ud83c\\udfc3\""},
        {"\xc0\xaf", "\"\xc3\x80\xc2\xaf\"", "\"\\u00c0\\u00af\"", "\"\xef\xbf\xbd\xef\xbf\xbd\"",
         "\"\\ufffd\\ufffd\""}, // overlong "/"
        {"\xed\xa0\x80", "\"\xc3\xad\xc2\xa0\xc2\x80\"", "\"\\u00ed\\u00a0\\u0080\"",
         "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\"", "\"\\ufffd\\ufffd\\ufffd\""}, // a surrogate
        {"\xe2\x82", "\"\xc3\xa2\xc2\x82\"", "\"\\u00e2\\u0082\"", "\"\xef\xbf\xbd\xef\xbf\xbd\"",
         "\"\\ufffd\\ufffd\""}, // cut short
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.pszBytesAscii);
        EXPECT_EQ(JsonStringOfBytes(row.m_strInput, EJsonOutput::Utf8), row.pszBytesUtf8);
        EXPECT_EQ(JsonStringOfBytes(row.m_strInput, EJsonOutput::Ascii), row.pszBytesAscii);
        EXPECT_EQ(JsonStringOfUtf8(row.m_strInput, EJsonOutput::Utf8), row.pszUtf8Utf8);
        EXPECT_EQ(JsonStringOfUtf8(row.m_strInput, EJsonOutput::Ascii), row.pszUtf8Ascii);
    }
}

TEST(TextRules, CsvFieldQuotesOnlyWhatHoldsItsSeparatorAQuoteOrALineEnd) {
    const struct {
        std::string m_strInput;
        char cSeparator;
        std::string m_strExpected;
    } kRows[] = {
        {"", ',', ""},
        {"0001", ',', "0001"},
        {"a,b", ',', "\"a,b\""},
        {"a,b", ';', "a,b"},
        {"A & B; C", ';', "\"A & B; C\""},
        {"A & B; C", ',', "A & B; C"},
        {"say \"hi\"", ';', "\"say \"\"hi\"\"\""},
        {"two\r\nlines", ',', "\"two\r\nlines\""},
        {"lf\nonly", ';', "\"lf\nonly\""},
        {"blank inside", ',', "blank inside"},
        {std::string("nul\0inside", 10), ',', std::string("nul\0inside", 10)},
    };
    for (const auto& row : kRows)
        EXPECT_EQ(CsvField(row.m_strInput, row.cSeparator), row.m_strExpected) << row.m_strInput;
}

} // namespace
