#include "tests/support/InProcessPeer.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <utility>

struct CInProcessPeer::SLine {
    mutable std::mutex lock;
    std::condition_variable changed;
    std::string strToProgram;   // sent by the peer, not yet read by the program
    std::string strFromProgram; // written by the program, not yet taken by the peer's reads
    std::string strWritten;     // everything the program wrote
    bool bHungUp = false;
    bool bOpen = false;
    int nBaudRate = 0;
};

namespace {

using SLine = CInProcessPeer::SLine;

// The program's end of the peer's line.
class CPeerPort final : public CSerialPort {
public:
    explicit CPeerPort(std::shared_ptr<SLine> line) : m_line(std::move(line)) {}
    ~CPeerPort() override { Close(); }
    CPeerPort(const CPeerPort&) = delete;
    CPeerPort& operator=(const CPeerPort&) = delete;

    bool Open(const std::string& /*strDevice*/) override {
        std::lock_guard lock(m_line->lock);
        if (m_line->bHungUp) {
            m_strOpenError = "no such device (unplugged?)";
            return false;
        }
        m_bOpen = true;
        m_line->bOpen = true;
        m_strOpenError.clear();
        return true;
    }
    std::string OpenError() const override { return m_strOpenError; }
    bool Configure(int nBaudRate) override {
        std::lock_guard lock(m_line->lock);
        m_line->nBaudRate = nBaudRate;
        return m_bOpen;
    }
    int Read(char* pBuffer, int nMax, std::chrono::milliseconds timeout) override {
        std::unique_lock lock(m_line->lock);
        if (!m_bOpen)
            return -1;
        if (!WaitForBytes(lock, timeout))
            return 0; // silence
        if (m_line->bHungUp)
            return -1;
        const std::size_t nRead = std::min(m_line->strToProgram.size(), static_cast<std::size_t>(std::max(nMax, 0)));
        std::memcpy(pBuffer, m_line->strToProgram.data(), nRead);
        m_line->strToProgram.erase(0, nRead);
        return static_cast<int>(nRead);
    }
    bool WaitForInput(std::chrono::milliseconds timeout) override {
        std::unique_lock lock(m_line->lock);
        return !m_bOpen || WaitForBytes(lock, timeout);
    }
    bool HasVanished() const override {
        std::lock_guard lock(m_line->lock);
        return m_line->bHungUp;
    }
    bool Write(std::string_view data, std::chrono::milliseconds /*timeout*/) override {
        {
            std::lock_guard lock(m_line->lock);
            if (!m_bOpen || m_line->bHungUp)
                return false;
            m_line->strFromProgram.append(data);
            m_line->strWritten.append(data);
        }
        m_line->changed.notify_all();
        return true;
    }
    void PurgeInput() override {
        std::lock_guard lock(m_line->lock);
        m_line->strToProgram.clear();
    }
    void Close() override {
        std::lock_guard lock(m_line->lock);
        if (m_bOpen)
            m_line->bOpen = false;
        m_bOpen = false;
    }

private:
    // True as soon as bytes wait or the line is hung up (a read then fails at once); false after `timeout`.
    bool WaitForBytes(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds timeout) {
        return m_line->changed.wait_for(lock, timeout,
                                        [this] { return !m_line->strToProgram.empty() || m_line->bHungUp; });
    }

    std::shared_ptr<SLine> m_line;
    bool m_bOpen = false; // guarded by the line's lock
    std::string m_strOpenError;
};

} // namespace

CInProcessPeer::CInProcessPeer(int nPort)
    : m_line(std::make_shared<SLine>()),
      m_registration(nPort, kDescription, [line = m_line] { return std::make_unique<CPeerPort>(line); }) {}

CInProcessPeer::~CInProcessPeer() {
    HangUp();
}

bool CInProcessPeer::Write(std::string_view bytes) {
    {
        std::lock_guard lock(m_line->lock);
        if (m_line->bHungUp)
            return false;
        m_line->strToProgram.append(bytes);
    }
    m_line->changed.notify_all();
    return true;
}

std::string CInProcessPeer::ReadFor(std::chrono::milliseconds duration) {
    std::unique_lock lock(m_line->lock);
    // Nothing ends the wait early: the whole duration is listened to.
    m_line->changed.wait_for(lock, duration, [] { return false; });
    return std::exchange(m_line->strFromProgram, {});
}

std::string CInProcessPeer::ReadUntil(std::size_t nCount, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_line->lock);
    m_line->changed.wait_for(lock, timeout, [&] { return m_line->strFromProgram.size() >= nCount; });
    std::string strTaken = m_line->strFromProgram.substr(0, nCount);
    m_line->strFromProgram.erase(0, strTaken.size());
    return strTaken;
}

void CInProcessPeer::HangUp() {
    {
        std::lock_guard lock(m_line->lock);
        m_line->bHungUp = true;
    }
    m_line->changed.notify_all();
}

bool CInProcessPeer::IsHungUp() const {
    std::lock_guard lock(m_line->lock);
    return m_line->bHungUp;
}

std::string CInProcessPeer::Written() const {
    std::lock_guard lock(m_line->lock);
    return m_line->strWritten;
}

bool CInProcessPeer::IsOpen() const {
    std::lock_guard lock(m_line->lock);
    return m_line->bOpen;
}

int CInProcessPeer::BaudRate() const {
    std::lock_guard lock(m_line->lock);
    return m_line->nBaudRate;
}
