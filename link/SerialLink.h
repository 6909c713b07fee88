#pragma once

#include "base/Reporter.h"
#include "base/WallClock.h"
#include "link/SerialPort.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// One link to the timing device: the port, one reader thread that cuts the bytes into lines at each carriage
// return, and the queue of received lines. Each window that talks to the device holds its own link.
//
// Framing: a command is written whole and ends in "\r"; a reply line ends at "\r", which is removed and nothing
// else; an empty line is queued as ""; a partial line is dropped after 250 ms of silence or a failed read; a line
// longer than 255 characters is dropped whole up to its carriage return.
//
// A device that vanishes while the link is open (a USB adapter unplugged, the unit switched off) is noticed by the
// reader from a failed read, never from silence: it closes the dead port and opens the same device again every
// kReopenPeriod with the same line settings, without a message, until the device is back or the link is closed.
// Meanwhile writes fail and nothing is queued.
// One received line and when its carriage return came in by the computer's clock: the end of the read that brought
// it, which the reader thread starts at once for every byte.
struct CReceivedLine {
    std::string m_strText;
    WallTime m_arrived;
};

class CSerialLink {
public:
    using PortFactory = SerialPortFactory;

    static constexpr auto kReadTimeout = std::chrono::milliseconds{250};
    static constexpr auto kWriteTimeout = std::chrono::milliseconds{200};
    static constexpr auto kReaderPause = std::chrono::milliseconds{1};
    static constexpr auto kCloseWait = std::chrono::milliseconds{250};
    static constexpr int kReadChunk = 10;
    static constexpr int kLineBufferSize = 256;
    static constexpr auto kReopenPeriod = std::chrono::milliseconds{500};

    // reporter receives "Can't open COM port" once per failed Open; factory makes the port (the system's when empty).
    explicit CSerialLink(Reporter reporter = {}, PortFactory factory = {});
    CSerialLink(const CSerialLink&) = delete;
    CSerialLink& operator=(const CSerialLink&) = delete;
    virtual ~CSerialLink();

    // Opens COM port nPort at nBaudRate, purges its input and starts the reader. On failure reports
    // "Can't open COM port", starts nothing and returns false. Opening an open link closes it first. A number
    // served in this process (InProcessPorts.h) opens the port registered for it, in place of the system's device.
    bool Open(int nPort, int nBaudRate);
    // The same for a device path (tests, benchmarks).
    bool OpenDevice(const std::string& strDevice, int nBaudRate);
    // Writes the whole command (which already ends in "\r"); false when the link is closed or the write fails.
    bool Write(const std::string& strCommand);
    // The oldest received line; false, with strLine untouched, when there is none. Works open or closed.
    bool PopLine(std::string& strLine);
    // The same with the moment it arrived.
    bool PopLine(CReceivedLine& line);
    // Stops the reader (waiting one read time-out, then until it has ended), purges the input and closes the port.
    // Harmless on a closed link, which still takes the wait.
    void Close();
    // True from a successful Open to the Close, also while a vanished device is awaited.
    bool IsOpen() const;
    // True while the device is there: open and not vanished.
    bool IsConnected() const;
    // How often the reader has opened the device again after it vanished, since construction. A consumer that
    // must act after a reconnection compares it with the count it saw last.
    unsigned ReopenCount() const { return m_nReopens; }
    // Why the last Open failed, in the system's words ("permission denied: ..."); empty after a successful one.
    std::string LastOpenError() const;

    void SetReporter(Reporter reporter) { m_reporter = std::move(reporter); }

private:
    // Opens strDevice with a port that factory makes; the factory also makes the ports of every reopening.
    bool OpenPort(PortFactory factory, const std::string& strDevice, int nBaudRate);
    void ReaderLoop();
    // After the device vanished: closes the dead port and opens the device again every kReopenPeriod until it
    // succeeds (true) or the link is being closed (false).
    bool Reconnect();
    // Waits for `duration` or until Close asks the reader to stop, without waking meanwhile; true when asked.
    bool WaitForStop(std::chrono::steady_clock::duration duration);

    std::atomic<bool> m_bStop{false};
    std::mutex m_stopLock;
    std::condition_variable m_stopRequested;
    std::atomic<bool> m_bOpen{false};
    std::atomic<unsigned> m_nReopens{0};
    std::string m_strDevice;     // what Open opened, for reopening it
    PortFactory m_reopenFactory; // what made the open port, for reopening it
    int m_nBaudRate = 0;
    std::string m_strOpenError;
    std::unique_ptr<CSerialPort> m_hPort;
    std::deque<CReceivedLine> m_lines; // received lines, oldest first; outlives openings
    std::mutex m_queueLock;            // guards m_lines
    mutable std::mutex m_portLock;     // held around each read and each write on the port
    std::thread m_reader;
    Reporter m_reporter;
    PortFactory m_factory;
};

// Pops every queued line, oldest first, into onLine(const std::string&); the queue is empty afterwards. This is how
// every consumer takes the replies: a window's timer tick, the end of a transfer, the command-line tool.
template <typename OnLine>
void DrainLines(CSerialLink& link, OnLine&& onLine) {
    std::string strLine;
    while (link.PopLine(strLine))
        onLine(strLine);
}
// The same for a consumer that needs the moment each line arrived: onLine(const CReceivedLine&).
template <typename OnLine>
void DrainReceivedLines(CSerialLink& link, OnLine&& onLine) {
    CReceivedLine line;
    while (link.PopLine(line))
        onLine(line);
}
