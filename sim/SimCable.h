#pragma once

#include "sim/PortLink.h"
#include "sim/PseudoTerminal.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

// The cable between the device and the program's port, which can be pulled and plugged in again the way a USB
// serial adapter is. Plugged in, it is a pseudo-terminal that the program finds through the link
// <dir>/ports/COM<n>. Each plug-in makes a new terminal, points the link at its slave and announces the slave's path.
// Pulling closes the terminal's master: a port the program holds open is hung up, and the link stays, pointing at
// the old path, which no longer exists, so that opening the port fails until the cable is back. The link goes with
// the cable, plugged in or not.
class CSimCable {
public:
    using Announcer = std::function<void(const std::string& strSlavePath)>;

    // Starts out pulled and without a link; announce is told each new slave's path.
    CSimCable(std::string strDirectory, int nPort, Announcer announce);
    ~CSimCable();
    CSimCable(const CSimCable&) = delete;
    CSimCable& operator=(const CSimCable&) = delete;

    // False, doing nothing, when the cable is already in. Throws std::system_error when no pseudo-terminal can be
    // had and std::filesystem::filesystem_error when the link cannot be made; the cable then stays out.
    bool PlugIn();
    // False, doing nothing, when the cable is already out.
    bool Pull();

    bool IsPluggedIn() const { return m_terminal != nullptr; }
    // The device's end of the line; nullptr while the cable is out.
    CPseudoTerminal* Terminal() const { return m_terminal.get(); }

private:
    std::string m_strDirectory;
    int m_nPort;
    Announcer m_announce;
    std::optional<CPortLink> m_link;             // from the first plug-in on
    std::unique_ptr<CPseudoTerminal> m_terminal; // while plugged in
    std::optional<CSlaveHold> m_oldSlave;        // while pulled: the vanished slave's number stays taken
};
