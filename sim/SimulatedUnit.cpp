#include "sim/SimulatedUnit.h"

#include <algorithm>
#include <cstring>

CSimulatedUnit::CSimulatedUnit(const SSimOptions& options, std::int64_t nClockMs)
    : m_device(options, nClockMs, [this](const char* pBytes, std::size_t nSize) { return TakeSent(pBytes, nSize); }) {
    m_device.Start(Clock::now());
}

long CSimulatedUnit::TakeSent(const char* pBytes, std::size_t nSize) {
    // Called by the transmitter inside RunTo, with m_lock held.
    const std::size_t nTaken = std::min(nSize, kLineCapacity - std::min(kLineCapacity, m_strSent.size()));
    m_strSent.append(pBytes, nTaken);
    return static_cast<long>(nTaken);
}

CSimulatedUnit::Clock::time_point CSimulatedUnit::RunTo(Clock::time_point now) {
    m_device.AdvanceTo(now);
    m_device.StreamStatus(now, m_bLineHeld);
    if (!m_bLineHeld) {
        m_device.Discard();
        return Clock::time_point::max();
    }
    return std::min(m_device.Pump(now), m_device.NextEvent());
}

bool CSimulatedUnit::TakeLine() {
    std::lock_guard lock(m_lock);
    if (m_bLineHeld)
        return false;
    // What the unit said to nobody up to now stays unheard.
    RunTo(Clock::now());
    m_strSent.clear();
    m_bLineHeld = true;
    return true;
}

void CSimulatedUnit::ReleaseLine() {
    {
        std::lock_guard lock(m_lock);
        m_bLineHeld = false;
        m_strSent.clear();
        m_device.Discard();
    }
    m_changed.notify_all();
}

void CSimulatedUnit::Receive(std::string_view bytes) {
    {
        std::lock_guard lock(m_lock);
        const Clock::time_point now = Clock::now();
        m_device.Receive(bytes, now);
        RunTo(now);
    }
    m_changed.notify_all();
}

bool CSimulatedUnit::WaitForBytes(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        const Clock::time_point now = Clock::now();
        const Clock::time_point wake = RunTo(now);
        if (!m_strSent.empty())
            return true;
        if (now >= deadline)
            return false;
        m_changed.wait_until(lock, std::min(wake, deadline));
    }
}

int CSimulatedUnit::Read(char* pBuffer, int nMax, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_lock);
    if (nMax <= 0 || !WaitForBytes(lock, timeout))
        return 0;
    const std::size_t nRead = std::min(m_strSent.size(), static_cast<std::size_t>(nMax));
    std::memcpy(pBuffer, m_strSent.data(), nRead);
    m_strSent.erase(0, nRead);
    return static_cast<int>(nRead);
}

bool CSimulatedUnit::WaitForInput(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_lock);
    return WaitForBytes(lock, timeout);
}

void CSimulatedUnit::PurgeInput() {
    std::lock_guard lock(m_lock);
    m_strSent.clear();
}
