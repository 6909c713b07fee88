#include "tests/support/DeviceSimulator.h"

#include "tests/support/SimProcess.h"

#include <csignal>

struct CDeviceSimulator::Impl {
    Impl(const std::string& strDirectory, std::vector<std::string> args) : m_sim(strDirectory, std::move(args)) {}
    CSimProcess m_sim;
};

CDeviceSimulator::CDeviceSimulator(const std::string& strDirectory, std::vector<std::string> args)
    : m_pImpl(std::make_unique<Impl>(strDirectory, std::move(args))) {}

CDeviceSimulator::~CDeviceSimulator() = default;

int CDeviceSimulator::Port() const {
    return m_pImpl->m_sim.Port();
}

void CDeviceSimulator::PullCable() {
    m_pImpl->m_sim.Signal(SIGUSR1);
}

void CDeviceSimulator::PlugCable() {
    m_pImpl->m_sim.Signal(SIGUSR2);
}
