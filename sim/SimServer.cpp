#include "sim/SimServer.h"

#include "sim/DeviceFormat.h"
#include "sim/PseudoTerminal.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <system_error>
#include <unistd.h>

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

void WriteAll(int nFd, const char* pBytes, std::size_t nSize) {
    while (nSize > 0) {
        const ssize_t nWritten = write(nFd, pBytes, nSize);
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten <= 0)
            return;
        pBytes += nWritten;
        nSize -= static_cast<std::size_t>(nWritten);
    }
}

} // namespace

CSimServer::CSimServer(const SSimOptions& options, std::int64_t nClockMs, CPseudoTerminal& terminal)
    : m_options(options), m_terminal(terminal), m_model(nClockMs),
      m_sender({options.nBaud, options.splitPause, options.bGarbage},
               [&terminal](const char* pBytes, std::size_t nSize) { return terminal.Write(pBytes, nSize); }) {
    m_model.FillMemory(options.nMemory);
    m_model.SelectProgram(options.nProgram);
    if (!options.strRecordFile.empty()) {
        m_nRecordFd = open(options.strRecordFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (m_nRecordFd < 0)
            throw std::system_error(errno, std::generic_category(), "cannot create " + options.strRecordFile);
    }
}

CSimServer::~CSimServer() {
    if (m_nRecordFd >= 0)
        close(m_nRecordFd);
}

std::int64_t CSimServer::DeviceTime(Clock::time_point now) const {
    if (m_options.bFrozen)
        return 0;
    const double dElapsedMs = std::chrono::duration<double, std::milli>(now - m_start).count();
    return static_cast<std::int64_t>(dElapsedMs * m_options.dSpeed);
}

CSimServer::Clock::time_point CSimServer::RealTime(std::int64_t nDeviceMs) const {
    if (m_options.bFrozen || nDeviceMs < 0)
        return Clock::time_point::max();
    const std::chrono::duration<double, std::milli> elapsed{static_cast<double>(nDeviceMs) / m_options.dSpeed};
    // One millisecond late rather than early, so that the device time has surely reached the start.
    return m_start + std::chrono::ceil<std::chrono::milliseconds>(elapsed) + std::chrono::milliseconds{1};
}

void CSimServer::Log(const std::string& strText) const {
    if (m_options.bVerbose)
        std::fprintf(stderr, "kalvora-sim: %s\n", strText.c_str());
}

void CSimServer::Send(const std::vector<std::string>& lines) {
    if (m_options.bSilent)
        return;
    for (const std::string& strLine : lines)
        m_sender.QueueLine(strLine);
}

void CSimServer::AdvanceTo(Clock::time_point now) {
    const int nNextStart = m_model.NextStartNumber();
    Send(m_model.Advance(DeviceTime(now)));
    if (m_model.NextStartNumber() != nNextStart && !m_model.Memory().empty()) {
        const CDeviceModel::SStart& start = m_model.Memory().back();
        Log("start " + std::to_string(start.nNumber) + " at " + DeviceFormat::StartTimeText(start.nTimeOfDayMs));
    }
}

void CSimServer::Execute(const std::string& strCommand, Clock::time_point now) {
    AdvanceTo(now);
    const bool bWasMonitoring = m_model.IsMonitoring();
    const std::vector<std::string> replies = m_model.HandleCommand(strCommand);
    Log("received \"" + Printable(strCommand) + "\", " + std::to_string(replies.size()) + " reply lines");
    if (!bWasMonitoring && m_model.IsMonitoring())
        m_nextStatus = now;
    Send(replies);
}

void CSimServer::ReceiveBytes(Clock::time_point now) {
    std::array<char, 256> buffer{};
    for (;;) {
        const long nRead = m_terminal.Read(buffer.data(), buffer.size());
        if (nRead <= 0)
            return;
        if (m_nRecordFd >= 0)
            WriteAll(m_nRecordFd, buffer.data(), static_cast<std::size_t>(nRead));
        for (const std::string& strCommand : m_framer.Feed({buffer.data(), static_cast<std::size_t>(nRead)}))
            Execute(strCommand, now);
    }
}

int CSimServer::Run(int nStopFd) {
    m_start = Clock::now();
    m_nextStatus = m_start;
    for (;;) {
        const Clock::time_point now = Clock::now();
        AdvanceTo(now);
        const bool bPeer = m_terminal.IsPeerPresent();
        if (!bPeer) {
            // What the program wrote before it let go of the line still counts; what the device says now is lost.
            ReceiveBytes(now);
            m_sender.Discard();
        }
        if (m_model.IsMonitoring() && now >= m_nextStatus) {
            // A status line waits while the line is still busy with earlier ones, so a slow line never falls behind.
            if (bPeer && m_sender.IsIdle() && !m_options.bSilent)
                m_sender.QueueLine(m_model.StatusLine());
            m_nextStatus = std::max(m_nextStatus + kStatusPeriod, now);
        }
        Clock::time_point wake = bPeer ? m_sender.Pump(now) : now + kPeerRecheck;
        wake = std::min(wake, now + kLongestSleep);
        if (m_model.IsMonitoring()) {
            wake = std::min(wake, m_nextStatus);
            wake = std::min(wake, RealTime(m_model.NextStartAt()));
        }

        std::array<pollfd, 2> fds{{{nStopFd, POLLIN, 0}, {-1, 0, 0}}};
        if (bPeer)
            fds[1] = {m_terminal.Fd(), static_cast<short>(POLLIN | (m_sender.IsBlocked() ? POLLOUT : 0)), 0};
        const auto timeout = std::chrono::ceil<std::chrono::milliseconds>(std::max(wake - now, Clock::duration{}));
        if (poll(fds.data(), fds.size(), static_cast<int>(timeout.count())) < 0 && errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "poll");
        if (fds[0].revents != 0)
            return 0;
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR))
            ReceiveBytes(Clock::now());
    }
}
