#include "sim/SimDevice.h"

#include "sim/DeviceFormat.h"

#include <algorithm>
#include <cstdio>

namespace {

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
    : m_options(options), m_log(std::move(log)), m_model(nClockMs),
      m_sender({options.nBaud, options.splitPause, options.bGarbage}, std::move(writer)) {
    m_model.FillMemory(options.nMemory);
    m_model.SelectProgram(options.nProgram);
}

void CSimDevice::Start(Clock::time_point now) {
    m_start = now;
    m_nextStatus = now;
}

std::int64_t CSimDevice::DeviceTime(Clock::time_point now) const {
    if (m_options.bFrozen)
        return 0;
    const double dElapsedMs = std::chrono::duration<double, std::milli>(now - m_start).count();
    return static_cast<std::int64_t>(dElapsedMs * m_options.dSpeed);
}

CSimDevice::Clock::time_point CSimDevice::RealTime(std::int64_t nDeviceMs) const {
    if (m_options.bFrozen || nDeviceMs < 0)
        return Clock::time_point::max();
    const std::chrono::duration<double, std::milli> elapsed{static_cast<double>(nDeviceMs) / m_options.dSpeed};
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
        Log("start " + std::to_string(start.nNumber) + " at " + DeviceFormat::StartTimeText(start.nTimeOfDayMs));
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
