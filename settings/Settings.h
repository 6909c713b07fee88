#pragma once

#include <optional>
#include <string>
#include <string_view>

// config.ini in the program's files directory (FilesDirectory, base/FileLocations.h): the port choice, the language and
// the main window's start values. The readers only read: each window loads the language the file names itself, at the
// step where it loads it.

inline constexpr int kDefaultPort = 7;
inline constexpr int kDefaultBaudRate = 2400;

// FilesDirectory()/config.ini, or the file of the session in force (settings/SessionSettings.h).
std::string GetConfigPath();
// Points GetConfigPath at a session's own file; empty: the user's config.ini again. For CSessionSettings.
void SetSessionConfigPath(std::string strPath);
// 2400, 4800, 9600, 19200 or 38400 for the baud index 0 to 4; nothing for any other index.
std::optional<int> BaudRateFromIndex(int nIndex);

// Each field is what its key gave, or nothing when the key is absent (missing, empty, or no file).
struct CMainWindowSettings {
    std::optional<std::string> m_strLanguage;      // System/Language
    std::optional<int> m_nPort;                    // Settings/COMPort + 1
    std::optional<int> m_nBaudRate;                // Settings/Baudrate, only when it names a baud rate
    std::optional<int> m_nProgram;                 // SetValues/Program, a position in the program list
    std::optional<int> m_nCountdownNumber;         // SetValues/CDNumber, a position in the countdown list
    std::optional<std::string> m_strCountdownTime; // SetValues/CDTime, verbatim
    std::optional<std::string> m_strBrightness;    // SetValues/Brightness, verbatim
};

// What the Read Memory and Parameters dialogs take when they open.
struct CLinkSettings {
    std::optional<std::string> m_strLanguage;
    std::optional<int> m_nPort;
    std::optional<int> m_nBaudRate;

    // The port and baud rate the file gives; a target the file does not supply keeps its value.
    void ApplyTo(int& nPort, int& nBaudRate) const;
};

// What the COM Port Settings dialog takes when it opens: list positions, not yet port numbers.
struct CComPortSettings {
    std::optional<std::string> m_strLanguage;
    std::optional<int> m_nPortPosition; // Settings/COMPort
    std::optional<int> m_nBaudPosition; // Settings/Baudrate
};

CMainWindowSettings ReadMainWindowSettings(const std::string& strPath);
CLinkSettings ReadLinkSettings(const std::string& strPath);
CComPortSettings ReadComPortSettings(const std::string& strPath);
// The live page (LivePage/Share, LivePage/Port): whether the main window shares it on the network when it starts,
// and on which port. A Share value whose number is not 0 shares; a missing one does not. A port outside 1 to 65535
// (or none) is the default port.
inline constexpr int kDefaultLivePagePort = 8080;
inline constexpr int kHighestPort = 65535;
struct CLivePageSettings {
    bool m_bShare = false;
    int m_nPort = kDefaultLivePagePort;
    friend bool operator==(const CLivePageSettings&, const CLivePageSettings&) = default;
};
CLivePageSettings ReadLivePageSettings(const std::string& strPath);
// Writes LivePage/Share (1 or 0) and then LivePage/Port in one replacement of the file; every other line as it was.
bool WriteLivePageSettings(const std::string& strPath, const CLivePageSettings& settings);

// Writes Settings/COMPort and then Settings/Baudrate as decimal positions (-1 for no selection).
bool WriteComPortSettings(const std::string& strPath, int nPortPosition, int nBaudPosition);
// StartList/File: the start list whose names go into the memory's exports (IOF XML 3.0 or CSV; set by the live
// page's dialog), or nothing. Written as it is given.
std::optional<std::string> ReadStartListSetting(const std::string& strPath);
bool WriteStartListSetting(const std::string& strPath, const std::string& strStartList);
// A settings file's text with Settings/COMPort set to port nPort's list position (nPort - 1), as the COM Port
// Settings dialog stores it; every other line as it was.
std::string SettingsTextWithPort(std::string_view text, int nPort);
