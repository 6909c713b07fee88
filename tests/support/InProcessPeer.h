#pragma once

#include "link/InProcessPorts.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// A recording device served in the process as COM n (link/InProcessPorts.h), on every platform, Windows and Wine
// included: the program's link opens COM n and talks to this peer. It records every byte the program writes and
// sends the program the bytes a test gives it; its port reads as a serial port does (at once with the bytes that
// wait, else after the first byte or the time-out) and is opened by one link at a time. Bytes sent while the
// program holds no port wait for it, and its Open purges them, as on a real line. HangUp turns it into an unplugged
// device: the open port's reads fail and say it vanished, its writes fail, and it cannot be opened again.
// The peer is used from the test's thread; its port from the link's threads.
class CInProcessPeer {
public:
    static constexpr const char* kDescription = "recording peer";

    // Serves COM nPort until the peer goes. Throws std::logic_error when the number is served already.
    explicit CInProcessPeer(int nPort);
    ~CInProcessPeer();
    CInProcessPeer(const CInProcessPeer&) = delete;
    CInProcessPeer& operator=(const CInProcessPeer&) = delete;

    int Port() const { return m_registration.Port(); }

    bool Write(std::string_view bytes);
    std::string ReadFor(std::chrono::milliseconds duration);
    std::string ReadUntil(std::size_t nCount, std::chrono::milliseconds timeout);
    void HangUp();
    bool IsHungUp() const;

    // Every byte the program has written since the peer was made, whether ReadFor or ReadUntil took it or not.
    std::string Written() const;
    // True while the program holds the port open.
    bool IsOpen() const;
    // The baud rate of the program's last opening; 0 before the first.
    int BaudRate() const;

    struct SLine; // the line between the peer and its port

private:
    std::shared_ptr<SLine> m_line;
    CInProcessPortRegistration m_registration;
};
