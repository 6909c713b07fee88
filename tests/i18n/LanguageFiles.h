#pragma once

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <string_view>

// Writes the bytes as they are, replacing the file.
inline void WriteRaw(const std::string& strPath, std::string_view bytes) {
    std::ofstream file(strPath, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Each test has its own executable directory with its own language files.
class LanguageFiles : public ::testing::Test {
protected:
    void WriteIdentifiers(std::string_view entries) {
        WriteRaw(m_dir.File("identifiers.ini"), std::string("[Identifiers]\n") += entries);
    }
    void WriteLanguage(const std::string& strName, std::string_view entries) {
        WriteRaw(m_dir.File("lng_" + strName + ".ini"), std::string("[Strings]\n") += entries);
    }

    CExecutableDirectory m_dir;
};
