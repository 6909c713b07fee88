#include "sim/SimServer.h"

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
    : m_options(options), m_cable(cable), m_device(
                                              options, nClockMs,
                                              [&cable](const char* pBytes, std::size_t nSize) {
                                                  CPseudoTerminal* pTerminal = cable.Terminal();
                                                  return pTerminal ? pTerminal->Write(pBytes, nSize) : -1L;
                                              },
                                              [this](const std::string& strText) { Log(strText); }) {
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

void CSimServer::Log(const std::string& strText) const {
    if (m_options.bVerbose)
        std::fprintf(stderr, "kalvora-sim: %s\n", strText.c_str());
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
        m_device.Receive({buffer.data(), static_cast<std::size_t>(nRead)}, now);
    }
}

void CSimServer::PullCable() {
    // What was on its way is lost with the line.
    m_device.Discard();
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
    const Clock::time_point start = Clock::now();
    m_device.Start(start);
    if (m_options.unplugAfter)
        m_pullAt = start + *m_options.unplugAfter;
    for (;;) {
        const Clock::time_point now = Clock::now();
        FollowCableSchedule(now);
        m_device.AdvanceTo(now);
        CPseudoTerminal* pTerminal = m_cable.Terminal();
        const bool bPeer = pTerminal && pTerminal->IsPeerPresent();
        if (!bPeer) {
            // What the program wrote before it let go of the line still counts; what the device says now is lost.
            ReceiveBytes(now);
            m_device.Discard();
        }
        m_device.StreamStatus(now, bPeer);
        // With the cable out there is no line to look at: only the device's own time and the requests wake it.
        Clock::time_point wake = Clock::time_point::max();
        if (bPeer)
            wake = m_device.Pump(now);
        else if (pTerminal)
            wake = now + kPeerRecheck;
        wake = std::min({wake, now + kLongestSleep, m_pullAt, m_plugInAt, m_device.NextEvent()});

        std::array<pollfd, 2> fds{{{nRequestFd, POLLIN, 0}, {-1, 0, 0}}};
        if (bPeer)
            fds[1] = {pTerminal->Fd(), static_cast<short>(POLLIN | (m_device.IsBlocked() ? POLLOUT : 0)), 0};
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
