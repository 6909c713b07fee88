#pragma once

#include <string>

// The settings of a session on a port of its own, such as a training session on its simulated unit. While an object
// of this class lives, GetConfigPath() names a copy of the user's config.ini (or a file of its own when there is
// none) whose port is the session's: the main window and every dialog read their port there, so the whole session
// uses that port, and the COM Port Settings dialog writes its choice there too. The user's config.ini is never
// written by the session, so the next ordinary start finds the port the user chose. The copy goes with the object.
// One session at a time.
class CSessionSettings {
public:
    explicit CSessionSettings(int nPort);
    ~CSessionSettings();
    CSessionSettings(const CSessionSettings&) = delete;
    CSessionSettings& operator=(const CSessionSettings&) = delete;

    // False when the copy could not be written (no temporary directory): GetConfigPath() then names the user's
    // config.ini as ever.
    bool IsInForce() const { return !m_strPath.empty(); }

private:
    std::string m_strPath;
};
