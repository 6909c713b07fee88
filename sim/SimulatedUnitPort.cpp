#include "sim/SimulatedUnitPort.h"

CSimulatedUnitPort::CSimulatedUnitPort(std::shared_ptr<CSimulatedUnit> unit) : m_unit(std::move(unit)) {}

CSimulatedUnitPort::~CSimulatedUnitPort() {
    Close();
}

bool CSimulatedUnitPort::Open(const std::string& /*strDevice*/) {
    if (m_bOpen)
        return true;
    if (!m_unit->TakeLine()) {
        m_strOpenError = "in use (the simulated unit's line is held by another port)";
        return false;
    }
    m_bOpen = true;
    m_strOpenError.clear();
    return true;
}

bool CSimulatedUnitPort::Configure(int /*nBaudRate*/) {
    return m_bOpen;
}

int CSimulatedUnitPort::Read(char* pBuffer, int nMax, std::chrono::milliseconds timeout) {
    return m_bOpen ? m_unit->Read(pBuffer, nMax, timeout) : -1;
}

bool CSimulatedUnitPort::WaitForInput(std::chrono::milliseconds timeout) {
    return !m_bOpen || m_unit->WaitForInput(timeout);
}

bool CSimulatedUnitPort::Write(std::string_view data, std::chrono::milliseconds /*timeout*/) {
    if (!m_bOpen)
        return false;
    m_unit->Receive(data);
    return true;
}

void CSimulatedUnitPort::PurgeInput() {
    if (m_bOpen)
        m_unit->PurgeInput();
}

void CSimulatedUnitPort::Close() {
    if (!m_bOpen)
        return;
    m_bOpen = false;
    m_unit->ReleaseLine();
}

SerialPortFactory SimulatedUnitPortFactory(std::shared_ptr<CSimulatedUnit> unit) {
    return [unit = std::move(unit)] {
        return std::make_unique<CSimulatedUnitPort>(unit);
    };
}
