#pragma once

#include "link/SerialPort.h"
#include "sim/SimulatedUnit.h"

#include <memory>
#include <string>

// The one bridge between the program's serial link and the simulator's device: a serial port whose far end is a
// simulated unit in this process. What the link writes goes to the unit as received bytes; what the unit sends
// (replies, the "D?" stream, start lines) is what the link reads, under the port's read rules: at once when bytes
// wait, otherwise after the first byte or the read time-out. The unit keeps its own time, so the countdown runs on
// between openings and a closed port misses what the unit says meanwhile. Registered as a COM number
// (link/InProcessPorts.h), it is how a training session, or a test, talks to a simulated unit where no
// pseudo-terminal exists.
class CSimulatedUnitPort final : public CSerialPort {
public:
    explicit CSimulatedUnitPort(std::shared_ptr<CSimulatedUnit> unit);
    ~CSimulatedUnitPort() override;
    CSimulatedUnitPort(const CSimulatedUnitPort&) = delete;
    CSimulatedUnitPort& operator=(const CSimulatedUnitPort&) = delete;

    // Takes the unit's line; fails while another port holds it. The device name is not looked at.
    bool Open(const std::string& strDevice) override;
    std::string OpenError() const override { return m_strOpenError; }
    // The unit understands every rate.
    bool Configure(int nBaudRate) override;
    int Read(char* pBuffer, int nMax, std::chrono::milliseconds timeout) override;
    bool WaitForInput(std::chrono::milliseconds timeout) override;
    bool Write(std::string_view data, std::chrono::milliseconds timeout) override;
    void PurgeInput() override;
    void Close() override;

private:
    std::shared_ptr<CSimulatedUnit> m_unit;
    bool m_bOpen = false;
    std::string m_strOpenError;
};

// How the simulated unit is named in the COM port list ("COM 7 - simulated unit").
inline constexpr const char* kSimulatedUnitDescription = "simulated unit";

// Makes ports on unit, one for each opening, for an in-process registration:
//     CInProcessPortRegistration com7(7, kSimulatedUnitDescription, SimulatedUnitPortFactory(unit));
SerialPortFactory SimulatedUnitPortFactory(std::shared_ptr<CSimulatedUnit> unit);
