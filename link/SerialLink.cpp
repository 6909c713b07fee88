#include "link/SerialLink.h"

#include <algorithm>
#include <array>
#include <system_error>

namespace {

using Clock = std::chrono::steady_clock;

// The longest line the reader keeps: the line buffer less room for a terminator.
constexpr int kLineLimit = CSerialLink::kLineBufferSize - 1;
// How often a reader that waits out a failed read looks at its stop request.
constexpr auto kStopPoll = std::chrono::milliseconds{10};

} // namespace

CSerialLink::CSerialLink(Reporter reporter, PortFactory factory)
    : m_reporter(std::move(reporter)), m_factory(std::move(factory)) {
    if (!m_factory)
        m_factory = CreateSystemPort;
}

CSerialLink::~CSerialLink() {
    if (IsOpen())
        Close();
}

bool CSerialLink::Open(int nPort, int nBaudRate) {
    return OpenDevice(PortDevicePath(nPort), nBaudRate);
}

bool CSerialLink::OpenDevice(const std::string& strDevice, int nBaudRate) {
    // One port and one reader per link: an open link lets go of its port before it takes the next one.
    if (IsOpen())
        Close();

    std::unique_ptr<CSerialPort> port = m_factory();
    if (!port || !port->Open(strDevice)) {
        m_strLastOpenError = port ? port->OpenError() : std::string();
        Report(m_reporter, kMsgCantOpenPort);
        return false;
    }
    m_strLastOpenError.clear();
    port->Configure(nBaudRate); // a line that refuses a setting is used as it is
    port->PurgeInput();

    m_hPort = std::move(port);
    m_bStop = false;
    try {
        m_reader = std::thread(&CSerialLink::ReaderLoop, this);
    } catch (const std::system_error&) {
        m_hPort->Close();
        m_hPort.reset();
        m_strLastOpenError = "no thread for the reader";
        Report(m_reporter, kMsgCantOpenPort);
        return false;
    }
    return true;
}

bool CSerialLink::Write(const std::string& strCommand) {
    std::lock_guard lock(m_portLock);
    return m_hPort && m_hPort->Write(strCommand, kWriteTimeout);
}

bool CSerialLink::PopLine(std::string& strLine) {
    std::lock_guard lock(m_queueLock);
    if (m_lines.empty())
        return false;
    strLine = std::move(m_lines.front());
    m_lines.pop_front();
    return true;
}

void CSerialLink::Close() {
    m_bStop = true;
    std::this_thread::sleep_for(kCloseWait);
    // The port goes only once the reader has ended, however long its last read takes.
    if (m_reader.joinable())
        m_reader.join();

    std::lock_guard lock(m_portLock);
    if (m_hPort) {
        m_hPort->PurgeInput();
        m_hPort->Close();
        m_hPort.reset();
    }
}

bool CSerialLink::IsOpen() const {
    return m_hPort != nullptr;
}

void CSerialLink::ReaderLoop() {
    std::array<char, kReadChunk> chunk{};
    std::array<char, kLineBufferSize> line{};
    int nLength = 0;
    bool bOverlong = false; // the current line passed the limit: its bytes are dropped up to its carriage return

    do {
        const auto started = Clock::now();
        int nRead = 0;
        // The wait for the first byte holds no lock: a command written meanwhile goes out at once instead of
        // waiting for a silent read to end, which keeps the transfers at their own pace.
        const bool bInput = m_hPort->WaitForInput(kReadTimeout);
        {
            std::lock_guard portLock(m_portLock);
            if (bInput)
                nRead = m_hPort->Read(chunk.data(), kReadChunk, kReadTimeout);
            if (nRead <= 0) {
                // Silence or a failed read ends a partial line.
                nLength = 0;
                bOverlong = false;
            }
            for (int i = 0; i < nRead; ++i) {
                const char byte = chunk[static_cast<std::size_t>(i)];
                if (byte == '\r') {
                    if (!bOverlong) {
                        std::lock_guard queueLock(m_queueLock);
                        m_lines.emplace_back(line.data(), static_cast<std::size_t>(nLength));
                    }
                    nLength = 0;
                    bOverlong = false;
                } else if (bOverlong) {
                    continue;
                } else if (nLength < kLineLimit) {
                    line[static_cast<std::size_t>(nLength++)] = byte;
                } else {
                    nLength = 0;
                    bOverlong = true;
                }
            }
        }
        // A failed read costs the pass as long as a silent one, so that a vanished device (every read failing at
        // once) does not keep the reader spinning. The port is free meanwhile.
        if (nRead < 0) {
            const auto until = started + kReadTimeout;
            while (!m_bStop && Clock::now() < until)
                std::this_thread::sleep_for(std::min<Clock::duration>(kStopPoll, until - Clock::now()));
        }
        std::this_thread::sleep_for(kReaderPause);
    } while (!m_bStop);
}
