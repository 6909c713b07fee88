#include "sim/SimCable.h"

CSimCable::CSimCable(std::string strDirectory, int nPort, Announcer announce)
    : m_strDirectory(std::move(strDirectory)), m_nPort(nPort), m_announce(std::move(announce)) {}

CSimCable::~CSimCable() {
    // The link first: the program must not find the name leading to a terminal that is about to close.
    m_link.reset();
}

bool CSimCable::PlugIn() {
    if (m_terminal)
        return false;
    auto terminal = std::make_unique<CPseudoTerminal>();
    if (m_link)
        m_link->Repoint(terminal->SlavePath());
    else
        m_link.emplace(m_strDirectory, m_nPort, terminal->SlavePath());
    m_terminal = std::move(terminal);
    // The link leads to the new terminal now; the old number may go to anyone.
    m_oldSlave.reset();
    if (m_announce)
        m_announce(m_terminal->SlavePath());
    return true;
}

bool CSimCable::Pull() {
    if (!m_terminal)
        return false;
    m_oldSlave.emplace(m_terminal->SlavePath());
    m_terminal.reset();
    return true;
}
