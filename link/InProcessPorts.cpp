#include "link/InProcessPorts.h"

#include <atomic>
#include <map>
#include <mutex>
#include <stdexcept>

struct CInProcessPortRegistration::SEntry {
    std::string strDescription;
    SerialPortFactory factory;
    std::atomic<bool> bServed{true}; // false once the registration has gone
    bool bOpen = false;              // a port of it is open; guarded by the registry's lock
};

namespace {

using SEntry = CInProcessPortRegistration::SEntry;

constexpr const char* kNotServed = "not served in this process";
constexpr const char* kInUse = "in use (already open in this program)";

// The registrations of the process by COM number. Made on first use, so that it outlives every registration
// object, static ones included.
struct SRegistry {
    std::mutex lock;
    std::map<int, std::shared_ptr<SEntry>> entries;
};

SRegistry& Registry() {
    static SRegistry registry;
    return registry;
}

std::shared_ptr<SEntry> FindEntry(int nPort) {
    SRegistry& registry = Registry();
    std::lock_guard lock(registry.lock);
    const auto entry = registry.entries.find(nPort);
    return entry != registry.entries.end() ? entry->second : nullptr;
}

// What the link holds: the registered device's port behind the rules of a COM port (one opening at a time, gone
// with its registration).
class CRegisteredPort final : public CSerialPort {
public:
    explicit CRegisteredPort(int nPort) : m_nPort(nPort) {}
    ~CRegisteredPort() override { Close(); }
    CRegisteredPort(const CRegisteredPort&) = delete;
    CRegisteredPort& operator=(const CRegisteredPort&) = delete;

    bool Open(const std::string& strDevice) override {
        Close();
        std::shared_ptr<SEntry> entry;
        {
            SRegistry& registry = Registry();
            std::lock_guard lock(registry.lock);
            const auto found = registry.entries.find(m_nPort);
            if (found == registry.entries.end()) {
                m_strOpenError = kNotServed;
                return false;
            }
            entry = found->second;
            if (entry->bOpen) {
                m_strOpenError = kInUse;
                return false;
            }
            // Claimed before the device's port is made, so that two links opening at once cannot both have it.
            entry->bOpen = true;
        }
        std::unique_ptr<CSerialPort> port = entry->factory ? entry->factory() : nullptr;
        if (!port || !port->Open(strDevice)) {
            m_strOpenError = port ? port->OpenError() : std::string(kNotServed);
            Release(*entry);
            return false;
        }
        m_entry = std::move(entry);
        m_port = std::move(port);
        m_bVanished = false;
        m_strOpenError.clear();
        return true;
    }
    std::string OpenError() const override { return m_strOpenError; }
    bool Configure(int nBaudRate) override { return m_port && m_port->Configure(nBaudRate); }
    int Read(char* pBuffer, int nMax, std::chrono::milliseconds timeout) override {
        if (!m_port)
            return -1;
        if (!IsServed()) {
            m_bVanished = true;
            return -1;
        }
        return m_port->Read(pBuffer, nMax, timeout);
    }
    bool WaitForInput(std::chrono::milliseconds timeout) override {
        // A device that has gone answers at once: the read that follows fails.
        return !m_port || !IsServed() || m_port->WaitForInput(timeout);
    }
    bool HasVanished() const override { return m_bVanished || (m_port && m_port->HasVanished()); }
    bool Write(std::string_view data, std::chrono::milliseconds timeout) override {
        return m_port && IsServed() && m_port->Write(data, timeout);
    }
    void PurgeInput() override {
        if (m_port)
            m_port->PurgeInput();
    }
    void Close() override {
        if (!m_port)
            return;
        m_port->Close();
        m_port.reset();
        Release(*m_entry);
        m_entry.reset();
    }

private:
    bool IsServed() const { return m_entry && m_entry->bServed; }
    static void Release(SEntry& entry) {
        std::lock_guard lock(Registry().lock);
        entry.bOpen = false;
    }

    int m_nPort;
    std::shared_ptr<SEntry> m_entry;     // while open
    std::unique_ptr<CSerialPort> m_port; // the device's own port, while open
    std::atomic<bool> m_bVanished{false};
    std::string m_strOpenError;
};

} // namespace

CInProcessPortRegistration::CInProcessPortRegistration(int nPort, std::string strDescription, SerialPortFactory factory)
    : m_nPort(nPort), m_entry(std::make_shared<SEntry>()) {
    m_entry->strDescription = std::move(strDescription);
    m_entry->factory = std::move(factory);
    SRegistry& registry = Registry();
    std::lock_guard lock(registry.lock);
    if (!registry.entries.emplace(nPort, m_entry).second)
        throw std::logic_error("COM " + std::to_string(nPort) + " is served in this process already");
}

CInProcessPortRegistration::~CInProcessPortRegistration() {
    SRegistry& registry = Registry();
    std::lock_guard lock(registry.lock);
    m_entry->bServed = false;
    if (const auto entry = registry.entries.find(m_nPort); entry != registry.entries.end() && entry->second == m_entry)
        registry.entries.erase(entry);
}

bool IsInProcessPort(int nPort) {
    return FindEntry(nPort) != nullptr;
}

std::optional<std::string> InProcessPortDescription(int nPort) {
    if (const std::shared_ptr<SEntry> entry = FindEntry(nPort))
        return entry->strDescription;
    return std::nullopt;
}

std::string InProcessPortDevice(int nPort) {
    return "COM" + std::to_string(nPort) + " (served in this process)";
}

std::unique_ptr<CSerialPort> CreateInProcessPort(int nPort) {
    return std::make_unique<CRegisteredPort>(nPort);
}
