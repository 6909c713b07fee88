#include "sim/SimServer.h"

#include "sim/DeviceFormat.h"
#include "sim/PseudoTerminal.h"
#include "sim/SimCable.h"

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

CSimServer::CSimServer(const SSimOptions& options, std::int64_t nClockMs, CSimCable& cable)
    : m_options(options), m_cable(cable), m_model(nClockMs),
      m_sender({options.nBaud, options.splitPause, options.bGarbage}, [&cable](const char* pBytes, std::size_t nSize) {
          CPseudoTerminal* pTerminal = cable.Terminal();
          return pTerminal ? pTerminal->Write(pBytes, nSize) : -1L;
      }) {
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
        CPseudoTerminal* pTerminal = m_cable.Terminal();
        if (!pTerminal)
            return;
        const long nRead = pTerminal->Read(buffer.data(), buffer.size());
        if (nRead <= 0)
            return;
        if (m_nRecordFd >= 0)
            WriteAll(m_nRecordFd, buffer.data(), static_cast<std::size_t>(nRead));
        for (const std::string& strCommand : m_framer.Feed({buffer.data(), static_cast<std::size_t>(nRead)}))
            Execute(strCommand, now);
    }
}

void CSimServer::PullCable() {
    // What was on its way is lost with the line.
    m_sender.Discard();
    if (m_cable.Pull())
        Log("cable pulled");
}

void CSimServer::PlugInCable() {
    if (m_cable.PlugIn())
        Log("cable plugged in");
}

void CSimServer::FollowCableSchedule(Clock::time_point now) {
    if (now >= m_pullAt) {
        if (m_options.replugAfter)
            m_plugInAt = m_pullAt + *m_options.replugAfter;
        m_pullAt = Clock::time_point::max();
        PullCable();
    }
    if (now >= m_plugInAt) {
        m_plugInAt = Clock::time_point::max();
        PlugInCable();
    }
}

bool CSimServer::HandleRequests(int nRequestFd) {
    std::array<char, 64> requests{};
    for (;;) {
        const ssize_t nRead = read(nRequestFd, requests.data(), requests.size());
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        if (nRead <= 0)
            return false; // the pipe failed: nobody can stop the device any more
        for (ssize_t i = 0; i < nRead; ++i) {
            switch (static_cast<ESimRequest>(requests[static_cast<std::size_t>(i)])) {
            case ESimRequest::Stop:
                return false;
            case ESimRequest::PullCable:
                PullCable();
                break;
            case ESimRequest::PlugInCable:
                PlugInCable();
                break;
            }
        }
    }
}

int CSimServer::Run(int nRequestFd) {
    m_start = Clock::now();
    m_nextStatus = m_start;
    if (m_options.unplugAfter)
        m_pullAt = m_start + *m_options.unplugAfter;
    for (;;) {
        const Clock::time_point now = Clock::now();
        FollowCableSchedule(now);
        AdvanceTo(now);
        CPseudoTerminal* pTerminal = m_cable.Terminal();
        const bool bPeer = pTerminal && pTerminal->IsPeerPresent();
        if (!bPeer) {
            // What the program wrote before it let go of the line still counts; what the device says now is lost.
            ReceiveBytes(now);
            m_sender.Discard();
        }
        if (m_model.IsMonitoring() && now >= m_nextStatus) {
            // A status line waits while the line is still busy with earlier ones, so a slow line never falls behind.
            if (bPeer && m_sender.IsIdle() && !m_options.bSilent)
                m_sender.QueueLine(m_model.StatusLine());
            m_nextStatus = std::max(m_nextStatus + m_options.streamPeriod, now);
        }
        // With the cable out there is no line to look at: only the device's own time and the requests wake it.
        Clock::time_point wake = Clock::time_point::max();
        if (bPeer)
            wake = m_sender.Pump(now);
        else if (pTerminal)
            wake = now + kPeerRecheck;
        wake = std::min({wake, now + kLongestSleep, m_pullAt, m_plugInAt});
        if (m_model.IsMonitoring()) {
            wake = std::min(wake, m_nextStatus);
            wake = std::min(wake, RealTime(m_model.NextStartAt()));
        }

        std::array<pollfd, 2> fds{{{nRequestFd, POLLIN, 0}, {-1, 0, 0}}};
        if (bPeer)
            fds[1] = {pTerminal->Fd(), static_cast<short>(POLLIN | (m_sender.IsBlocked() ? POLLOUT : 0)), 0};
        const auto timeout = std::chrono::ceil<std::chrono::milliseconds>(std::max(wake - now, Clock::duration{}));
        if (poll(fds.data(), fds.size(), static_cast<int>(timeout.count())) < 0 && errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "poll");
        // The bytes that came before a request to pull the cable were on the line before it went.
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR))
            ReceiveBytes(Clock::now());
        if (fds[0].revents != 0 && !HandleRequests(nRequestFd))
            return 0;
    }
}
