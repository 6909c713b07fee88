#include "tests/support/FakePort.h"

#include <algorithm>
#include <cstring>

// What the link owns: a port that passes everything to the shared fake and counts itself while it lives.
class CFakePort::CHandle final : public CSerialPort {
public:
    explicit CHandle(std::shared_ptr<CFakePort> fake) : m_fake(std::move(fake)) {
        std::lock_guard lock(m_fake->m_lock);
        ++m_fake->m_nLivePorts;
    }
    ~CHandle() override {
        std::lock_guard lock(m_fake->m_lock);
        --m_fake->m_nLivePorts;
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;

    bool Open(const std::string& strDevice) override { return m_fake->Open(strDevice); }
    bool Configure(int nBaudRate) override { return m_fake->Configure(nBaudRate); }
    int Read(char* pBuffer, int nMax, std::chrono::milliseconds timeout) override {
        return m_fake->Read(pBuffer, nMax, timeout);
    }
    bool Write(std::string_view data, std::chrono::milliseconds timeout) override {
        return m_fake->Write(data, timeout);
    }
    void PurgeInput() override { m_fake->PurgeInput(); }
    bool HasVanished() const override { return m_fake->HasVanished(); }
    void Close() override { m_fake->Close(); }

private:
    std::shared_ptr<CFakePort> m_fake;
};

void CFakePort::Push(SStep step) {
    std::lock_guard lock(m_lock);
    m_script.push_back(std::move(step));
    m_changed.notify_all();
}

void CFakePort::PushBytes(std::string strBytes) {
    Push({SStep::EKind::kBytes, std::move(strBytes)});
}
void CFakePort::PushSilence() {
    Push({SStep::EKind::kSilence, {}});
}
void CFakePort::PushFailure() {
    Push({SStep::EKind::kFailure, {}});
}
void CFakePort::PushStall(std::chrono::milliseconds duration) {
    Push({SStep::EKind::kStall, {}, duration});
}

void CFakePort::SetVanished(bool bVanished) {
    std::lock_guard lock(m_lock);
    m_bVanished = bVanished;
    m_changed.notify_all();
}

bool CFakePort::HasVanished() const {
    std::lock_guard lock(m_lock);
    return m_bVanished;
}

void CFakePort::SetOpenFails(bool bFails) {
    std::lock_guard lock(m_lock);
    m_bOpenFails = bFails;
}

void CFakePort::SetWriteTimesOut(bool bTimesOut) {
    std::lock_guard lock(m_lock);
    m_bWriteTimesOut = bTimesOut;
}

bool CFakePort::WaitScriptDone(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, timeout, [this] { return m_script.empty() && !m_bReading; });
}

std::string CFakePort::Written() const {
    std::lock_guard lock(m_lock);
    return m_strWritten;
}

int CFakePort::Reads() const {
    std::lock_guard lock(m_lock);
    return m_nReads;
}

int CFakePort::OpenAttempts() const {
    std::lock_guard lock(m_lock);
    return m_nOpenAttempts;
}

int CFakePort::Opens() const {
    std::lock_guard lock(m_lock);
    return m_nOpens;
}

int CFakePort::Closes() const {
    std::lock_guard lock(m_lock);
    return m_nCloses;
}

int CFakePort::Purges() const {
    std::lock_guard lock(m_lock);
    return m_nPurges;
}

int CFakePort::BaudRate() const {
    std::lock_guard lock(m_lock);
    return m_nBaudRate;
}

std::string CFakePort::Device() const {
    std::lock_guard lock(m_lock);
    return m_strDevice;
}

bool CFakePort::IsOpen() const {
    std::lock_guard lock(m_lock);
    return m_bOpen;
}

bool CFakePort::Misused() const {
    std::lock_guard lock(m_lock);
    return m_bMisused;
}

std::set<std::thread::id> CFakePort::Readers() const {
    std::lock_guard lock(m_lock);
    return m_readers;
}

void CFakePort::ForgetReaders() {
    std::lock_guard lock(m_lock);
    m_readers.clear();
}

int CFakePort::LivePorts() const {
    std::lock_guard lock(m_lock);
    return m_nLivePorts;
}

CSerialLink::PortFactory CFakePort::Factory() {
    std::weak_ptr<CFakePort> weak = weak_from_this();
    return [weak]() -> std::unique_ptr<CSerialPort> {
        if (auto fake = weak.lock())
            return std::make_unique<CHandle>(std::move(fake));
        return nullptr;
    };
}

bool CFakePort::Open(const std::string& strDevice) {
    std::lock_guard lock(m_lock);
    ++m_nOpenAttempts;
    if (m_bOpenFails)
        return false;
    if (m_bOpen)
        m_bMisused = true; // the earlier opening was never closed
    m_bOpen = true;
    ++m_nOpens;
    m_strDevice = strDevice;
    return true;
}

bool CFakePort::Configure(int nBaudRate) {
    std::lock_guard lock(m_lock);
    m_nBaudRate = nBaudRate;
    return true;
}

int CFakePort::Read(char* pBuffer, int nMax, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_lock);
    ++m_nReads;
    m_readers.insert(std::this_thread::get_id());
    if (!m_bOpen) {
        m_bMisused = true;
        return -1;
    }
    if (m_bVanished)
        return -1;
    // With nothing scripted the device is silent: wait for a step for up to one read time-out.
    const bool bWoken = m_changed.wait_for(lock, timeout, [this] { return !m_script.empty() || m_bVanished; });
    if (!m_bOpen)
        m_bMisused = true; // closed while this read was still waiting
    if (!bWoken)
        return 0;
    if (m_bVanished)
        return -1;

    SStep& step = m_script.front();
    int nResult = 0;
    m_bReading = true;
    switch (step.eKind) {
    case SStep::EKind::kBytes: {
        nResult = static_cast<int>(std::min<std::size_t>(step.strBytes.size(), static_cast<std::size_t>(nMax)));
        std::memcpy(pBuffer, step.strBytes.data(), static_cast<std::size_t>(nResult));
        step.strBytes.erase(0, static_cast<std::size_t>(nResult));
        if (step.strBytes.empty())
            m_script.pop_front();
        break;
    }
    case SStep::EKind::kSilence:
        m_script.pop_front();
        lock.unlock();
        std::this_thread::sleep_for(timeout);
        lock.lock();
        break;
    case SStep::EKind::kFailure:
        m_script.pop_front();
        nResult = -1;
        break;
    case SStep::EKind::kStall: {
        const auto duration = step.duration;
        m_script.pop_front();
        lock.unlock();
        std::this_thread::sleep_for(duration);
        lock.lock();
        break;
    }
    }
    if (!m_bOpen)
        m_bMisused = true; // closed while this read was still going on
    m_bReading = false;
    m_changed.notify_all();
    return nResult;
}

bool CFakePort::Write(std::string_view data, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_lock);
    if (!m_bOpen) {
        m_bMisused = true;
        return false;
    }
    if (m_bWriteTimesOut) {
        lock.unlock();
        std::this_thread::sleep_for(timeout);
        return false;
    }
    m_strWritten.append(data);
    return true;
}

void CFakePort::PurgeInput() {
    std::lock_guard lock(m_lock);
    ++m_nPurges;
    // Whatever is scripted counts as already received.
    m_script.clear();
    m_changed.notify_all();
}

void CFakePort::Close() {
    std::lock_guard lock(m_lock);
    if (m_bOpen)
        ++m_nCloses;
    m_bOpen = false;
}
