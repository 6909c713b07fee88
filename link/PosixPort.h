#pragma once

#include "link/SerialPort.h"

#include <chrono>
#include <string>
#include <string_view>

// A serial port through termios: opened non-blocking and exclusive (an advisory lock for every user, the
// terminal's exclusive mode as well), waits by poll. Closed by its destructor.
class CPosixPort final : public CSerialPort {
public:
    CPosixPort() = default;
    ~CPosixPort() override;
    CPosixPort(const CPosixPort&) = delete;
    CPosixPort& operator=(const CPosixPort&) = delete;

    bool Open(const std::string& strDevice) override;
    bool Configure(int nBaudRate) override;
    int Read(char* pBuffer, int nMax, std::chrono::milliseconds timeout) override;
    bool WaitForInput(std::chrono::milliseconds timeout) override;
    bool Write(std::string_view data, std::chrono::milliseconds timeout) override;
    void PurgeInput() override;
    void Close() override;

    std::string OpenError() const override { return m_strOpenError; }
    // A read fails on a terminal only when its device has gone: hung up, input/output error, end of file.
    bool HasVanished() const override { return m_bVanished; }

    bool IsOpen() const { return m_hPort >= 0; }

    // The words for an open that failed with the system's error number nError (0: the device is not a serial line).
    static std::string DescribeOpenError(int nError);

private:
    int Vanished() {
        m_bVanished = true;
        return -1;
    }

    int m_hPort = -1; // file descriptor of the terminal; -1 when closed
    std::string m_strOpenError;
    bool m_bVanished = false;
};
