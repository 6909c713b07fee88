#pragma once

#include <cstddef>
#include <string>

// The device's end of the serial line: a pseudo-terminal master, raw and non-blocking, held for the whole life of
// the object. The program opens the other end (the slave) by its path for each operation and closes it again;
// while nobody holds the slave, from the start on, the master reports a hang-up. Destroying the object closes the
// master: the slave's path goes away and whoever still holds the slave sees a hang-up.
class CPseudoTerminal {
public:
    // Throws std::system_error when no pseudo-terminal can be had.
    CPseudoTerminal();
    ~CPseudoTerminal();
    CPseudoTerminal(const CPseudoTerminal&) = delete;
    CPseudoTerminal& operator=(const CPseudoTerminal&) = delete;

    int Fd() const { return m_nFd; }
    const std::string& SlavePath() const { return m_strSlavePath; }

    // False while nobody holds the slave.
    bool IsPeerPresent() const;
    // Received bytes: how many were read, 0 when none wait, -1 when the peer has gone.
    long Read(char* pBuffer, std::size_t nSize);
    // Bytes to send: how many the line took, 0 when it takes none now, -1 on an error.
    long Write(const char* pBytes, std::size_t nSize);

private:
    int m_nFd = -1;
    std::string m_strSlavePath;
};

// A hold on a slave that is about to lose its master, kept only so that its number stays taken: once the master has
// closed, the slave's path is gone, and while the hold lives no new pseudo-terminal of this machine can appear under
// that path. Holds nothing when the slave cannot be opened (a program holds it exclusively, and with it the number,
// for as long as it keeps it open).
class CSlaveHold {
public:
    explicit CSlaveHold(const std::string& strSlavePath);
    ~CSlaveHold();
    CSlaveHold(const CSlaveHold&) = delete;
    CSlaveHold& operator=(const CSlaveHold&) = delete;

    bool IsHeld() const { return m_hSlave >= 0; }

private:
    int m_hSlave = -1;
};
