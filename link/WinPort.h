#pragma once

#include "link/SerialPort.h"

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

// A COM port through the communications API of Windows. Exclusive: the driver admits one open at a time, and a
// named mutex per port keeps out a second open of the same port by any program that uses this class where the
// driver does not (Wine). Closed by its destructor.
//
// Reading: the driver is set to the read time-outs the device needs (interval and total multiplier at their
// maximum, total constant 250 ms: a read returns at once with the bytes waiting, otherwise as soon as one arrives,
// otherwise after 250 ms with none). Some drivers read that combination as "fill the buffer within 250 ms" (Wine
// does), so the port never relies on it for more than one byte: it waits with an overlapped read of one byte,
// bounded by a wait of its own, and then asks for no more than ClearCommError says are waiting, which every driver
// hands over at once. The byte of the wait is kept as the first of the next Read, so WaitForInput takes nothing
// away. The handle is overlapped, so a writer is never held up by the reader's wait.
//
// One reader (WaitForInput, Read) and one writer (Write) may run at once; the rest is for one thread at a time.
class CWinPort final : public CSerialPort {
public:
    static constexpr int kQueueBytes = 256; // the driver's input and output queues
    static constexpr auto kReadTimeout = std::chrono::milliseconds{250};
    static constexpr auto kWriteTimeout = std::chrono::milliseconds{200};

    CWinPort() = default;
    ~CWinPort() override;
    CWinPort(const CWinPort&) = delete;
    CWinPort& operator=(const CWinPort&) = delete;

    bool Open(const std::string& strDevice) override;
    bool Configure(int nBaudRate) override;
    int Read(char* pBuffer, int nMax, std::chrono::milliseconds timeout) override;
    bool WaitForInput(std::chrono::milliseconds timeout) override;
    bool Write(std::string_view data, std::chrono::milliseconds timeout) override;
    void PurgeInput() override;
    void Close() override;

    std::string OpenError() const override { return m_strOpenError; }
    // A read fails on a COM port only when its device has gone: unplugged, switched off, hung up.
    bool HasVanished() const override { return m_bVanished; }

    bool IsOpen() const { return m_hPort != nullptr; }
    // How many reads the port has asked of the driver since it was made (ReadFile calls, the waits' included): what
    // a line costs, for tests and benchmarks. The reader's thread only.
    unsigned long DriverReads() const { return m_nDriverReads; }

    // The words for an open that failed with the system's error code (0: the device is not a serial line).
    static std::string DescribeOpenError(unsigned long nError);

private:
    struct CHandleCloser {
        void operator()(void* hHandle) const;
    };
    using CHandle = std::unique_ptr<void, CHandleCloser>;

    enum class EWait { Input, Silence, Failed };

    // Waits until a byte is at hand (kept from the last wait, or in the driver's queue: Input), `timeout` has
    // passed without one (Silence) or the port fails.
    EWait WaitForBytes(std::chrono::milliseconds timeout);
    // The number of received bytes not yet read; -1 when the port cannot tell, as for a vanished device.
    int WaitingBytes();
    // Marks the device as gone and gives the result of a failed read.
    int Vanished();

    CHandle m_hPort;       // the COM port, overlapped; empty when closed
    CHandle m_hReadEvent;  // completion of the reader's ReadFile
    CHandle m_hWriteEvent; // completion of the writer's WriteFile
    CHandle m_hClaim;      // the named mutex that marks the port as taken while open
    char m_chAhead = 0;    // the byte that the last wait brought, when m_bAhead
    bool m_bAhead = false;
    bool m_bVanished = false;
    unsigned long m_nDriverReads = 0;
    std::string m_strOpenError;
};
