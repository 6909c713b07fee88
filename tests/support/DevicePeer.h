#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// The device's end of a COM port, for tests that run the program's link or windows against a recording device
// instead of the simulator: the program opens COM n as it would open a unit; the peer records what it wrote and
// sends it the lines a test gives. On Linux and macOS it is a pseudo-terminal linked as ports/COM<n> (CPtyPeer),
// so that the system's own port is part of the test; on Windows, which has no pseudo-terminals, it is a port served
// in the process (CInProcessPeer). Use it from the test's thread.
class CDevicePeer {
public:
    virtual ~CDevicePeer() = default;

    // Sends bytes to the program, all of them; false when the line is hung up or stays full.
    virtual bool Write(std::string_view bytes) = 0;
    // Everything the program sent within the next `duration`.
    virtual std::string ReadFor(std::chrono::milliseconds duration) = 0;
    // What the program sent, returned as soon as nCount bytes are there (no more than nCount; the rest waits for
    // the next read), or what there is after `timeout`.
    virtual std::string ReadUntil(std::size_t nCount, std::chrono::milliseconds timeout) = 0;
    // The device goes away: the program's open port sees a vanished device. Reads then return nothing and writes
    // fail.
    virtual void HangUp() = 0;
    virtual bool IsHungUp() const = 0;
};

// The peer of this platform, serving COM nPort to the program: on Linux and macOS linked as ports/COM<n> in the
// program's files directory (FilesDirectory(); a test's CExecutableDirectory), on Windows registered in the
// process. DevicePeerPosix.cpp and DevicePeerWin.cpp.
std::unique_ptr<CDevicePeer> MakeDevicePeer(int nPort);
