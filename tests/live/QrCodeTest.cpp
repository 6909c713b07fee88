#include "live/QrCode.h"
#include "tests/support/PngFile.h"
#include "tests/support/QrReader.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Pixels per module in the pictures a reader is given: a screen's QR code at its smallest.
constexpr int kPixels = 3;

// The code as a PNG picture, black on white, kPixels a module.
bool WriteCode(const std::string& strPath, const CQrCode& code) {
    const int nSide = code.Size() * kPixels;
    std::string rgb;
    rgb.reserve(static_cast<std::size_t>(nSide * nSide * 3));
    for (int y = 0; y < nSide; ++y) {
        for (int x = 0; x < nSide; ++x)
            rgb.append(3, code.IsDark(x / kPixels, y / kPixels) ? '\0' : '\xFF');
    }
    return WritePngFile(strPath, nSide, nSide, rgb);
}

// A finder pattern at (x, y): seven by seven modules, a dark ring, a light ring and a dark three-by-three core.
bool HasFinderAt(const CQrCode& code, int x, int y) {
    for (int dy = 0; dy < 7; ++dy) {
        for (int dx = 0; dx < 7; ++dx) {
            const bool bRing = dx == 0 || dy == 0 || dx == 6 || dy == 6;
            const bool bCore = dx >= 2 && dx <= 4 && dy >= 2 && dy <= 4;
            if (code.IsDark(x + dx, y + dy) != (bRing || bCore))
                return false;
        }
    }
    return true;
}

struct Row {
    std::string text;
    int nSize; // modules across, quiet zone included: 17 + 4 * version + 8
};

// The live page's addresses at their shortest and longest, and the capacities of level M's versions around them.
const Row kRows[] = {
    {"A", 29},                             // version 1
    {"http://10.0.0.1:1/", 33},            // 18 bytes: past version 1's 14
    {"http://192.168.1.20:8080/", 33},     // 25 bytes: version 2 holds 26
    {"http://192.168.100.200:8080/", 37},  // 28 bytes: version 3
    {"http://255.255.255.255:65535/", 37}, // 29 bytes, the longest address
    {std::string(2331, 'x'), 185},         // version 40 at its fullest
};

TEST(QrCode, EachTextGetsTheSmallestCodeWithItsQuietZoneAndFinders) {
    for (const Row& row : kRows) {
        const auto code = CQrCode::ForText(row.text);
        ASSERT_TRUE(code) << row.text.size() << " bytes";
        EXPECT_EQ(code->Size(), row.nSize) << row.text.size() << " bytes";
        EXPECT_EQ(code->Modules().size(), static_cast<std::size_t>(row.nSize * row.nSize));
        const int nQuiet = CQrCode::kQuietZone;
        const int nFar = row.nSize - nQuiet - 7;
        EXPECT_TRUE(HasFinderAt(*code, nQuiet, nQuiet)) << row.text.size();
        EXPECT_TRUE(HasFinderAt(*code, nFar, nQuiet)) << row.text.size();
        EXPECT_TRUE(HasFinderAt(*code, nQuiet, nFar)) << row.text.size();
        EXPECT_FALSE(HasFinderAt(*code, nFar, nFar)) << row.text.size();
        int nDarkInQuietZone = 0;
        for (int y = 0; y < row.nSize; ++y) {
            for (int x = 0; x < row.nSize; ++x) {
                const bool bQuiet = x < nQuiet || y < nQuiet || x >= row.nSize - nQuiet || y >= row.nSize - nQuiet;
                nDarkInQuietZone += bQuiet && code->IsDark(x, y) ? 1 : 0;
            }
        }
        EXPECT_EQ(nDarkInQuietZone, 0) << row.text.size();
        // Outside the picture everything reads light.
        EXPECT_FALSE(code->IsDark(-1, 0));
        EXPECT_FALSE(code->IsDark(row.nSize, row.nSize));
    }
}

TEST(QrCode, ATextLongerThanTheLargestCodeGetsNone) {
    EXPECT_FALSE(CQrCode::ForText(std::string(2332, 'x')));
    EXPECT_FALSE(CQrCode::ForText(std::string(100000, 'x')));
}

TEST(QrCode, DifferentTextsGiveDifferentCodes) {
    const auto first = CQrCode::ForText("http://192.168.1.20:8080/");
    const auto second = CQrCode::ForText("http://192.168.1.21:8080/");
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->Modules(), second->Modules());
}

TEST(QrCode, ACameraReadsEachAddressBack) {
    if (const std::string why = WhyNoQrReader(); !why.empty())
        GTEST_SKIP() << why;
    CTempDir dir;
    const std::string texts[] = {"http://10.0.0.1:1/", "http://192.168.1.20:8080/", "http://255.255.255.255:65535/",
                                 "http://172.16.0.5:49152/",
                                 std::string("bytes \x01\x7F"
                                             " and a NUL \0 inside",
                                             27)};
    for (const std::string& text : texts) {
        const auto code = CQrCode::ForText(text);
        ASSERT_TRUE(code) << text;
        const std::string strPath = dir.File("code.png");
        ASSERT_TRUE(WriteCode(strPath, *code));
        EXPECT_EQ(ReadQrCodeFile(strPath), text);
    }
}

} // namespace
