// The language files on POSIX systems: permission bits, FIFOs and devices. LanguageWinTest.cpp has the attributes of
// Windows.

#include "base/Files.h"
#include "i18n/Language.h"
#include "tests/i18n/LanguageFiles.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST_F(LanguageFiles, LoadingMakesTheFilesReadableAndWritableForTheOwner) {
    namespace fs = std::filesystem;
    WriteIdentifiers("A=1000\n");
    WriteLanguage("English", "A=On\n");
    fs::permissions(m_dir.File("identifiers.ini"), fs::perms::owner_read | fs::perms::group_read);
    fs::permissions(m_dir.File("lng_English.ini"), fs::perms::owner_write);
    LoadLanguage("English");
    EXPECT_EQ(LookupText(1000), "On");
    EXPECT_EQ(fs::status(m_dir.File("identifiers.ini")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(fs::status(m_dir.File("lng_English.ini")).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

// The language files are read on the window's thread: something other than a regular file loads as no file at once,
// and a file too large to read whole gives the sections in its first part.
TEST_F(LanguageFiles, OddFilesLoadAtOnceAndOnlyTheirStartCounts) {
    constexpr auto kAtOnce = std::chrono::seconds{2};
    WriteIdentifiers("A=1000\n");
    ASSERT_EQ(::mkfifo(m_dir.File("lng_Fifo.ini").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("/dev/zero", m_dir.File("lng_Zero.ini").c_str()), 0);
    const std::string strFiller = "[Filler]\n" + std::string(kReadLimitBytes, 'f') + "\n";
    WriteRaw(m_dir.File("lng_Early.ini"), "[Strings]\nA=early\n" + strFiller);
    WriteRaw(m_dir.File("lng_Late.ini"), strFiller + "[Strings]\nA=late\n");
    const std::pair<const char*, const char*> rows[] = {
        {"Fifo", "?"},
        {"Zero", "?"},
        {"Early", "early"}, // within the first kReadLimitBytes
        {"Late", "?"},      // beyond them
    };
    for (const auto& [name, text] : rows) {
        const auto start = std::chrono::steady_clock::now();
        LoadLanguage(name);
        EXPECT_LT(std::chrono::steady_clock::now() - start, kAtOnce) << name;
        EXPECT_EQ(LookupText(1000), text) << name;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(m_dir.File("lng_Fifo.ini")));
}

} // namespace
