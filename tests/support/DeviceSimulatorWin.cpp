#include "tests/support/DeviceSimulator.h"

#include "base/Files.h"
#include "base/WallClock.h"
#include "link/InProcessPorts.h"
#include "sim/SimOptions.h"
#include "sim/SimulatedUnitPort.h"

#include <mutex>
#include <optional>
#include <stdexcept>

// Windows has no pseudo-terminals: the simulator's device runs in the test's own process, served as COM <n>. A pulled
// cable is the number no longer served (the open port turns into a vanished device); plugging it in serves it anew,
// and the link opens it again by itself. --record keeps every byte the program wrote in the file, as kalvora-sim
// does.

namespace {

// What the program wrote, appended to the record file as kalvora-sim writes it.
class CRecorder {
public:
    explicit CRecorder(std::string strPath) : m_strPath(std::move(strPath)) { WriteFileReplacing(m_strPath, ""); }
    void Append(std::string_view bytes) {
        std::lock_guard lock(m_lock);
        m_strBytes += bytes;
        WriteFileReplacing(m_strPath, m_strBytes);
    }

private:
    std::mutex m_lock;
    std::string m_strPath;
    std::string m_strBytes;
};

// The unit's port with its writes recorded.
class CRecordedPort final : public CSerialPort {
public:
    CRecordedPort(std::unique_ptr<CSerialPort> port, std::shared_ptr<CRecorder> recorder)
        : m_port(std::move(port)), m_recorder(std::move(recorder)) {}
    bool Open(const std::string& strDevice) override { return m_port->Open(strDevice); }
    std::string OpenError() const override { return m_port->OpenError(); }
    bool Configure(int nBaudRate) override { return m_port->Configure(nBaudRate); }
    int Read(char* pBuffer, int nMax, std::chrono::milliseconds timeout) override {
        return m_port->Read(pBuffer, nMax, timeout);
    }
    bool WaitForInput(std::chrono::milliseconds timeout) override { return m_port->WaitForInput(timeout); }
    bool HasVanished() const override { return m_port->HasVanished(); }
    bool Write(std::string_view data, std::chrono::milliseconds timeout) override {
        const bool bWritten = m_port->Write(data, timeout);
        if (bWritten)
            m_recorder->Append(data);
        return bWritten;
    }
    void PurgeInput() override { m_port->PurgeInput(); }
    void Close() override { m_port->Close(); }

private:
    std::unique_ptr<CSerialPort> m_port;
    std::shared_ptr<CRecorder> m_recorder;
};

SSimOptions ParseOrThrow(const std::vector<std::string>& args) {
    std::string strError;
    const std::optional<SSimOptions> options = ParseSimOptions(args, strError);
    if (!options)
        throw std::runtime_error("simulator options: " + strError);
    return *options;
}

} // namespace

struct CDeviceSimulator::Impl {
    explicit Impl(const std::vector<std::string>& args)
        : m_options(ParseOrThrow(args)),
          m_unit(std::make_shared<CSimulatedUnit>(m_options, m_options.clockMs.value_or(MillisecondsOfDay(
                                                                 LocalTimeOf(std::chrono::system_clock::now()))))) {
        if (!m_options.strRecordFile.empty())
            m_recorder = std::make_shared<CRecorder>(m_options.strRecordFile);
        Serve();
    }

    void Serve() {
        SerialPortFactory factory = SimulatedUnitPortFactory(m_unit);
        if (m_recorder) {
            factory = [factory, recorder = m_recorder]() -> std::unique_ptr<CSerialPort> {
                return std::make_unique<CRecordedPort>(factory(), recorder);
            };
        }
        m_registration.emplace(m_options.nPort, kSimulatedUnitDescription, std::move(factory));
    }

    SSimOptions m_options;
    std::shared_ptr<CSimulatedUnit> m_unit;
    std::shared_ptr<CRecorder> m_recorder;
    std::optional<CInProcessPortRegistration> m_registration;
};

CDeviceSimulator::CDeviceSimulator(const std::string& /*strDirectory*/, std::vector<std::string> args)
    : m_pImpl(std::make_unique<Impl>(args)) {}

CDeviceSimulator::~CDeviceSimulator() = default;

int CDeviceSimulator::Port() const {
    return m_pImpl->m_options.nPort;
}

void CDeviceSimulator::PullCable() {
    m_pImpl->m_registration.reset();
}

void CDeviceSimulator::PlugCable() {
    if (!m_pImpl->m_registration)
        m_pImpl->Serve();
}
