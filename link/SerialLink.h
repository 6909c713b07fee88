#pragma once

#include "base/Reporter.h"
#include "link/SerialPort.h"

#include <atomic>
#include <chrono>
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
class CSerialLink {
public:
    using PortFactory = std::function<std::unique_ptr<CSerialPort>()>;

    static constexpr auto kReadTimeout = std::chrono::milliseconds{250};
    static constexpr auto kWriteTimeout = std::chrono::milliseconds{200};
    static constexpr auto kReaderPause = std::chrono::milliseconds{1};
    static constexpr auto kCloseWait = std::chrono::milliseconds{250};
    static constexpr int kReadChunk = 10;
    static constexpr int kLineBufferSize = 256;

    // reporter receives "Can't open COM port" once per failed Open; factory makes the port (the system's when empty).
    explicit CSerialLink(Reporter reporter = {}, PortFactory factory = {});
    CSerialLink(const CSerialLink&) = delete;
    CSerialLink& operator=(const CSerialLink&) = delete;
    virtual ~CSerialLink();

    // Opens COM port nPort at nBaudRate, purges its input and starts the reader. On failure reports
    // "Can't open COM port", starts nothing and returns false. Opening an open link closes it first.
    bool Open(int nPort, int nBaudRate);
    // The same for a device path (tests, benchmarks).
    bool OpenDevice(const std::string& strDevice, int nBaudRate);
    // Writes the whole command (which already ends in "\r"); false when the link is closed or the write fails.
    bool Write(const std::string& strCommand);
    // The oldest received line; false, with strLine untouched, when there is none. Works open or closed.
    bool PopLine(std::string& strLine);
    // Stops the reader (waiting one read time-out, then until it has ended), purges the input and closes the port.
    // Harmless on a closed link, which still takes the wait.
    void Close();
    bool IsOpen() const;
    // Why the last Open failed, in the system's words ("permission denied: ..."); empty after one that succeeded.
    std::string LastOpenError() const { return m_strLastOpenError; }

    void SetReporter(Reporter reporter) { m_reporter = std::move(reporter); }

private:
    void ReaderLoop();

    std::atomic<bool> m_bStop{false};
    std::unique_ptr<CSerialPort> m_hPort;
    std::deque<std::string> m_lines; // received lines, oldest first; outlives openings
    std::mutex m_queueLock;          // guards m_lines
    std::mutex m_portLock;           // held around each read and each write on the port
    std::thread m_reader;
    Reporter m_reporter;
    PortFactory m_factory;
    std::string m_strLastOpenError;
};

// Pops every queued line, oldest first, into onLine(const std::string&); the queue is empty afterwards. This is how
// every consumer takes the replies: a window's timer tick, the end of a transfer, the command-line tool.
template <typename OnLine>
void DrainLines(CSerialLink& link, OnLine&& onLine) {
    std::string strLine;
    while (link.PopLine(strLine))
        onLine(strLine);
}
