#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// The device's end of COM port nPort of a program whose files are in strDirectory, for the dialog tests: it
// records what the program sent and sends the device's bytes. On Linux a pseudo-terminal linked as
// strDirectory/ports/COM<n> (DevicePeerPosix.cpp); on Windows a port served inside the test's own process under
// that number (DevicePeerWin.cpp). Use it from one thread.
class CDevicePeer {
public:
    CDevicePeer(const std::string& strDirectory, int nPort);
    ~CDevicePeer();
    CDevicePeer(const CDevicePeer&) = delete;
    CDevicePeer& operator=(const CDevicePeer&) = delete;

    // Sends bytes to the program, all of them; false when the line is hung up.
    bool Write(std::string_view bytes);
    // Everything the program sent within the next `duration`.
    std::string ReadFor(std::chrono::milliseconds duration);
    // What the program sent, returned as soon as nCount bytes are there (no more than nCount), or what there is
    // after `timeout`.
    std::string ReadUntil(std::size_t nCount, std::chrono::milliseconds timeout);
    // The device goes away: the program's port sees a vanished device.
    void HangUp();
    bool IsHungUp() const;
    // The baud rate the program set on its end of the line; 0 when it set none that the peer knows.
    int LineBaudRate() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_pImpl;
};

// A COM port number that opens no device, for the program's "Can't open COM port": on Linux a plain file linked
// where the port's link would be (strDirectory/ports/COM<n>), on Windows nothing at all (a number Windows does not
// name is no device, and Windows refuses a file of a port's name).
void MakePortWithoutDevice(const std::string& strDirectory, int nPort);
