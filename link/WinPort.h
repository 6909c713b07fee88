#pragma once

#include "link/SerialPort.h"

#include <array>
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
// hands over at once. What it takes from the driver it takes whole, into a buffer of its own, from which Read
// hands out as much as the caller asks: a line costs the driver the one-byte read that ended the wait and one read
// of the rest (one read when its bytes wait already), however small the caller's reads. Bytes in that buffer are
// received bytes not yet read, for WaitForInput and PurgeInput alike. A wait that ends in silence leaves its read
// with the driver, where Wine keeps it until a byte comes (Windows's driver ends it after the 250 ms), and the next
// wait goes on with it. The handle is overlapped, so a writer is never held up by the reader's wait.
//
// One reader (WaitForInput, Read) and one writer (Write) may run at once; the rest is for one thread at a time.
class CWinPort final : public CSerialPort {
public:
    static constexpr int kQueueBytes = 256; // the driver's input and output queues
    static constexpr auto kReadTimeout = std::chrono::milliseconds{250};
    static constexpr auto kWriteTimeout = std::chrono::milliseconds{200};

    CWinPort();
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

    // Sets an open COM port's line as the program sets it: 8 data bits, no parity, one stop bit, no flow control,
    // DTR and RTS off, at nBaudRate when it is one the COM Port Settings offer (else the speed stays as it is).
    static bool ConfigureLine(void* hPort, int nBaudRate);

    // The words for an open that failed with the system's error code (0: the device is not a serial line).
    static std::string DescribeOpenError(unsigned long nError);

private:
    struct CHandleCloser {
        void operator()(void* hHandle) const;
    };
    using CHandle = std::unique_ptr<void, CHandleCloser>;

    enum class EWait { Input, Silence, Failed };

    // Waits until the port's buffer holds a byte (Input), `timeout` has passed without one (Silence) or the port
    // fails. Whatever the driver holds by then is in the buffer.
    EWait WaitForBytes(std::chrono::milliseconds timeout);
    // The number of received bytes in the driver's queue; -1 when the port cannot tell, as for a vanished device.
    int WaitingBytes();
    // Takes the nWaiting bytes the driver said it holds into the buffer, in one read; false when the read fails.
    bool TakeWaiting(int nWaiting);
    // Ends the wait's read if one is with the driver, dropping what it brought.
    void AbandonWait();
    // Marks the device as gone and gives the result of a failed read.
    int Vanished();

    CHandle m_hPort;       // the COM port, overlapped; empty when closed
    CHandle m_hReadEvent;  // completion of the reader's ReadFile
    CHandle m_hWriteEvent; // completion of the writer's WriteFile
    CHandle m_hClaim;      // the named mutex that marks the port as taken while open
    // Received bytes not yet read: m_buffer[m_nTaken, m_nHeld).
    std::array<char, kQueueBytes> m_buffer{};
    int m_nTaken = 0;
    int m_nHeld = 0;
    // The wait's read of one byte, kept while the driver has it; it ends on m_hReadEvent.
    struct CWaitRead;
    std::unique_ptr<CWaitRead> m_wait;
    bool m_bVanished = false;
    unsigned long m_nDriverReads = 0;
    std::string m_strOpenError;
};
