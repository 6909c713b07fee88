// The language files on Windows: their attributes are reset to normal before they are read, and what is no file
// loads as no language at once.

#include "base/Files.h"
#include "i18n/Language.h"
#include "tests/i18n/LanguageFiles.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace {

constexpr DWORD kNotNormal = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

TEST(LanguageWinFiles, LoadingResetsTheAttributesOfBothFiles) {
    CExecutableDirectory dir;
    WriteRaw(dir.File("identifiers.ini"), "[Identifiers]\r\nA=1000\r\n");
    WriteRaw(dir.File("lng_English.ini"), "[Strings]\r\nA=On\r\n");
    ASSERT_TRUE(SetFileAttributesA(dir.File("identifiers.ini").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(
        SetFileAttributesA(dir.File("lng_English.ini").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    LoadLanguage("English");
    EXPECT_EQ(LookupText(1000), "On");
    EXPECT_EQ(GetFileAttributesA(dir.File("identifiers.ini").c_str()) & kNotNormal, 0u);
    EXPECT_EQ(GetFileAttributesA(dir.File("lng_English.ini").c_str()) & kNotNormal, 0u);
}

TEST(LanguageWinFiles, WhatIsNoFileLoadsAsNoLanguageAtOnce) {
    constexpr auto kAtOnce = std::chrono::seconds{2};
    CExecutableDirectory dir;
    WriteRaw(dir.File("identifiers.ini"), "[Identifiers]\r\nA=1000\r\n");
    std::filesystem::create_directory(dir.File("lng_Folder.ini"));
    const std::string strFiller = "[Filler]\r\n" + std::string(kReadLimitBytes, 'f') + "\r\n";
    WriteRaw(dir.File("lng_Early.ini"), "[Strings]\r\nA=early\r\n" + strFiller);
    WriteRaw(dir.File("lng_Late.ini"), strFiller + "[Strings]\r\nA=late\r\n");
    WriteRaw(dir.File("lng_Held.ini"), "[Strings]\r\nA=held\r\n");
    // Another program holds the file against every reader.
    const HANDLE hHolder = CreateFileA(dir.File("lng_Held.ini").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hHolder, INVALID_HANDLE_VALUE);
    const std::pair<const char*, const char*> rows[] = {
        {"Folder", "?"},  {"Held", "?"}, {"Early", "early"}, // within the first kReadLimitBytes
        {"Late", "?"},                                       // beyond them
        {"Missing", "?"},
    };
    for (const auto& [name, text] : rows) {
        const auto start = std::chrono::steady_clock::now();
        LoadLanguage(name);
        EXPECT_LT(std::chrono::steady_clock::now() - start, kAtOnce) << name;
        EXPECT_EQ(LookupText(1000), text) << name;
    }
    CloseHandle(hHolder);
    LoadLanguage("Held");
    EXPECT_EQ(LookupText(1000), "held");
}

} // namespace
