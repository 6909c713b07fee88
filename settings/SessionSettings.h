#pragma once

#include "base/Reporter.h"

#include <string>

// The settings of a session on a port of its own, such as a training session on its simulated unit. While an object
// of this class lives, GetConfigPath() names a copy of the user's config.ini (or a file of its own when there is
// none) whose port is the session's: the main window and every dialog read their port there, so the whole session
// uses that port, and the COM Port Settings dialog writes its choice there too. The user's config.ini is never
// written by the session, so the next ordinary start finds the port the user chose. The copy goes with the object.
// One session at a time.
// The copy lives in the system's temporary folder, named as the system names it whatever letters the user's name
// has; when it cannot be written there the reporter hears "Can't open file!" and the session reads and writes the
// user's config.ini as any start does.
class CSessionSettings {
public:
    explicit CSessionSettings(int nPort, const Reporter& reporter = {});
    ~CSessionSettings();
    CSessionSettings(const CSessionSettings&) = delete;
    CSessionSettings& operator=(const CSessionSettings&) = delete;

    // False when the copy could not be written (no temporary directory, or one that refuses it): GetConfigPath()
    // then names the user's config.ini as ever.
    bool IsInForce() const { return !m_strPath.empty(); }

private:
    std::string m_strPath;
};
