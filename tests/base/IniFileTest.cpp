#include "base/IniFile.h"
#include "base/Files.h"
#include "tests/support/OtherUser.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::string_literals;

void WriteRaw(const std::string& strPath, std::string_view bytes) {
    std::ofstream file(strPath, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::size_t FilesIn(const std::string& strDirectory) {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(strDirectory), std::filesystem::directory_iterator{}));
}

// ---- Reading one value ----

struct ReadRow {
    std::string text;
    std::string section;
    std::string key;
    std::optional<std::string> value;
};

TEST(IniFileRead, FollowsTheProfileRules) {
    const std::string longValue(250, 'v');
    const ReadRow rows[] = {
        // names match regardless of case
        {"[settings]\ncomport=3\n", "Settings", "COMPort", "3"},
        {"[SETTINGS]\r\nCOMPORT=3\r\n", "settings", "comport", "3"},
        {"[\xC4]\nk=1\n", "\xE4", "k", std::nullopt}, // only ASCII letters fold
        // values come back without blanks and tabs at both ends
        {"[S]\nK = \t value  \t\n", "S", "K", "value"},
        {"[S]\nK=in side\n", "S", "K", "in side"},
        {"[S]\nK=b=c\n", "S", "K", "b=c"},
        {"  [ S ]  ; note\n\tK\t=1\n", "S", "K", "1"},
        {"[S]\nCom Port=1\n", "S", "Com Port", "1"},
        // 199 characters at most
        {"[S]\nK=" + longValue + "\n", "S", "K", longValue.substr(0, 199)},
        {"[S]\nK=" + std::string(199, 'w') + "\n", "S", "K", std::string(199, 'w')},
        // absent: missing key, empty value, blank value, missing section, key outside every section
        {"[S]\nOther=1\n", "S", "K", std::nullopt},
        {"[S]\nK=\n", "S", "K", std::nullopt},
        {"[S]\nK=  \t \n", "S", "K", std::nullopt},
        {"[T]\nK=1\n", "S", "K", std::nullopt},
        {"K=1\n[S]\n", "S", "K", std::nullopt},
        {"", "S", "K", std::nullopt},
        // the first section and the first key count
        {"[S]\nA=1\n[S]\nA=2\nB=3\n", "S", "A", "1"},
        {"[S]\nA=1\n[S]\nA=2\nB=3\n", "S", "B", std::nullopt},
        {"[S]\nA=1\nA=2\n", "S", "A", "1"},
        {"[S]\nA=\nA=2\n", "S", "A", std::nullopt},
        // a line without "=" is no key; a comment is no key
        {"[S]\nA\nA=5\n", "S", "A", "5"},
        {"[S]\n;A=1\nA=2\n", "S", "A", "2"},
        {"[S]\n;A=1\n", "S", ";A", std::nullopt},
        // "[" without "]" starts no section: the line belongs to the section it stands in
        {"[S\nA=1\n", "S", "A", std::nullopt},
        {"[S]\nA=1\n[T\nB=2\n", "S", "B", "2"},
        // line endings: CR LF, LF, a CR alone, none at the end
        {"[S]\r\nA=1\r\nB=2\r\n", "S", "A", "1"},
        {"[S]\rA=1\rB=2", "S", "B", "2"},
        {"[S]\nA=1\r\rB=2", "S", "B", "2"},
        {"[S]\nA=x\ry\n", "S", "A", "x"},
        // NUL bytes are ordinary characters in names; in a value a NUL ends the value
        {"[S]\nA=x\0y\n"s, "S", "A", "x"},
        {"[S\0]\nA=1\n"s, "S", "A", std::nullopt},
        {"[S\0]\nA=1\n"s, "S\0"s, "A", "1"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CIniFile::GetStringFromText(row.text, row.section, row.key), row.value)
            << '"' << row.text << "\" " << row.section << '/' << row.key;
}

constexpr std::string_view kBom = "\xEF\xBB\xBF"; // the UTF-8 byte-order mark that Notepad writes

TEST(IniFileRead, HandEditedFilesReadAsTheProfileFunctionsReadThem) {
    const std::string bom(kBom);
    const ReadRow rows[] = {
        // a matching pair of quotes around the value is taken off; the blanks inside them stay
        {"[System]\nLanguage=\"Deutsch\"\n", "System", "Language", "Deutsch"},
        {"[S]\nK=\" 6 \"\n", "S", "K", " 6 "},
        {"[S]\nK =  ' 6 '  \t\n", "S", "K", " 6 "},
        {"[S]\nK='abc'\n", "S", "K", "abc"},
        {"[S]\nK=\"a\"b\"\n", "S", "K", "a\"b"},
        {"[S]\nK=\"\"\"\"\n", "S", "K", "\"\""},
        {"[S]\nK=\" \"\n", "S", "K", " "},
        // a lone quote, quotes that do not match, or quotes that do not enclose the value stay
        {"[S]\nK=\"abc\n", "S", "K", "\"abc"},
        {"[S]\nK=abc\"\n", "S", "K", "abc\""},
        {"[S]\nK=\"abc'\n", "S", "K", "\"abc'"},
        {"[S]\nK='abc\"\n", "S", "K", "'abc\""},
        {"[S]\nK=\"\n", "S", "K", "\""},
        {"[S]\nK='\n", "S", "K", "'"},
        {"[S]\nK=\"x\" ; note\n", "S", "K", "\"x\" ; note"},
        {"[S]\nK=a\"b\"\n", "S", "K", "a\"b\""},
        // quotes around nothing leave an empty value, which is absent
        {"[S]\nK=\"\"\n", "S", "K", std::nullopt},
        {"[S]\nK= '' \n", "S", "K", std::nullopt},
        {"[S]\nK=\"\"\nK=2\n", "S", "K", std::nullopt},
        // the quotes are taken off before the value is cut to 199 characters, so they never count
        {"[S]\nK=\"" + std::string(199, 'w') + "\"\n", "S", "K", std::string(199, 'w')},
        {"[S]\nK=\"" + std::string(250, 'v') + "\"\n", "S", "K", std::string(199, 'v')},
        {"[S]\nK=\"" + std::string(5, ' ') + std::string(250, 'x') + "\"\n", "S", "K",
         std::string(5, ' ') + std::string(194, 'x')},
        {"[S]\nK=\"" + std::string(250, 'v') + "\n", "S", "K", "\"" + std::string(198, 'v')},
        // a UTF-8 byte-order mark at the start of the file is skipped, once and only there
        {bom + "[Settings]\r\nCOMPort=2\r\n", "Settings", "COMPort", "2"},
        {bom + "[S]\nK=1\n", "S", "K", "1"},
        {bom + "K=1\n[S]\n", "S", "K", std::nullopt},
        {bom + bom + "[S]\nK=1\n", "S", "K", std::nullopt},
        {"\xEF\xBB[S]\nK=1\n", "S", "K", std::nullopt},
        {"[S]\n" + bom + "K=1\n", "S", "K", std::nullopt},
        {bom, "S", "K", std::nullopt},
        // a line that begins with "[" but has no "]" is an ordinary line of the section it stands in
        {"[S]\n[abc\nK=1\n", "S", "K", "1"},
        {"[S]\n[T\nK=1\n", "T", "K", std::nullopt},
        {"[T\n[S]\nK=1\n", "S", "K", "1"},
        {"[S]\n[abc=1\n", "S", "[abc", "1"},
        {"[S]\n  [abc = 2 \n", "S", "[ABC", "2"},
        {"[S]\n[abc=1\n", "S", "abc", std::nullopt},
        {"[S]\n[abc\n", "S", "[abc", std::nullopt},
        // a NUL byte ends the value; the value before it is trimmed and unquoted as any other
        {"[System]\nLanguage=De\0utsch\n"s, "System", "Language", "De"},
        {"[S]\nK=De \0utsch\n"s, "S", "K", "De"},
        {"[S]\nK=\"De\"\0x\n"s, "S", "K", "De"},
        {"[S]\nK=\"De\0\"\n"s, "S", "K", "\"De"},
        {"[S]\nK=\0x\n"s, "S", "K", std::nullopt},
        {"[S]\nK=\0x\nK=2\n"s, "S", "K", std::nullopt},
        {"[S]\nA=\0\nK=2\n"s, "S", "K", "2"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CIniFile::GetStringFromText(row.text, row.section, row.key), row.value)
            << '"' << row.text << "\" " << row.section << '/' << row.key;
}

// ---- Writing one value ----

struct WriteRow {
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

TEST(IniFileWrite, ChangesOneValueAndKeepsEveryOtherByte) {
    const WriteRow rows[] = {
        // a new file is written with CR LF
        {"", "Settings", "COMPort", "0", "[Settings]\r\nCOMPort=0\r\n"},
        {"", " S ", " K ", "v", "[S]\r\nK=v\r\n"},
        // replaced in place: the key keeps its spelling, blanks and "="; comments, blank lines and other
        // sections stay as they were
        {"; top\n\n[S]\nK=1\nL=2\n\n[T]\nK=9\n", "S", "K", "3", "; top\n\n[S]\nK=3\nL=2\n\n[T]\nK=9\n"},
        {"[settings]\n  comport = 5  \n", "Settings", "COMPort", "3", "[settings]\n  comport = 3\n"},
        {"[S]\r\nK=1\r\nL=2\r\n", "S", "K", "22", "[S]\r\nK=22\r\nL=2\r\n"},
        {"[S]\nK=1", "S", "K", "2", "[S]\nK=2"},
        {"[S]\nK=\n", "S", "K", "-1", "[S]\nK=-1\n"},
        // a new key follows the section's last entry, before blank lines and comments that lead to the next
        {"[S]\nA=1\n\n[T]\nB=2\n", "S", "K", "v", "[S]\nA=1\nK=v\n\n[T]\nB=2\n"},
        {"[S]\nA=1\n; about T\n[T]\n", "S", "K", "v", "[S]\nA=1\nK=v\n; about T\n[T]\n"},
        {"[S]\n[T]\n", "S", "K", "v", "[S]\nK=v\n[T]\n"},
        {"[S]\r\nA=1\r\n\r\n", "S", "K", "v", "[S]\r\nA=1\r\nK=v\r\n\r\n"},
        {"[S]\nA=1", "S", "K", "v", "[S]\nA=1\nK=v\n"},
        {"[S]\rA=1\r", "S", "K", "v", "[S]\rA=1\rK=v\r"},
        // mixed line endings: the new line takes the ending of the line it follows, so no CR meets an LF
        {"[S]\ra=1\n\n[T]", "S", "K", "v", "[S]\ra=1\nK=v\n\n[T]"},
        {"[S]\na=1\r\n", "S", "K", "v", "[S]\na=1\r\nK=v\r\n"},
        // a missing section goes at the end of the file, with the file's own line ending
        {"[T]\nB=2\n", "S", "K", "v", "[T]\nB=2\n[S]\nK=v\n"},
        {"; c\r\n[T]\r\nB=2", "S", "K", "v", "; c\r\n[T]\r\nB=2\r\n[S]\r\nK=v\r\n"},
        {"no section", "S", "K", "v", "no section\r\n[S]\r\nK=v\r\n"},
        // the first of repeated sections and keys is the one written
        {"[S]\nA=1\n[S]\nK=1\n", "S", "K", "2", "[S]\nA=1\nK=2\n[S]\nK=1\n"},
        {"[S]\nK=1\nK=1\n", "S", "K", "2", "[S]\nK=2\nK=1\n"},
        // a line without "=" and a comment are no key
        {"[S]\nK\n", "S", "K", "v", "[S]\nK\nK=v\n"},
        {"[S]\n;K=1\n", "S", "K", "v", "[S]\nK=v\n;K=1\n"},
        // names or values that would not read back as written change nothing
        {"[S]\nK=1\n", "S", "K", "a\nb", "[S]\nK=1\n"},
        {"[S]\nK=1\n", "S", "K", "a\rb", "[S]\nK=1\n"},
        {"[S]\nK=1\n", "S", "K\n", "2", "[S]\nK=1\n"},
        {"[S]\nK=1\n", "S", "a=b", "2", "[S]\nK=1\n"},
        {"[S]\nK=1\n", "S", "", "2", "[S]\nK=1\n"},
        {"[S]\nK=1\n", "S", "[K", "2", "[S]\nK=1\n"},
        {"[S]\nK=1\n", "S", ";K", "2", "[S]\nK=1\n"},
        {"[S]\nK=1\n", "a]b", "K", "2", "[S]\nK=1\n"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CIniFile::WriteStringToText(row.before, row.section, row.key, row.value), row.after)
            << '"' << row.before << "\" " << row.section << '/' << row.key << '=' << row.value;
}

struct ByteWriteRow {
    std::string before;
    const char* key;
    std::string value;
    std::string after;
};

TEST(IniFileWrite, HandEditedFilesKeepTheirMarkTheirQuotesAndTheirOtherBytes) {
    const std::string bom(kBom);
    const ByteWriteRow rows[] = {
        // a byte-order mark stays in front of everything, whatever the write does
        {bom + "[S]\r\nK=1\r\n", "K", "3", bom + "[S]\r\nK=3\r\n"},
        {bom + "[S]\r\nA=1\r\n", "K", "v", bom + "[S]\r\nA=1\r\nK=v\r\n"},
        {bom + "[S]", "K", "v", bom + "[S]\r\nK=v\r\n"},
        {bom + "[T]\nB=2\n", "K", "v", bom + "[T]\nB=2\n[S]\nK=v\n"},
        {bom, "K", "v", bom + "[S]\r\nK=v\r\n"},
        {bom + "no section", "K", "v", bom + "no section\r\n[S]\r\nK=v\r\n"},
        // the value as it stands is replaced, quotes and all
        {"[S]\nK=\"old\"\n", "K", "new", "[S]\nK=new\n"},
        {"[S]\nK = 'a b' \n", "K", "3", "[S]\nK = 3\n"},
        {"[S]\nK=\"\"\n", "K", "1", "[S]\nK=1\n"},
        {"[S]\nK=1\n", "K", "\"x\"", "[S]\nK=\"x\"\n"},
        // a line with "[" and no "]" belongs to the section above it
        {"[S]\n[abc\n[T]\n", "K", "v", "[S]\n[abc\nK=v\n[T]\n"},
        {"[S]\n[T\nK=1\n", "K", "2", "[S]\n[T\nK=2\n"},
        {"[S]\n[abc=1\nK=1\n", "K", "2", "[S]\n[abc=1\nK=2\n"},
        // NUL bytes of other lines stay; the NUL in the written key's value goes with the value
        {"[S]\nA=x\0y\nK=1\n"s, "K", "2", "[S]\nA=x\0y\nK=2\n"s},
        {"[S]\r\nK=De\0utsch\r\nL=\0\r\n"s, "K", "En", "[S]\r\nK=En\r\nL=\0\r\n"s},
        {"[S\0]\nK=1\n"s, "K", "2", "[S\0]\nK=1\n[S]\nK=2\n"s},
        // a value with a NUL could not read back as written: nothing changes
        {"[S]\nK=1\n", "K", "a\0b"s, "[S]\nK=1\n"},
        {"", "K", "\0"s, ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CIniFile::WriteStringToText(row.before, "S", row.key, row.value), row.after)
            << '"' << row.before << "\" " << row.key << '=' << row.value;
}

TEST(IniFileFile, ANotepadFileWithAByteOrderMarkKeepsItsFirstSection) {
    CTempDir dir;
    const std::string strPath = dir.File("config.ini");
    const std::string bom(kBom);
    WriteRaw(strPath, bom + "[Settings]\r\nCOMPort=4\r\n[System]\r\nLanguage=\"Deutsch\"\r\nNote=a\0b\r\n"s);
    EXPECT_EQ(CIniFile::GetString(strPath, "Settings", "COMPort"), "4");
    EXPECT_EQ(CIniFile::GetString(strPath, "System", "Language"), "Deutsch");
    ASSERT_TRUE(CIniFile::WriteString(strPath, "Settings", "COMPort", "2"));
    ASSERT_TRUE(CIniFile::WriteString(strPath, "Settings", "Baudrate", "1"));
    EXPECT_EQ(ReadFileBytes(strPath),
              bom + "[Settings]\r\nCOMPort=2\r\nBaudrate=1\r\n[System]\r\nLanguage=\"Deutsch\"\r\nNote=a\0b\r\n"s);
    EXPECT_FALSE(CIniFile::WriteString(strPath, "Settings", "COMPort", "1\0"s));
    EXPECT_EQ(CIniFile::GetString(strPath, "Settings", "COMPort"), "2");
}

TEST(IniFileWrite, WhatIsWrittenReadsBackAndNoOtherKeyChanges) {
    const std::string texts[] = {
        "",
        "[S]\nK=1\n",
        "[s]\r\nk = 1 \r\nL=2\r\n[T]\r\nK=3\r\n",
        "[T]\rK=3\r[S]\rL=\r",
        "K=0\n[S\nL=1\n[S]\nK=2\n",
        "[S]\nA\n;K=1\n\n",
    };
    const std::pair<const char*, const char*> others[] = {{"S", "L"}, {"T", "K"}, {"S", "A"}, {"U", "K"}};
    for (const std::string& text : texts) {
        for (const char* value : {"0", " padded ", "x=y;z", ""}) {
            const std::string written = CIniFile::WriteStringToText(text, "S", "K", value);
            const std::string trimmed = value == std::string(" padded ") ? "padded" : value;
            EXPECT_EQ(CIniFile::GetStringFromText(written, "S", "K"),
                      trimmed.empty() ? std::nullopt : std::optional<std::string>(trimmed))
                << text;
            for (const auto& [section, key] : others)
                EXPECT_EQ(CIniFile::GetStringFromText(written, section, key),
                          CIniFile::GetStringFromText(text, section, key))
                    << text << " " << section << '/' << key;
        }
    }
}

// ---- Reading a section ----

struct SectionRow {
    std::string text;
    std::size_t nLimit;
    std::vector<std::string> entries;
};

TEST(IniFileSection, DeliversTrimmedEntriesWithinTheLimit) {
    const std::size_t kLarge = 1000;
    const SectionRow rows[] = {
        {"[S]\n  A  =  1  \n\nB\n;c\n  ; d\n[T]\nC=3\n", kLarge, {"A=1", "B"}},
        {"[s]\r\nA = b = c\r\n =x\r\n\tword  word\t\r\n", kLarge, {"A=b = c", "=x", "word  word"}},
        {"x=1\n[S]\nA=1\n[S]\nB=2\n", kLarge, {"A=1"}},
        {"[T]\nA=1\n", kLarge, {}},
        {"", kLarge, {}},
        {"[S]", kLarge, {}},
        {"[S]\rA=1\rB=2", kLarge, {"A=1", "B=2"}},
        // the limit counts each entry's terminator and the list's final one; a straddling entry is cut
        {"[S]\nA=1\nB=2\n", 9, {"A=1", "B=2"}},
        {"[S]\nA=1\nB=2\n", 8, {"A=1", "B="}},
        {"[S]\nA=1\nB=2\n", 6, {"A=1"}},
        {"[S]\nA=1\nB=2\n", 5, {"A=1"}},
        {"[S]\nA=1\nB=2\n", 4, {"A="}},
        {"[S]\nA=1\nB=2\n", 3, {"A"}},
        {"[S]\nA=1\nB=2\n", 2, {}},
        {"[S]\nA=1\nB=2\n", 1, {}},
        {"[S]\nA=1\nB=2\n", 0, {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CIniFile::GetSectionFromText(row.text, "S", row.nLimit), row.entries)
            << '"' << row.text << "\" limit " << row.nLimit;
}

TEST(IniFileSection, FollowsTheFileRulesAndKeepsQuotes) {
    const std::size_t kLarge = 1000;
    const std::string bom(kBom);
    const SectionRow rows[] = {
        {bom + "[S]\r\nA=1\r\n", kLarge, {"A=1"}},
        {bom + bom + "[S]\r\nA=1\r\n", kLarge, {}},
        {"[S]\n[abc\n  [abc = 1 \nB=2\n[T]\nC=3\n", kLarge, {"[abc", "[abc=1", "B=2"}},
        {"[T]\nC=3\n[S\n[S]\nA=1\n", kLarge, {"A=1"}},
        // quotes stay as they stand
        {"[S]\n1000=\"On\"\n1001 = ' x ' \n1002=\"\"\n", kLarge, {"1000=\"On\"", "1001=' x '", "1002=\"\""}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CIniFile::GetSectionFromText(row.text, "S", row.nLimit), row.entries)
            << '"' << row.text << "\" limit " << row.nLimit;
}

// ---- Files ----

TEST(IniFileFile, MissingFileReadsAsAbsent) {
    CTempDir dir;
    EXPECT_EQ(CIniFile::GetString(dir.File("none.ini"), "S", "K"), std::nullopt);
    EXPECT_TRUE(CIniFile::GetSection(dir.File("none.ini"), "S", 100).empty());
    EXPECT_EQ(CIniFile::GetString(dir.Path(), "S", "K"), std::nullopt); // a directory
    EXPECT_EQ(CIniFile::ReadText(dir.File("none.ini")), std::nullopt);
    EXPECT_EQ(CIniFile::ReadText(dir.Path()), std::nullopt);
    WriteRaw(dir.File("some.ini"), "\xEF\xBB\xBF[S]\r\nK=\"v\"\r\n");
    EXPECT_EQ(CIniFile::ReadText(dir.File("some.ini")), "\xEF\xBB\xBF[S]\r\nK=\"v\"\r\n"); // byte for byte
}

TEST(IniFileFile, WritesCreateAndThenUpdateTheFile) {
    CTempDir dir;
    const std::string strPath = dir.File("config.ini");
    ASSERT_TRUE(CIniFile::WriteString(strPath, "Settings", "COMPort", "4"));
    ASSERT_TRUE(CIniFile::WriteString(strPath, "settings", "Baudrate", "2"));
    ASSERT_TRUE(CIniFile::WriteString(strPath, "SETTINGS", "comport", "5"));
    EXPECT_EQ(ReadFileBytes(strPath), "[Settings]\r\nCOMPort=5\r\nBaudrate=2\r\n");
    EXPECT_EQ(CIniFile::GetString(strPath, "Settings", "COMPORT"), "5");
    EXPECT_EQ(CIniFile::GetSection(strPath, "Settings", 100), (std::vector<std::string>{"COMPort=5", "Baudrate=2"}));
    EXPECT_EQ(FilesIn(dir.Path()), 1u); // no temporary file left behind
}

TEST(IniFileFile, RefusedWritesChangeNothing) {
    CTempDir dir;
    const std::string strPath = dir.File("config.ini");
    WriteRaw(strPath, "[S]\nK=1\n");
    EXPECT_FALSE(CIniFile::WriteString(strPath, "S", "K", "a\nb"));
    EXPECT_FALSE(CIniFile::WriteString(dir.File("missing/config.ini"), "S", "K", "1"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
    EXPECT_FALSE(CIniFile::WriteString(dir.Path(), "S", "K", "1"));
    EXPECT_EQ(ReadFileBytes(strPath), "[S]\nK=1\n");
    EXPECT_EQ(FilesIn(dir.Path()), 1u);
}

struct SWriteManyRow {
    const char* pszName;
    std::optional<std::string> before; // nothing: no file
    std::vector<CIniFile::CKeyValue> keyValues;
    bool bWritten;
    std::optional<std::string> after;
};

TEST(IniFileFile, SeveralKeysGoIntoTheFileInOneReplacement) {
    const std::string bom(kBom);
    const std::vector<CIniFile::CKeyValue> portAndBaud = {{"COMPort", "2"}, {"Baudrate", "1"}};
    const SWriteManyRow rows[] = {
        {"a new file holds both, in the order given", std::nullopt, portAndBaud, true,
         "[Settings]\r\nCOMPort=2\r\nBaudrate=1\r\n"},
        {"both replaced in place, every other byte kept",
         "[System]\nLanguage=Deutsch\n[settings]\nBaudrate = 0\n; the port\ncomport=6 ; old\n", portAndBaud, true,
         "[System]\nLanguage=Deutsch\n[settings]\nBaudrate = 1\n; the port\ncomport=2\n"},
        {"a missing key follows the one set before it", "[Settings]\r\nCOMPort=6\r\n[System]\r\nLanguage=English\r\n",
         portAndBaud, true, "[Settings]\r\nCOMPort=2\r\nBaudrate=1\r\n[System]\r\nLanguage=English\r\n"},
        {"a byte-order mark stays in front", bom + "[Settings]\r\nCOMPort=6\r\n", portAndBaud, true,
         bom + "[Settings]\r\nCOMPort=2\r\nBaudrate=1\r\n"},
        {"the same key twice keeps the later value",
         "[Settings]\nK=0\n",
         {{"K", "1"}, {"k", "2"}},
         true,
         "[Settings]\nK=2\n"},
        {"a value that would not read back: neither is written",
         "[Settings]\nK=0\n",
         {{"K", "1"}, {"L", "a\nb"}},
         false,
         "[Settings]\nK=0\n"},
        {"a key that would not read back: neither is written",
         "[Settings]\nK=0\n",
         {{"K", "1"}, {"a=b", "2"}},
         false,
         "[Settings]\nK=0\n"},
        {"nothing to set makes no file", std::nullopt, {}, true, std::nullopt},
    };
    for (const auto& row : rows) {
        CTempDir dir;
        const std::string strPath = dir.File("config.ini");
        if (row.before)
            WriteRaw(strPath, *row.before);
        EXPECT_EQ(CIniFile::WriteStrings(strPath, "Settings", row.keyValues), row.bWritten) << row.pszName;
        EXPECT_EQ(ReadFileBytes(strPath), row.after) << row.pszName;
        EXPECT_EQ(FilesIn(dir.Path()), row.after ? 1u : 0u) << row.pszName; // no temporary file left behind
    }
}

TEST(IniFileFile, AFullDiskWritesNeitherOfTwoKeys) {
    CTempDir dir;
    const std::string strPath = dir.File("config.ini");
    const std::string old = "[System]\r\nLanguage=English\r\n[Settings]\r\nCOMPort=1\r\nBaudrate=0\r\n";
    WriteRaw(strPath, old);

    // The second value is too large for the file size limit: the first one must not be in the file either.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string large(8000, '7');
    const bool bWritten = CIniFile::WriteStrings(strPath, "Settings", {{"COMPort", "5"}, {"Baudrate", large}});
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(bWritten);
    EXPECT_EQ(ReadFileBytes(strPath), old);
    EXPECT_EQ(FilesIn(dir.Path()), 1u);
}

TEST(IniFileFile, AFullDiskLeavesTheOldFileWhole) {
    CTempDir dir;
    const std::string strPath = dir.File("config.ini");
    const std::string old = "[System]\r\nLanguage=English\r\n[Settings]\r\nCOMPort=1\r\n";
    WriteRaw(strPath, old);

    // A file size limit makes the write of the new file fail part way, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool bWritten = CIniFile::WriteString(strPath, "Settings", "COMPort", std::string(8000, '7'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(bWritten);
    EXPECT_EQ(ReadFileBytes(strPath), old);
    EXPECT_EQ(FilesIn(dir.Path()), 1u);
}

// The user may write the file but not the directory, which then holds no temporary file: the file is written where
// it is.
TEST(IniFileFile, AWritableFileInAnUnwritableDirectoryIsWrittenInPlace) {
    CTempDir dir;
    const std::string strPath = dir.File("config.ini");
    WriteRaw(strPath, "[S]\nK=1\nL=x\n");
    if (RunsAsSuperuser()) {
        ASSERT_EQ(::chown(strPath.c_str(), UnprivilegedUid(), UnprivilegedGid()), 0);
    }
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0555), 0);
    const std::optional<bool> bWritten = RunUnprivileged([&] { return CIniFile::WriteString(strPath, "S", "K", "2"); });
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0700), 0);
    ASSERT_TRUE(bWritten.has_value()) << "the check could not run unprivileged";
    EXPECT_TRUE(*bWritten);
    EXPECT_EQ(ReadFileBytes(strPath), "[S]\nK=2\nL=x\n");
    EXPECT_EQ(FilesIn(dir.Path()), 1u);
}

// A file without any write permission is protected, from the superuser as well: nothing changes, and nothing is
// reported.
TEST(IniFileFile, AWriteProtectedFileIsLeftAsItWas) {
    CTempDir dir;
    const std::string strPath = dir.File("config.ini");
    WriteRaw(strPath, "[S]\nK=1\n");
    ASSERT_EQ(::chmod(strPath.c_str(), 0444), 0);
    EXPECT_FALSE(CIniFile::WriteString(strPath, "S", "K", "2"));
    EXPECT_FALSE(CIniFile::WriteString(strPath, "New", "Key", "3"));
    EXPECT_EQ(ReadFileBytes(strPath), "[S]\nK=1\n");
    EXPECT_EQ(FilesIn(dir.Path()), 1u);
}

TEST(IniFileFile, AnUnreadableFileIsNotReplaced) {
    if (geteuid() == 0)
        GTEST_SKIP() << "the superuser reads any file";
    CTempDir dir;
    const std::string strPath = dir.File("config.ini");
    WriteRaw(strPath, "[System]\nLanguage=English\n");
    std::filesystem::permissions(strPath, std::filesystem::perms::owner_write);
    EXPECT_FALSE(CIniFile::WriteString(strPath, "Settings", "COMPort", "2"));
    std::filesystem::permissions(strPath, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(ReadFileBytes(strPath), "[System]\nLanguage=English\n");
}

// ---- Bad input ----

TEST(IniFileBadInput, LargeAndOddFilesAreReadWithoutHarm) {
    std::string many = "[S]\n";
    for (int i = 0; i < 100000; ++i)
        many += "K" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    EXPECT_EQ(CIniFile::GetStringFromText(many, "s", "k99999"), "99999");
    // The section fills the limit exactly: every entry and its terminator, the final terminator, the last entry cut.
    const auto entries = CIniFile::GetSectionFromText(many, "S", 16000);
    std::size_t nCharacters = 1;
    for (const auto& entry : entries)
        nCharacters += entry.size() + 1;
    EXPECT_EQ(nCharacters, 16000u);
    ASSERT_GT(entries.size(), 1000u);
    EXPECT_EQ(entries[1000], "K1000=1000");
    const std::string nLast = std::to_string(entries.size() - 1);
    const std::string next = "K" + nLast + "=" + nLast;
    EXPECT_EQ(next.substr(0, entries.back().size()), entries.back());
    const std::string added = CIniFile::WriteStringToText(many, "S", "New", "1");
    EXPECT_EQ(added, many + "New=1\n");

    const std::string wide = "[S]\nK=" + std::string(100 * 1024, 'x') + "\nL=" + std::string(100 * 1024, ' ') + "y\n";
    EXPECT_EQ(CIniFile::GetStringFromText(wide, "S", "K"), std::string(199, 'x'));
    EXPECT_EQ(CIniFile::GetStringFromText(wide, "S", "L"), "y");
    const auto cut = CIniFile::GetSectionFromText(wide, "S", 16000);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].size(), 15998u);

    const std::string odd[] = {"\0\0\0"s,
                               "[",
                               "]",
                               "[]",
                               "=",
                               "==",
                               "\r",
                               "\n\r",
                               "[S",
                               "[S]\n\xFF\xFE=\x80\n",
                               "[S]\n=\n",
                               "[S]\n[S]\n[S]",
                               std::string(1000, '[')};
    for (const std::string& text : odd) {
        (void)CIniFile::GetStringFromText(text, "S", "K");
        (void)CIniFile::GetSectionFromText(text, "S", 16000);
        const std::string written = CIniFile::WriteStringToText(text, "S", "K", "v");
        EXPECT_EQ(CIniFile::GetStringFromText(written, "S", "K"), "v") << text;
    }
    EXPECT_EQ(CIniFile::GetStringFromText("[]\n=empty\n", "", ""), "empty");
}

} // namespace
