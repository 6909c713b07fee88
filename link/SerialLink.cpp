#include "link/SerialLink.h"

#include "link/InProcessPorts.h"

#include <algorithm>
#include <array>
#include <system_error>

namespace {

using Clock = std::chrono::steady_clock;

// The longest line the reader keeps: the line buffer less room for a terminator.
constexpr int kLineLimit = CSerialLink::kLineBufferSize - 1;

} // namespace

CSerialLink::CSerialLink(Reporter reporter, PortFactory factory)
    : m_reporter(std::move(reporter)), m_factory(std::move(factory)) {
    if (!m_factory)
        m_factory = CreateSystemPort;
}

CSerialLink::~CSerialLink() {
    if (IsOpen() || m_reader.joinable())
        Close();
}

bool CSerialLink::Open(int nPort, int nBaudRate) {
    // A device served in this process stands in for the system's port of its number; a reopening after it has
    // vanished looks for the number in the process again, as it looks for a USB adapter again.
    if (IsInProcessPort(nPort))
        return OpenPort([nPort] { return CreateInProcessPort(nPort); }, InProcessPortDevice(nPort), nBaudRate);
    return OpenDevice(PortDevicePath(nPort), nBaudRate);
}

bool CSerialLink::OpenDevice(const std::string& strDevice, int nBaudRate) {
    return OpenPort(m_factory, strDevice, nBaudRate);
}

bool CSerialLink::OpenPort(PortFactory factory, const std::string& strDevice, int nBaudRate) {
    // One port and one reader per link: an open link lets go of its port before it takes the next one.
    if (IsOpen())
        Close();

    std::unique_ptr<CSerialPort> port = factory();
    if (!port || !port->Open(strDevice)) {
        m_strOpenError = port ? port->OpenError() : std::string("no port on this system");
        Report(m_reporter, kMsgCantOpenPort);
        return false;
    }
    m_strOpenError.clear();
    port->Configure(nBaudRate); // a line that refuses a setting is used as it is
    port->PurgeInput();

    m_hPort = std::move(port);
    m_strDevice = strDevice;
    m_reopenFactory = std::move(factory);
    m_nBaudRate = nBaudRate;
    m_bStop = false;
    try {
        m_reader = std::thread(&CSerialLink::ReaderLoop, this);
    } catch (const std::system_error& error) {
        m_hPort->Close();
        m_hPort.reset();
        m_strOpenError = error.what();
        Report(m_reporter, kMsgCantOpenPort);
        return false;
    }
    m_bOpen = true;
    return true;
}

bool CSerialLink::Write(const std::string& strCommand) {
    std::lock_guard lock(m_portLock);
    return m_hPort && m_hPort->Write(strCommand, kWriteTimeout);
}

bool CSerialLink::PopLine(std::string& strLine) {
    CReceivedLine line;
    if (!PopLine(line))
        return false;
    strLine = std::move(line.m_strText);
    return true;
}

bool CSerialLink::PopLine(CReceivedLine& line) {
    std::lock_guard lock(m_queueLock);
    if (m_lines.empty())
        return false;
    line = std::move(m_lines.front());
    m_lines.pop_front();
    return true;
}

bool CSerialLink::WaitForStop(Clock::duration duration) {
    std::unique_lock lock(m_stopLock);
    return m_stopRequested.wait_for(lock, duration, [this] { return m_bStop.load(); });
}

void CSerialLink::Close() {
    {
        std::lock_guard lock(m_stopLock);
        m_bStop = true;
    }
    m_stopRequested.notify_all();
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
    m_bOpen = false;
}

bool CSerialLink::IsOpen() const {
    return m_bOpen;
}

bool CSerialLink::IsConnected() const {
    std::lock_guard lock(m_portLock);
    return m_hPort != nullptr;
}

std::string CSerialLink::LastOpenError() const {
    return m_strOpenError;
}

bool CSerialLink::Reconnect() {
    {
        std::lock_guard portLock(m_portLock);
        m_hPort->Close();
        m_hPort.reset();
    }
    for (;;) {
        if (WaitForStop(kReopenPeriod))
            return false;
        std::unique_ptr<CSerialPort> port = m_reopenFactory();
        if (!port || !port->Open(m_strDevice))
            continue;
        port->Configure(m_nBaudRate);
        port->PurgeInput();
        std::lock_guard portLock(m_portLock);
        m_hPort = std::move(port);
        ++m_nReopens;
        return true;
    }
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
            const WallTime arrived = std::chrono::system_clock::now();
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
                        m_lines.push_back({std::string(line.data(), static_cast<std::size_t>(nLength)), arrived});
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
        // A device that has gone is opened again once it is back; nothing is read meanwhile.
        if (nRead < 0 && m_hPort->HasVanished()) {
            if (!Reconnect())
                break;
            continue;
        }
        // A failed read costs the pass as long as a silent one, so that a device whose every read fails at once
        // does not keep the reader spinning. The port is free meanwhile.
        if (nRead < 0)
            WaitForStop(started + kReadTimeout - Clock::now());
        std::this_thread::sleep_for(kReaderPause);
    } while (!m_bStop);
}
