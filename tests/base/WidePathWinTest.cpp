// The one way a path crosses to Windows and back: UTF-8 to UTF-16 and back, exactly, for every letter; nothing for
// what either form cannot hold, never a look-alike.

#include "base/WidePathWin.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(WidePath, EveryLetterCrossesBothWaysExactly) {
    const std::pair<std::string, std::wstring> rows[] = {
        {"C:\\Users\\ann\\AppData\\Roaming\\Kalvora", L"C:\\Users\\ann\\AppData\\Roaming\\Kalvora"},
        {"C:\\users\\\xC5\x81ukasz\\AppData", L"C:\\users\\\u0141ukasz\\AppData"},             // Łukasz
        {"C:\\Users\\J\xC3\xBCrgen", L"C:\\Users\\J\u00FCrgen"},                               // Jürgen
        {"D:\\\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1\\\xE6\x9D\xB1\xE4\xBA\xAC.txt", // Ελλάδα\東京
         L"D:\\\u0395\u03BB\u03BB\u03AC\u03B4\u03B1\\\u6771\u4EAC.txt"},
        {"\\\\club\\share\\\xF0\x9F\x8F\x81.txt", L"\\\\club\\share\\\U0001F3C1.txt"}, // a pair of UTF-16 units
        {"starts.txt", L"starts.txt"},
    };
    for (const auto& [strNarrow, wide] : rows) {
        EXPECT_EQ(WidePath(strNarrow), wide) << strNarrow;
        EXPECT_EQ(NarrowPath(wide), strNarrow) << strNarrow;
    }
}

TEST(WidePath, WhatEitherFormCannotHoldIsNoPath) {
    const std::pair<const char*, std::string> narrowRows[] = {
        {"empty", ""},
        {"a NUL inside", std::string("C:\\a\0b.txt", 10)},
        {"a byte of the Western European code page", "C:\\Users\\J\xFCrgen"},
        {"a UTF-8 sequence cut short", "C:\\Users\\\xC5"},
        {"an encoded half of a UTF-16 pair", "C:\\\xED\xA0\x80.txt"},
    };
    for (const auto& [pszWhy, strNarrow] : narrowRows)
        EXPECT_EQ(WidePath(strNarrow), std::nullopt) << pszWhy;
    const std::pair<const char*, std::wstring> wideRows[] = {
        {"empty", L""},
        {"a first half alone", std::wstring(L"C:\\a") + wchar_t(0xD83C) + L".txt"},
        {"a second half alone", std::wstring(L"C:\\a") + wchar_t(0xDFC1)},
    };
    for (const auto& [pszWhy, wide] : wideRows)
        EXPECT_EQ(NarrowPath(wide), std::nullopt) << pszWhy;
}

} // namespace
