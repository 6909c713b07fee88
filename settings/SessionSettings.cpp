#include "settings/SessionSettings.h"

#include "base/Files.h"
#include "base/IniFile.h"
#include "settings/Settings.h"

#include <random>

namespace {

// A name no other session picks: the settings of two sessions at once never meet.
std::string SessionFileName() {
    std::random_device random;
    const unsigned long long nHigh = random();
    const unsigned long long nTag = (nHigh << 32) ^ random();
    return "kalvora-session-" + std::to_string(nTag) + ".ini";
}

} // namespace

CSessionSettings::CSessionSettings(int nPort, const Reporter& reporter) {
    const std::string strDirectory = TemporaryDirectory();
    if (strDirectory.empty()) {
        Report(reporter, kMsgCantCreateFile);
        return;
    }
    const std::string strPath = strDirectory + "/" + SessionFileName();
    // The user's file as it is (a missing one reads as empty), with the port as the dialog stores it.
    const std::string text = CIniFile::ReadText(GetConfigPath()).value_or(std::string());
    const std::string session = SettingsTextWithPort(text, nPort);
    if (!WriteFileReplacing(strPath, session)) {
        Report(reporter, kMsgCantCreateFile);
        return;
    }
    m_strPath = strPath;
    SetSessionConfigPath(m_strPath);
}

CSessionSettings::~CSessionSettings() {
    if (m_strPath.empty())
        return;
    SetSessionConfigPath({});
    RemoveFile(m_strPath);
}
