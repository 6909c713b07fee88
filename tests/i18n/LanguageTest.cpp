#include "i18n/Language.h"
#include "base/Files.h"
#include "base/IniFile.h"
#include "tests/i18n/LanguageFiles.h"
#include "tests/support/InstalledLayout.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace {

using namespace std::string_literals;

TEST_F(LanguageFiles, EveryControlWithTheNumberOfANameShowsItsText) {
    WriteIdentifiers("BUTTON_ON=1000\n");
    WriteLanguage("English", "BUTTON_ON=Ein\n");
    LoadLanguage("English");
    EXPECT_EQ(LookupText(1000), "Ein");
    EXPECT_EQ(TranslationFor(1000), "Ein");
    EXPECT_EQ(LookupText(1001), "?");
    EXPECT_EQ(TranslationFor(1001), std::nullopt);
}

// ---- The lookup rules ----

struct LookupRow {
    const char* identifiers; // entries of section Identifiers
    const char* strings;     // entries of section Strings
    int nId;
    const char* text;
};

TEST(LanguageLookup, GoesFromNumberToNameToText) {
    const LookupRow rows[] = {
        // the number is compared as text
        {"B=1000\n", "B=x\n", 1000, "x"},
        {"B=01000\n", "B=x\n", 1000, "?"},
        {"B=+1000\n", "B=x\n", 1000, "?"},
        {"B=1000x\n", "B=x\n", 1000, "?"},
        {"B=100\n", "B=x\n", 1000, "?"},
        {"B=-1\n", "B=x\n", -1, "x"},
        {"B=0\n", "B=x\n", 0, "x"},
        // tokens are separated by runs of blanks, tabs and "="
        {"  B  =  1000  \n", "B=x\n", 1000, "x"},
        {"B\t1000\n", "B=x\n", 1000, "x"},
        {"B==1000\n", "B=x\n", 1000, "x"},
        {"B 1000 2000\n", "B=x\n", 1000, "x"},
        {"B 2000 1000\n", "B=x\n", 1000, "?"},
        // entries without a number are passed over; the first entry with the number gives the NAME
        {"B\nC=1000\n", "B=x\nC=y\n", 1000, "y"},
        {"B=1000\nC=1000\n", "B=x\nC=y\n", 1000, "x"},
        {"B=1000\nB=1001\n", "B=x\n", 1001, "x"},
        // the NAME in the string table ends at the first blank, tab or "="; the text is all after that character
        {"B=1000\n", "B x=y\n", 1000, "x=y"},
        {"B=1000\n", "B\tx y\n", 1000, "x y"},
        {"B=1000\n", "B=x = y\n", 1000, "x = y"},
        {"B=1000\n", " = B=x\n", 1000, "x"},
        {"B=1000\n", "B==x\n", 1000, "=x"},
        {"B=1000\n", "BB=x\nB=y\n", 1000, "y"},
        {"B=1000\n", "b=x\n", 1000, "?"}, // case counts
        // the first entry of a NAME decides, also when its text is empty
        {"B=1000\n", "B=x\nB=y\n", 1000, "x"},
        {"B=1000\n", "B=\nB=y\n", 1000, "?"},
        {"B=1000\n", "B\nB=y\n", 1000, "?"},
        {"B=1000\n", "C=x\n", 1000, "?"},
        {"", "B=x\n", 1000, "?"},
        {"B=1000\n", "", 1000, "?"},
        // a text that begins with "?" is returned as it is
        {"B=1000\n", "B=?x\n", 1000, "?x"},
        // escapes are expanded
        {"B=1000\n", "B=one\\ntwo\\tthree\n", 1000, "one\ntwo\tthree"},
        // comment lines are no entries, in either file
        {";B=1000\n", ";B=x\n", 1000, "?"},
        {"; 1000 is B\nC=1000\n", "; x\nC=y\n", 1000, "y"},
        {"B=1000\n", ";B=x\nB=y\n", 1000, "y"},
        // quotes are part of the text
        {"B=1000\n", "B=\"On\"\n", 1000, "\"On\""},
        {"B=1000\n", "B=' x '\n", 1000, "' x '"},
        // a line with "[" and no "]" is an entry of the section it stands in, in either file
        {"B=1000\n", "[x\nB=y\n", 1000, "y"},
        {"[x\nB=1000\n", "B=y\n", 1000, "y"},
        {"[B=1000\n", "[B=y\n", 1000, "y"},
    };
    for (const auto& row : rows) {
        CLanguage language;
        language.LoadFromTexts("[Identifiers]\n"s + row.identifiers, "[Strings]\n"s + row.strings);
        EXPECT_EQ(language.Lookup(row.nId), row.text)
            << "identifiers \"" << row.identifiers << "\" strings \"" << row.strings << "\" id " << row.nId;
    }
}

TEST(LanguageLookup, OnlyTheirOwnSectionsCount) {
    CLanguage language;
    language.LoadFromTexts("B=1000\n[Other]\nC=1001\n[identifiers]\nD=1002\n[Identifiers]\nE=1003\n",
                           "[Other]\nD=x\n[STRINGS]\nB=b\nC=c\nD=d\nE=e\n");
    EXPECT_EQ(language.Lookup(1000), "?");
    EXPECT_EQ(language.Lookup(1001), "?");
    EXPECT_EQ(language.Lookup(1002), "d");
    EXPECT_EQ(language.Lookup(1003), "?"); // the first section of that name is the one read
}

TEST(LanguageLookup, TranslationSkipsKeyZeroAndTextsThatBeginWithAQuestionMark) {
    CExecutableDirectory dir;
    WriteRaw(dir.File("identifiers.ini"), "[Identifiers]\nZERO=0\nQ=1\nOK=2\nSHARED=1019\n");
    WriteRaw(dir.File("lng_T.ini"), "[Strings]\nZERO=zero\nQ=?what\nOK=Fine\nSHARED=Both\n");
    LoadLanguage("T");
    EXPECT_EQ(LookupText(0), "zero");
    EXPECT_EQ(TranslationFor(0), std::nullopt);
    EXPECT_EQ(LookupText(1), "?what");
    EXPECT_EQ(TranslationFor(1), std::nullopt);
    EXPECT_EQ(TranslationFor(2), "Fine");
    // one number, one text, whichever dialog asks
    EXPECT_EQ(TranslationFor(1019), "Both");
    EXPECT_EQ(TranslationFor(1019), TranslationFor(1019));
}

// ---- Escapes ----

TEST(LanguageEscapes, NewlineThenTabAndNoOtherBackslash) {
    const std::pair<const char*, const char*> rows[] = {
        {"", ""},          {"a\\nb", "a\nb"},       {"a\\tb", "a\tb"},
        {"\\\\n", "\\\n"}, // a doubled backslash leaves one, then the line break
        {"\\\\t", "\\\t"}, {"\\n\\t\\n", "\n\t\n"}, {"\\x\\N\\T\\", "\\x\\N\\T\\"},
        {"\\", "\\"},      {"n\\", "n\\"},          {"\\\\\\n", "\\\\\n"},
        {"\\nn", "\nn"},
    };
    for (const auto& [input, output] : rows)
        EXPECT_EQ(ExpandEscapes(input), output) << input;
}

// ---- Limits ----

TEST(LanguageLimits, EntriesAreCutAt511AndNamesCountWith99Characters) {
    CLanguage language;
    const std::string longName(120, 'N');
    language.LoadFromTexts("[Identifiers]\nA=1000\n" + longName + "=1001\n" + longName + "=1002\n",
                           "[Strings]\nA=" + std::string(600, 't') + "\n" + std::string(99, 'N') + "ZZZ=long\n");
    EXPECT_EQ(language.Lookup(1000), std::string(511 - 2, 't'));
    EXPECT_EQ(language.Lookup(1001), "long"); // the NAMEs agree in their first 99 characters
    ASSERT_EQ(language.Strings().size(), 2u);
    EXPECT_EQ(language.Strings()[0].size(), 511u);

    CLanguage shorter;
    shorter.LoadFromTexts("[Identifiers]\n" + longName + "=1001\n", "[Strings]\n" + std::string(98, 'N') + "=x\n");
    EXPECT_EQ(shorter.Lookup(1001), "?");
}

TEST(LanguageLimits, ASectionIsReadUpTo16000Characters) {
    // 39 entries of 399 characters and their terminators take 15600 of the 16000; with the final terminator,
    // 399 remain, so the entry of A is cut to 398 characters and the entry of B is not read.
    std::string strings = "[Strings]\n";
    for (int i = 0; i < 39; ++i) {
        std::string filler = "F" + std::to_string(100 + i) + "=";
        filler.resize(399, 'f');
        strings += filler + "\n";
    }
    strings += "A=" + std::string(500, 'a') + "\nB=b\n";
    CLanguage language;
    language.LoadFromTexts("[Identifiers]\nA=1000\nB=1001\n", strings);
    EXPECT_EQ(language.Lookup(1000), std::string(396, 'a'));
    EXPECT_EQ(language.Lookup(1001), "?");
    EXPECT_EQ(language.Strings().size(), 40u);
}

TEST(LanguageLimits, APathOver259CharactersLoadsNothing) {
    CTempDir dir;
    WriteRaw(dir.File("identifiers.ini"), "[Identifiers]\nA=1000\n");
    // "<dir>/lng_<name>.ini" of exactly 259 and of 260 characters
    const std::size_t nNameLength = 259 - dir.Path().size() - std::string("/lng_.ini").size();
    const std::string fits(nNameLength, 'L');
    const std::string tooLong = fits + "L";
    WriteRaw(dir.File("lng_" + fits + ".ini"), "[Strings]\nA=fits\n");
    WriteRaw(dir.File("lng_" + tooLong + ".ini"), "[Strings]\nA=too long\n");
    ASSERT_TRUE(std::filesystem::exists(dir.File("lng_" + tooLong + ".ini")));

    CLanguage language;
    language.Load(dir.Path(), fits);
    EXPECT_EQ(language.Lookup(1000), "fits");
    language.Load(dir.Path(), tooLong);
    EXPECT_EQ(language.Lookup(1000), "?");
    EXPECT_TRUE(language.Strings().empty());
    EXPECT_FALSE(language.Identifiers().empty());

    // "<directory>/identifiers.ini" of 259 and 260 characters
    for (const std::size_t nPathLength : {259u, 260u}) {
        const std::size_t nSubLength = nPathLength - dir.Path().size() - 1 - std::string("/identifiers.ini").size();
        const std::string strSub = dir.File(std::string(nSubLength, 'd'));
        std::filesystem::create_directory(strSub);
        WriteRaw(strSub + "/identifiers.ini", "[Identifiers]\nA=1000\n");
        language.Load(strSub, "x");
        EXPECT_EQ(language.Identifiers().empty(), nPathLength > 259) << nPathLength;
    }
    language.Load(dir.Path(), "with\0nul"s);
    EXPECT_TRUE(language.Strings().empty());
}

// ---- Loading ----

// An installed program reads each of the two files from the user's directory when the user put a copy there, else
// the one it ships.
struct InstalledLanguageRow {
    const char* pszName;
    bool bUserIdentifiers;
    bool bUserStrings;
    const char* pszExpected; // the text of identifier 1000
};

TEST(InstalledLanguageFiles, TheUsersCopyOfEachFileWinsOverTheShippedOne) {
    const InstalledLanguageRow rows[] = {
        {"shipped files only", false, false, "Shipped"},
        {"the user's own texts", false, true, "Mine"},
        {"the user's own identifiers", true, false, "Shipped other"},
        {"both the user's", true, true, "Mine other"},
    };
    for (const auto& row : rows) {
        CInstalledLayout layout;
        layout.WriteShippedFile("identifiers.ini", "[Identifiers]\nON=1000\nOTHER=1023\n");
        layout.WriteShippedFile("lng_T.ini", "[Strings]\nON=Shipped\nOTHER=Shipped other\n");
        if (row.bUserIdentifiers)
            layout.WriteUserFile("identifiers.ini", "[Identifiers]\nOTHER=1000\n");
        if (row.bUserStrings)
            layout.WriteUserFile("lng_T.ini", "[Strings]\nON=Mine\nOTHER=Mine other\n");
        LoadLanguage("T");
        EXPECT_EQ(LookupText(1000), row.pszExpected) << row.pszName;
    }
}

TEST_F(LanguageFiles, AMissingLanguageLeavesNoEarlierLanguageBehind) {
    WriteIdentifiers("A=1000\n");
    WriteLanguage("English", "A=On\n");
    LoadLanguage("English");
    ASSERT_EQ(LookupText(1000), "On");

    LoadLanguage("Klingon");
    EXPECT_EQ(LookupText(1000), "?");
    EXPECT_TRUE(CurrentLanguage().Strings().empty());
    EXPECT_FALSE(CurrentLanguage().Identifiers().empty());

    LoadLanguage("English");
    ASSERT_EQ(LookupText(1000), "On");
    std::filesystem::remove(m_dir.File("identifiers.ini"));
    LoadLanguage("English");
    EXPECT_EQ(LookupText(1000), "?");
    EXPECT_TRUE(CurrentLanguage().Identifiers().empty());

    CLanguage elsewhere;
    elsewhere.Load(m_dir.File("missing"), "English");
    EXPECT_TRUE(elsewhere.Identifiers().empty());
    EXPECT_TRUE(elsewhere.Strings().empty());
}

TEST_F(LanguageFiles, EachLoadReplacesBothTables) {
    WriteIdentifiers("A=1000\nB=1001\n");
    WriteLanguage("One", "A=one\nB=uno\n");
    WriteLanguage("Two", "A=two\n");
    LoadLanguage("One");
    EXPECT_EQ(LookupText(1001), "uno");
    LoadLanguage("Two");
    EXPECT_EQ(LookupText(1000), "two");
    EXPECT_EQ(LookupText(1001), "?");
    WriteRaw(m_dir.File("lng_Three.ini"), "[Other]\nA=three\n");
    LoadLanguage("Three");
    EXPECT_EQ(LookupText(1000), "?");
}

TEST_F(LanguageFiles, TwentyOneLookupsInARowAllKeepTheirTexts) {
    std::string identifiers;
    std::string strings;
    for (int i = 0; i < 21; ++i) {
        identifiers += "T" + std::to_string(i) + "=" + std::to_string(2000 + i) + "\n";
        strings += "T" + std::to_string(i) + "=text " + std::to_string(i) + "\n";
    }
    WriteIdentifiers(identifiers);
    WriteLanguage("English", strings);
    LoadLanguage("English");
    std::vector<std::string> results;
    for (int i = 0; i < 21; ++i)
        results.push_back(LookupText(2000 + i));
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(results[static_cast<std::size_t>(i)], "text " + std::to_string(i));
}

TEST_F(LanguageFiles, OddFileContentsLoadWithoutHarm) {
    std::string identifiers = "A=1000\nNUL\0NAME=1001\n"s + std::string(100 * 1024, '=') + "\n";
    for (int i = 0; i < 100000; ++i)
        identifiers += "X" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    WriteIdentifiers(identifiers);
    WriteLanguage("English", "A=\xFF\xFE\x80\0after\n"s + "NUL\0NAME=nul\n"s + std::string(100 * 1024, 'x') + "\r\r\n");
    LoadLanguage("English");
    EXPECT_EQ(LookupText(1000), "\xFF\xFE\x80\0after"s);
    EXPECT_EQ(LookupText(1001), "nul");
    EXPECT_EQ(LookupText(99999), "?"); // beyond the 16000 characters
}

TEST_F(LanguageFiles, FilesSavedWithAByteOrderMarkLoadFromTheirFirstEntry) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::pair<bool, bool> rows[] = {{true, false}, {false, true}, {true, true}}; // which file has the mark
    for (const auto& [bIdentifiersMark, bLanguageMark] : rows) {
        WriteRaw(m_dir.File("identifiers.ini"),
                 (bIdentifiersMark ? bom : "") + "[Identifiers]\r\nBUTTON_ON=1000\r\nBUTTON_OFF=1001\r\n");
        WriteRaw(m_dir.File("lng_English.ini"),
                 (bLanguageMark ? bom : "") + "[Strings]\r\nBUTTON_ON=Ein\r\nBUTTON_OFF=Aus\r\n");
        LoadLanguage("English");
        EXPECT_EQ(LookupText(1000), "Ein") << bIdentifiersMark << bLanguageMark;
        EXPECT_EQ(LookupText(1001), "Aus") << bIdentifiersMark << bLanguageMark;
    }
}

// ---- The files that ship beside the program ----

std::string SourceFile(const std::string& strRelative) {
    return std::string(KALVORA_SOURCE_DIR) + "/" + strRelative;
}

std::vector<std::string> ShippedSection(const std::string& strFile, const char* section) {
    return CIniFile::GetSection(SourceFile("res/" + strFile), section, 1u << 20);
}

std::pair<std::string, std::string> SplitEntry(const std::string& entry) {
    const std::size_t nEquals = entry.find('=');
    if (nEquals == std::string::npos)
        return {entry, {}};
    return {entry.substr(0, nEquals), entry.substr(nEquals + 1)};
}

// The numbers of Resource.h that are templates, controls or texts (not icons, bitmaps, menu commands, the string
// of the system menu, the static identifier or the Cancel button, which no window of the program has).
std::map<std::string, int> ResourceNumbers() {
    std::ifstream file(SourceFile("res/Resource.h"));
    std::stringstream content;
    content << file.rdbuf();
    const std::string text = content.str();
    const std::regex definition(R"(constexpr int (ID[A-Z0-9_]*) = (-?[0-9]+);)");
    std::map<std::string, int> numbers;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), definition); it != std::sregex_iterator(); ++it) {
        const std::string name = (*it)[1];
        const bool bWindowText = name.starts_with("IDD_") || name.starts_with("IDC_") || name.starts_with("IDS_") ||
                                 name == "IDOK" || name == "IDCANCEL"; // the Live Page dialog's Close
        if (bWindowText && name != "IDC_STATIC" && name != "IDS_ABOUTBOX")
            numbers[name] = std::stoi((*it)[2]);
    }
    return numbers;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t nLength = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (nLength == 0 || i + nLength > text.size())
            return false;
        for (std::size_t k = 1; k < nLength; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += nLength;
    }
    return true;
}

const char* const kLanguages[] = {"English", "Deutsch"};

TEST(ShippedLanguageFiles, IdentifiersNameEveryWindowTextOnce) {
    const std::vector<std::string> entries = ShippedSection("identifiers.ini", "Identifiers");
    EXPECT_EQ(CIniFile::GetSection(SourceFile("res/identifiers.ini"), "Identifiers", CLanguage::kSectionLimit),
              entries);
    std::set<std::string> names;
    std::set<int> numbers;
    for (const std::string& entry : entries) {
        const auto [name, number] = SplitEntry(entry);
        EXPECT_TRUE(names.insert(name).second) << "name used twice: " << name;
        ASSERT_FALSE(number.empty()) << entry;
        EXPECT_EQ(std::to_string(std::stoi(number)), number) << entry;
        EXPECT_TRUE(numbers.insert(std::stoi(number)).second) << "number named twice: " << number;
    }
    const std::map<std::string, int> resources = ResourceNumbers();
    EXPECT_GT(resources.size(), 80u);
    for (const auto& [name, nNumber] : resources)
        EXPECT_TRUE(numbers.contains(nNumber)) << name << " = " << nNumber << " has no name in identifiers.ini";
    for (int nNumber : numbers) {
        EXPECT_TRUE(std::any_of(resources.begin(), resources.end(), [&](const auto& r) { return r.second == nNumber; }))
            << nNumber << " is no window text of the program";
    }
}

TEST(ShippedLanguageFiles, EveryLanguageGivesTextsForTheSameKnownNames) {
    std::set<std::string> identifierNames;
    for (const std::string& entry : ShippedSection("identifiers.ini", "Identifiers"))
        identifierNames.insert(SplitEntry(entry).first);

    std::map<std::string, std::set<std::string>> namesByLanguage;
    for (const char* language : kLanguages) {
        const std::string strFile = "lng_"s + language + ".ini";
        const std::vector<std::string> entries = ShippedSection(strFile, "Strings");
        EXPECT_EQ(CIniFile::GetSection(SourceFile("res/" + strFile), "Strings", CLanguage::kSectionLimit), entries);
        for (const std::string& entry : entries) {
            const auto [name, text] = SplitEntry(entry);
            EXPECT_TRUE(identifierNames.contains(name)) << language << ": unknown name " << name;
            EXPECT_TRUE(namesByLanguage[language].insert(name).second) << language << ": name used twice " << name;
            EXPECT_FALSE(text.empty()) << language << ": " << name;
            EXPECT_NE(text.front(), '?') << language << ": " << name;
            EXPECT_LE(entry.size(), CLanguage::kEntryLimit);
            EXPECT_TRUE(IsValidUtf8(text)) << language << ": " << name;
        }
    }
    EXPECT_EQ(namesByLanguage["English"], namesByLanguage["Deutsch"]);
}

// The template captions (hidden labels' too), and the texts that the Parameters dialog asks for by number.
const std::pair<int, const char*> kEnglishTexts[] = {
    {100, "About Kalvora"},
    {102, "Kalvora v1.4"},
    {131, "Read Memory Dialog"},
    {132, "COM Port Settings"},
    {133, "Parameters Dialog"},
    {1, "OK"},
    {1000, "On"},
    {1023, "Off"},
    {1014, "Set"},
    {1012, "Get Current Values"},
    {1034, "Set"},
    {1035, "Master"},
    {1009, "Configure Parameters"},
    {1016, "Read Memory"},
    {1072, "Exit"},
    {1057, "Real Time Monitor"},
    {1060, "Last Start Time"},
    {1061, "Lead/Leg Time"},
    {1059, "Start number"},
    {1064, "Set Program"},
    {1065, "Program"},
    {1067, "Countdown time"},
    {1068, "Brightness"},
    {1066, "Countdown number"},
    {1069, "Set PC Time"},
    {1070, "Mode"},
    {1062, "Monitoring"},
    {1063, "Status"},
    {1058, "Light"},
    {1032, "Clear Memory"},
    {1020, "Save To File"},
    {1073, "COM Port"},
    {1074, "Baudrate"},
    {1075, "Select Program"},
    {1076, "Program Details"},
    {1027, "Paint"},
    {1028, "Upload Program Details For This Program"},
    {1077, "Countdown Intervals"},
    {1030, "Upload Countdown Intervals For This Program"},
    {1038, "Save All Data For This Program"},
    {1040, "Download From Kalvora"},
    {1080, "Kalvora Version 1.4"},
    {1095, "Memory contents"},
    {1096, "Download progress"},
    {1097, "Countdown interval"},
    {1094, "Minute"},
    {1082, "Light"},
    {1083, "Signal"},
    {1092, "Off"},
    {1085, "Red"},
    {1086, "Yellow"},
    {1087, "Green"},
    {1089, "None"},
    {1090, "Short"},
    {1091, "Long"},
};

// Numbers that must keep the texts of their templates: shared by controls with different captions, or controls
// that show data (a text would replace what they show).
const int kUntranslated[] = {1018, 1019, 1021, 1033, 1036, 1001, 1002, 1006, 1007, 1008, 1010, 1011, 1013,
                             1015, 1017, 1022, 1025, 1026, 1029, 1037, 1041, 1042, 1046, 1047, 1048, 1081};

TEST(ShippedLanguageFiles, EnglishGivesTheTemplateCaptions) {
    CLanguage language;
    language.Load(SourceFile("res"), "English");
    for (const auto& [nId, caption] : kEnglishTexts)
        EXPECT_EQ(language.Lookup(nId), caption) << nId;
}

TEST(ShippedLanguageFiles, SharedNumbersAndDataControlsStayUntranslatedAndChoicesDiffer) {
    for (const char* name : kLanguages) {
        CLanguage language;
        language.Load(SourceFile("res"), name);
        for (const auto& [nId, caption] : kEnglishTexts)
            EXPECT_NE(language.Lookup(nId), "?") << name << " " << nId;
        for (const int nId : kUntranslated)
            EXPECT_EQ(language.Lookup(nId), "?") << name << " " << nId;
        // a shown choice is turned back into its code by its text
        const std::set<std::string> lights = {language.Lookup(1092), language.Lookup(1085), language.Lookup(1086),
                                              language.Lookup(1087)};
        const std::set<std::string> signals = {language.Lookup(1089), language.Lookup(1090), language.Lookup(1091)};
        EXPECT_EQ(lights.size(), 4u) << name;
        EXPECT_EQ(signals.size(), 3u) << name;
    }
    CLanguage german;
    german.Load(SourceFile("res"), "Deutsch");
    EXPECT_EQ(german.Lookup(1087), "Gr\xC3\xBCn");
}

TEST(ShippedLanguageFiles, ConfigNamesTheLanguageAndNothingElse) {
    EXPECT_EQ(CIniFile::GetSection(SourceFile("res/config.ini"), "System", 1000),
              std::vector<std::string>{"Language=English"});
    EXPECT_EQ(CIniFile::GetString(SourceFile("res/config.ini"), "Settings", "COMPort"), std::nullopt);
}

} // namespace
