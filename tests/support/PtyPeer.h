#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

// The device's end of a pseudo-terminal, for tests and benchmarks: the program opens SlavePath() (or the
// ports/COM<n> link to it) as its serial port; the peer writes the device's bytes and records what the program
// sent. The peer holds the slave open itself as well, so the line stays up while the program closes and reopens
// its end. Raw on both sides: every byte passes unchanged, nothing is echoed. Use it from one thread.
class CPtyPeer {
public:
    static constexpr auto kWriteTimeout = std::chrono::seconds{2};

    // Throws std::runtime_error when no pseudo-terminal can be had.
    CPtyPeer();
    ~CPtyPeer();
    CPtyPeer(const CPtyPeer&) = delete;
    CPtyPeer& operator=(const CPtyPeer&) = delete;

    // The device path of the program's end, such as /dev/pts/3.
    const std::string& SlavePath() const { return m_strSlavePath; }
    // Makes strDirectory/ports/COM<nPort> a symbolic link to the slave (replacing an old one) and returns its path.
    // The link is removed with the peer.
    std::string LinkAsPort(const std::string& strDirectory, int nPort);

    // Sends bytes to the program, all of them; false when the line is hung up or stays full for kWriteTimeout.
    bool Write(std::string_view bytes);
    // Everything the program sent within the next `duration`.
    std::string ReadFor(std::chrono::milliseconds duration);
    // What the program sent, returned as soon as nCount bytes are there (no more than nCount; the rest waits for
    // the next read), or what there is after `timeout`.
    std::string ReadUntil(std::size_t nCount, std::chrono::milliseconds timeout);

    // Closes the device's end: the program's port now sees a vanished device. Reads then return nothing and
    // writes fail.
    void HangUp();
    bool IsHungUp() const { return m_hMaster < 0; }
    // The master's file descriptor (for a writer in a child process); -1 after HangUp.
    int MasterHandle() const { return m_hMaster; }

private:
    // Moves what has arrived into m_strPending, waiting up to `timeout` for the first byte.
    void Receive(std::chrono::milliseconds timeout);
    std::string TakePending(std::size_t nCount);

    int m_hMaster = -1;
    int m_hSlave = -1; // the peer's own hold on the program's end
    std::string m_strSlavePath;
    std::string m_strLinkPath;
    std::string m_strPending; // received but not yet returned
};
