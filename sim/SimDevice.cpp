#include "sim/SimDevice.h"

#include "sim/DeviceFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kSecondsPerHour = 3600.0;

// The unit's clock at device time 0: the computer's, --clock-offset away.
std::int64_t UnitClockMs(std::int64_t nComputerClockMs, double dOffsetSeconds) {
    return nComputerClockMs + static_cast<std::int64_t>(std::llround(dOffsetSeconds * 1000.0));
}

std::string Printable(const std::string& strText) {
    std::string strOut;
    for (unsigned char c : strText) {
        if (c >= 0x20 && c < 0x7f) {
            strOut += static_cast<char>(c);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
            strOut += buffer;
        }
    }
    return strOut;
}

} // namespace

CSimDevice::CSimDevice(const SSimOptions& options, std::int64_t nClockMs, CLineSender::Writer writer, Logger log)
    : m_options(options), m_nComputerClockMs(nClockMs), m_log(std::move(log)),
      m_model(UnitClockMs(nClockMs, options.dClockOffsetSeconds)),
      m_sender({options.nBaud, options.splitPause, options.bGarbage}, std::move(writer)) {
    m_model.FillMemory(options.nMemory);
    m_model.SelectProgram(options.nProgram);
}

void CSimDevice::Start(Clock::time_point now) {
    m_start = now;
    m_nextStatus = now;
}

double CSimDevice::Rate() const {
    return m_options.dSpeed * (1.0 + m_options.dClockDriftSecondsPerHour / kSecondsPerHour);
}

std::int64_t CSimDevice::DeviceTime(Clock::time_point now) const {
    if (m_options.bFrozen)
        return 0;
    const double dElapsedMs = std::chrono::duration<double, std::milli>(now - m_start).count();
    return static_cast<std::int64_t>(dElapsedMs * Rate());
}

CSimDevice::Clock::time_point CSimDevice::RealTime(std::int64_t nDeviceMs) const {
    if (m_options.bFrozen || nDeviceMs < 0)
        return Clock::time_point::max();
    const std::chrono::duration<double, std::milli> elapsed{static_cast<double>(nDeviceMs) / Rate()};
    // One millisecond late rather than early, so that the device time has surely reached the start.
    return m_start + std::chrono::ceil<std::chrono::milliseconds>(elapsed) + std::chrono::milliseconds{1};
}

void CSimDevice::Log(const std::string& strText) const {
    if (m_log)
        m_log(strText);
}

void CSimDevice::Send(const std::vector<std::string>& lines) {
    if (m_options.bSilent)
        return;
    for (const std::string& strLine : lines)
        m_sender.QueueLine(strLine);
}

void CSimDevice::AdvanceTo(Clock::time_point now) {
    const int nNextStart = m_model.NextStartNumber();
    Send(m_model.Advance(DeviceTime(now)));
    if (m_model.NextStartNumber() != nNextStart && !m_model.Memory().empty()) {
        const CDeviceModel::SStart& start = m_model.Memory().back();
        // The unit's clock at the start against the computer's at that moment: the start was as long before the
        // present device time as the unit's clock has run since, and device time passes 1 / Rate() as fast on the
        // computer's clock (a clock set since then counts from its setting, as it should).
        const std::int64_t nNowMs = DeviceTime(now);
        const std::int64_t nSinceMs = DeviceFormat::WrapDay(m_model.TimeOfDay() - start.nTimeOfDayMs);
        const auto kDayMs = static_cast<double>(DeviceFormat::kDayMs);
        const double dComputerMs =
            static_cast<double>(m_nComputerClockMs) + static_cast<double>(nNowMs - nSinceMs) / Rate();
        double dOffsetMs = std::fmod(static_cast<double>(start.nTimeOfDayMs) - dComputerMs, kDayMs);
        if (dOffsetMs > kDayMs / 2)
            dOffsetMs -= kDayMs;
        else if (dOffsetMs <= -kDayMs / 2)
            dOffsetMs += kDayMs;
        char szOffset[48];
        std::snprintf(szOffset, sizeof szOffset, ", clock offset %+.3f s", dOffsetMs / 1000.0);
        Log("start " + std::to_string(start.nNumber) + " at " + DeviceFormat::StartTimeText(start.nTimeOfDayMs) +
            (m_options.bFrozen ? std::string() : std::string(szOffset)));
    }
}

void CSimDevice::Execute(const std::string& strCommand, Clock::time_point now) {
    AdvanceTo(now);
    const bool bWasMonitoring = m_model.IsMonitoring();
    const std::vector<std::string> replies = m_model.HandleCommand(strCommand);
    Log("received \"" + Printable(strCommand) + "\", " + std::to_string(replies.size()) + " reply lines");
    if (!bWasMonitoring && m_model.IsMonitoring())
        m_nextStatus = now;
    Send(replies);
}

void CSimDevice::Receive(std::string_view bytes, Clock::time_point now) {
    for (const std::string& strCommand : m_framer.Feed(bytes))
        Execute(strCommand, now);
}

void CSimDevice::StreamStatus(Clock::time_point now, bool bLineHeld) {
    if (!m_model.IsMonitoring() || now < m_nextStatus)
        return;
    if (bLineHeld && m_sender.IsIdle() && !m_options.bSilent)
        m_sender.QueueLine(m_model.StatusLine());
    m_nextStatus = std::max(m_nextStatus + m_options.streamPeriod, now);
}

CSimDevice::Clock::time_point CSimDevice::NextEvent() const {
    if (!m_model.IsMonitoring())
        return Clock::time_point::max();
    return std::min(m_nextStatus, RealTime(m_model.NextStartAt()));
}
