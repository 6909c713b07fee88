#include "base/Files.h"
#include "settings/Settings.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char* kNoFile = nullptr;

std::string FileFor(const CTempDir& dir, const char* text) {
    const std::string strPath = dir.File("config.ini");
    if (text)
        WriteFileReplacing(strPath, text);
    return strPath;
}

TEST(LivePageSettings, EachKeyIsReadByItsRule) {
    const struct {
        const char* text;
        CLivePageSettings expected;
    } rows[] = {
        {kNoFile, {false, 8080}},
        {"", {false, 8080}},
        {"[LivePage]\nShare=1\nPort=8081\n", {true, 8081}},
        {"[livepage]\nshare = 1 \nPORT= 49152\n", {true, 49152}},
        {"[LivePage]\nShare=0\nPort=1\n", {false, 1}},
        {"[LivePage]\nShare=2\nPort=65535\n", {true, 65535}},
        {"[LivePage]\nShare=yes\n", {false, 8080}}, // no digits: 0
        {"[LivePage]\nShare=\nPort=\n", {false, 8080}},
        {"[LivePage]\nPort=0\n", {false, 8080}},
        {"[LivePage]\nPort=65536\n", {false, 8080}},
        {"[LivePage]\nPort=-80\n", {false, 8080}},
        {"[LivePage]\nPort=99999999999999\n", {false, 8080}},
        {"[LivePage]\nPort=\"9000\"\n", {false, 9000}},
        {"[LivePage]\nPort=8090x\n", {false, 8090}},
        {"[Settings]\nShare=1\nPort=9000\n", {false, 8080}}, // another section's keys
        {"\xEF\xBB\xBF[LivePage]\r\nShare=1\r\n", {true, 8080}},
    };
    for (const auto& row : rows) {
        CTempDir dir;
        EXPECT_EQ(ReadLivePageSettings(FileFor(dir, row.text)), row.expected) << (row.text ? row.text : "(no file)");
    }
}

TEST(LivePageSettings, WritingKeepsEveryOtherLineAndComesBackAsWritten) {
    const struct {
        const char* before;
        CLivePageSettings settings;
        const char* after;
    } rows[] = {
        {kNoFile, {true, 8080}, "[LivePage]\r\nShare=1\r\nPort=8080\r\n"},
        {"; the club's laptop\n[System]\nLanguage=Deutsch\n[Settings]\nCOMPort=2\n",
         {false, 9001},
         "; the club's laptop\n[System]\nLanguage=Deutsch\n[Settings]\nCOMPort=2\n[LivePage]\nShare=0\nPort=9001\n"},
        {"[livepage]\nport = 1\n; kept\nshare=1\n[StartList]\nFile=a.csv\n",
         {false, 65535},
         "[livepage]\nport = 65535\n; kept\nshare=0\n[StartList]\nFile=a.csv\n"},
        {"\xEF\xBB\xBF[LivePage]\r\nShare=0\r\n", {true, 8081}, "\xEF\xBB\xBF[LivePage]\r\nShare=1\r\nPort=8081\r\n"},
    };
    for (const auto& row : rows) {
        CTempDir dir;
        const std::string strPath = FileFor(dir, row.before);
        ASSERT_TRUE(WriteLivePageSettings(strPath, row.settings));
        EXPECT_EQ(ReadFileBytes(strPath), row.after) << (row.before ? row.before : "(no file)");
        EXPECT_EQ(ReadLivePageSettings(strPath), row.settings);
    }
}

TEST(LivePageSettings, AFailedWriteIsReported) {
    CTempDir dir;
    EXPECT_FALSE(WriteLivePageSettings(dir.File("missing/config.ini"), {true, 8080}));
}

} // namespace
