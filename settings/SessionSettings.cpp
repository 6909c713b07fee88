#include "settings/SessionSettings.h"

#include "base/Files.h"
#include "base/IniFile.h"
#include "settings/Settings.h"

#include <filesystem>
#include <random>
#include <string_view>
#include <system_error>

namespace {

constexpr std::string_view kSettings = "Settings";
constexpr std::string_view kComPort = "COMPort";

// A name no other session picks: the settings of two sessions at once never meet.
std::string SessionFileName() {
    std::random_device random;
    const unsigned long long nHigh = random();
    const unsigned long long nTag = (nHigh << 32) ^ random();
    return "kalvora-session-" + std::to_string(nTag) + ".ini";
}

} // namespace

CSessionSettings::CSessionSettings(int nPort) {
    std::error_code error;
    const std::filesystem::path directory = std::filesystem::temp_directory_path(error);
    if (error)
        return;
    const std::string strPath = (directory / SessionFileName()).string();
    // The user's file as it is (a missing one reads as empty), with the port as the dialog stores it.
    const std::string text = CIniFile::ReadText(GetConfigPath()).value_or(std::string());
    const std::string session = CIniFile::WriteStringToText(text, kSettings, kComPort, std::to_string(nPort - 1));
    if (!WriteFileReplacing(strPath, session))
        return;
    m_strPath = strPath;
    SetSessionConfigPath(m_strPath);
}

CSessionSettings::~CSessionSettings() {
    if (m_strPath.empty())
        return;
    SetSessionConfigPath({});
    std::error_code error;
    std::filesystem::remove(m_strPath, error);
}
