#include "base/Files.h"
#include "base/LineFields.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

namespace {

struct SplitRow {
    const char* text;
    std::vector<std::string> lines;
};

TEST(SplitTextLines, FollowsTheProgramFileLineRule) {
    const SplitRow rows[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\r\r\n", {"a\r"}}, // only the CR directly before LF goes
        {"a\rb\n", {"a\rb"}}, // a lone CR stays inside the line
        {"\n\n", {"", ""}},
        {"x\r", {"x\r"}}, // no LF: the CR stays
    };
    for (const auto& row : rows)
        EXPECT_EQ(SplitTextLines(row.text), row.lines) << row.text;
}

struct IntRow {
    const char* text;
    int value;
};

TEST(ParseLeadingInt, ReadsLikeTheDeviceAndTheSettingsDo) {
    const IntRow rows[] = {
        {"", 0},
        {"abc", 0},
        {"0013", 13},
        {"   1", 1},
        {" -7x", -7},
        {"+5", 5},
        {"- 5", 0},
        {"\t42;", 42},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999999999999999999999999999999", INT_MIN},
        {"9999999999999999999999999999999999999999", INT_MAX},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ParseLeadingInt(row.text), row.value) << '"' << row.text << '"';
}

TEST(Field, IsShorterOrEmptyPastTheEndOfTheLine) {
    EXPECT_EQ(Field("D? 12345678", 3, 8), "12345678");
    EXPECT_EQ(Field("D? 1234", 3, 8), "1234");
    EXPECT_EQ(Field("D?", 3, 8), "");
    EXPECT_EQ(Field("", 0, 2), "");
    EXPECT_TRUE(HasPrefix("S?xyz", "S?"));
    EXPECT_FALSE(HasPrefix("S", "S?"));
    EXPECT_FALSE(HasPrefix("s?", "S?"));
}

TEST(WriteFileReplacing, ReplacesWholeAndLeavesNoTemporaryFile) {
    CTempDir dir;
    const std::string strPath = dir.File("out.txt");
    ASSERT_TRUE(WriteFileReplacing(strPath, "first"));
    ASSERT_TRUE(WriteFileReplacing(strPath, "second\r\n"));
    EXPECT_EQ(ReadFileBytes(strPath), std::optional<std::string>("second\r\n"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(WriteFileReplacing, FailsWithoutTouchingAnythingWhenTheDirectoryIsMissing) {
    CTempDir dir;
    EXPECT_FALSE(WriteFileReplacing(dir.File("missing/out.txt"), "x"));
    EXPECT_FALSE(WriteFileReplacing(dir.Path(), "x")); // a directory is not a file
    EXPECT_FALSE(ReadFileBytes(dir.File("missing/out.txt")).has_value());
}

} // namespace

namespace {

TEST(ReadFileBytes, ADirectoryOrAMissingFileReadsAsNothing) {
    CTempDir dir;
    EXPECT_FALSE(ReadFileBytes(dir.Path()).has_value());
    EXPECT_FALSE(ReadFileBytes(dir.File("none")).has_value());
    std::string strBig(200000, '\0');
    strBig[199999] = 'x';
    ASSERT_TRUE(WriteFileReplacing(dir.File("big"), strBig));
    EXPECT_EQ(ReadFileBytes(dir.File("big")), std::optional<std::string>(strBig));
}

TEST(WriteFileReplacing, KeepsASymbolicLinkAndThePermissions) {
    namespace fs = std::filesystem;
    CTempDir dir;
    ASSERT_TRUE(WriteFileReplacing(dir.File("real.ini"), "old"));
    fs::permissions(dir.File("real.ini"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(dir.File("real.ini"), dir.File("link.ini"));
    ASSERT_TRUE(WriteFileReplacing(dir.File("link.ini"), "new"));
    EXPECT_TRUE(fs::is_symlink(dir.File("link.ini")));
    EXPECT_EQ(ReadFileBytes(dir.File("real.ini")), std::optional<std::string>("new"));
    EXPECT_EQ(fs::status(dir.File("real.ini")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

} // namespace
