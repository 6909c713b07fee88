#pragma once

#include <cstddef>
#include <string>

// The device's end of the serial line: a pseudo-terminal master, raw and non-blocking, held for the whole life of
// the object. The program opens the other end (the slave) by its path for each operation and closes it again;
// while nobody holds the slave, the master reports a hang-up.
class CPseudoTerminal {
public:
    // Throws std::system_error when no pseudo-terminal can be had.
    CPseudoTerminal();
    ~CPseudoTerminal();
    CPseudoTerminal(const CPseudoTerminal&) = delete;
    CPseudoTerminal& operator=(const CPseudoTerminal&) = delete;

    int Fd() const { return m_nFd; }
    const std::string& SlavePath() const { return m_strSlavePath; }

    // False while the slave was opened and closed again and nobody holds it now.
    bool IsPeerPresent() const;
    // Received bytes: how many were read, 0 when none wait, -1 when the peer has gone.
    long Read(char* pBuffer, std::size_t nSize);
    // Bytes to send: how many the line took, 0 when it takes none now, -1 on an error.
    long Write(const char* pBytes, std::size_t nSize);

private:
    int m_nFd = -1;
    std::string m_strSlavePath;
};
