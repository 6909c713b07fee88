#include "settings/Settings.h"

#include "base/FileLocations.h"
#include "base/IniFile.h"
#include "base/LineFields.h"

#include <array>
#include <climits>
#include <mutex>
#include <string_view>

namespace {

constexpr std::string_view kSystem = "System";
constexpr std::string_view kSettings = "Settings";
constexpr std::string_view kSetValues = "SetValues";
constexpr std::string_view kLanguage = "Language";
constexpr std::string_view kComPort = "COMPort";
constexpr std::string_view kStartListSection = "StartList";
constexpr std::string_view kStartListFile = "File";
constexpr std::string_view kBaudRate = "Baudrate";
constexpr std::string_view kProgram = "Program";
constexpr std::string_view kCountdownNumber = "CDNumber";
constexpr std::string_view kCountdownTime = "CDTime";
constexpr std::string_view kBrightness = "Brightness";
constexpr std::string_view kLivePage = "LivePage";
constexpr std::string_view kShare = "Share";
constexpr std::string_view kLivePort = "Port";

constexpr std::array<int, 5> kBaudRates = {2400, 4800, 9600, 19200, 38400};

std::mutex g_sessionLock;
std::string g_strSessionConfigPath; // empty: no session of its own

// The settings file's text; a missing or unreadable file reads as an empty one, in which every key is absent.
std::string ReadSettingsText(const std::string& strPath) {
    return CIniFile::ReadText(strPath).value_or(std::string{});
}

// The decimal integer at the start of a key's value (0 for a value without leading digits), or nothing when the
// key is absent.
std::optional<int> ReadNumber(std::string_view text, std::string_view section, std::string_view key) {
    const std::optional<std::string> value = CIniFile::GetStringFromText(text, section, key);
    if (!value)
        return std::nullopt;
    return ParseLeadingInt(*value);
}

// The port number for a stored port index: the index + 1, held at INT_MAX rather than overflowing.
std::optional<int> PortFromIndex(std::optional<int> nIndex) {
    if (!nIndex)
        return std::nullopt;
    return *nIndex == INT_MAX ? INT_MAX : *nIndex + 1;
}

std::optional<int> BaudRateFromStoredIndex(std::optional<int> nIndex) {
    if (!nIndex)
        return std::nullopt;
    return BaudRateFromIndex(*nIndex);
}

// The keys every window with a link reads: the language, the port and the baud rate.
CLinkSettings LinkSettingsFromText(std::string_view text) {
    CLinkSettings settings;
    settings.m_strLanguage = CIniFile::GetStringFromText(text, kSystem, kLanguage);
    settings.m_nPort = PortFromIndex(ReadNumber(text, kSettings, kComPort));
    settings.m_nBaudRate = BaudRateFromStoredIndex(ReadNumber(text, kSettings, kBaudRate));
    return settings;
}

} // namespace

std::string GetConfigPath() {
    {
        std::lock_guard lock(g_sessionLock);
        if (!g_strSessionConfigPath.empty())
            return g_strSessionConfigPath;
    }
    return FilesDirectory() + "/config.ini";
}

void SetSessionConfigPath(std::string strPath) {
    std::lock_guard lock(g_sessionLock);
    g_strSessionConfigPath = std::move(strPath);
}

std::optional<int> BaudRateFromIndex(int nIndex) {
    if (nIndex < 0 || nIndex >= static_cast<int>(kBaudRates.size()))
        return std::nullopt;
    return kBaudRates[static_cast<std::size_t>(nIndex)];
}

CMainWindowSettings ReadMainWindowSettings(const std::string& strPath) {
    const std::string text = ReadSettingsText(strPath);
    const CLinkSettings link = LinkSettingsFromText(text);
    CMainWindowSettings settings;
    settings.m_strLanguage = link.m_strLanguage;
    settings.m_nPort = link.m_nPort;
    settings.m_nBaudRate = link.m_nBaudRate;
    settings.m_nProgram = ReadNumber(text, kSetValues, kProgram);
    settings.m_nCountdownNumber = ReadNumber(text, kSetValues, kCountdownNumber);
    settings.m_strCountdownTime = CIniFile::GetStringFromText(text, kSetValues, kCountdownTime);
    settings.m_strBrightness = CIniFile::GetStringFromText(text, kSetValues, kBrightness);
    return settings;
}

CLinkSettings ReadLinkSettings(const std::string& strPath) {
    return LinkSettingsFromText(ReadSettingsText(strPath));
}

CComPortSettings ReadComPortSettings(const std::string& strPath) {
    const std::string text = ReadSettingsText(strPath);
    CComPortSettings settings;
    settings.m_strLanguage = CIniFile::GetStringFromText(text, kSystem, kLanguage);
    settings.m_nPortPosition = ReadNumber(text, kSettings, kComPort);
    settings.m_nBaudPosition = ReadNumber(text, kSettings, kBaudRate);
    return settings;
}

CLivePageSettings ReadLivePageSettings(const std::string& strPath) {
    const std::string text = ReadSettingsText(strPath);
    CLivePageSettings settings;
    settings.m_bShare = ReadNumber(text, kLivePage, kShare).value_or(0) != 0;
    if (const auto nPort = ReadNumber(text, kLivePage, kLivePort); nPort && *nPort >= 1 && *nPort <= kHighestPort)
        settings.m_nPort = *nPort;
    return settings;
}

bool WriteLivePageSettings(const std::string& strPath, const CLivePageSettings& settings) {
    const std::string strPort = std::to_string(settings.m_nPort);
    return CIniFile::WriteStrings(strPath, kLivePage, {{kShare, settings.m_bShare ? "1" : "0"}, {kLivePort, strPort}});
}

bool WriteComPortSettings(const std::string& strPath, int nPortPosition, int nBaudPosition) {
    // Both keys go into the file in one replacement, COMPort first, so that the file never holds one new value
    // beside one old one.
    const std::string strPort = std::to_string(nPortPosition);
    const std::string strBaud = std::to_string(nBaudPosition);
    return CIniFile::WriteStrings(strPath, kSettings, {{kComPort, strPort}, {kBaudRate, strBaud}});
}

std::optional<std::string> ReadStartListSetting(const std::string& strPath) {
    return CIniFile::GetStringFromText(ReadSettingsText(strPath), kStartListSection, kStartListFile);
}

bool WriteStartListSetting(const std::string& strPath, const std::string& strStartList) {
    return CIniFile::WriteStrings(strPath, kStartListSection, {{kStartListFile, strStartList}});
}

std::string SettingsTextWithPort(std::string_view text, int nPort) {
    return CIniFile::WriteStringToText(text, kSettings, kComPort, std::to_string(nPort - 1));
}

void CLinkSettings::ApplyTo(int& nPort, int& nBaudRate) const {
    nPort = m_nPort.value_or(nPort);
    nBaudRate = m_nBaudRate.value_or(nBaudRate);
}
