#include "tests/support/PtyPeer.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <system_error>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void MakeRaw(int hTerminal) {
    termios settings{};
    if (::tcgetattr(hTerminal, &settings) != 0)
        return;
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(hTerminal, TCSANOW, &settings);
}

} // namespace

CPtyPeer::CPtyPeer() {
    m_hMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_hMaster < 0)
        throw std::runtime_error("no pseudo-terminal");
    std::array<char, 128> name{};
    if (::grantpt(m_hMaster) != 0 || ::unlockpt(m_hMaster) != 0 ||
        ::ptsname_r(m_hMaster, name.data(), name.size()) != 0) {
        ::close(m_hMaster);
        throw std::runtime_error("cannot set up the pseudo-terminal");
    }
    m_strSlavePath = name.data();
    m_hSlave = ::open(m_strSlavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_hSlave < 0) {
        ::close(m_hMaster);
        throw std::runtime_error("cannot open " + m_strSlavePath);
    }
    // Raw before the program opens its end, so that nothing is echoed or translated in between.
    MakeRaw(m_hSlave);
    MakeRaw(m_hMaster);
    ::fcntl(m_hMaster, F_SETFL, ::fcntl(m_hMaster, F_GETFL) | O_NONBLOCK);
}

CPtyPeer::~CPtyPeer() {
    HangUp();
    if (!m_strLinkPath.empty()) {
        std::error_code error;
        std::filesystem::remove(m_strLinkPath, error);
    }
}

std::string CPtyPeer::LinkAsPort(const std::string& strDirectory, int nPort) {
    const std::filesystem::path ports = std::filesystem::path(strDirectory) / "ports";
    std::filesystem::create_directories(ports);
    const std::filesystem::path link = ports / ("COM" + std::to_string(nPort));
    std::error_code error;
    std::filesystem::remove(link, error);
    std::filesystem::create_symlink(m_strSlavePath, link);
    m_strLinkPath = link.string();
    return m_strLinkPath;
}

bool CPtyPeer::Write(std::string_view bytes) {
    const auto deadline = Clock::now() + kWriteTimeout;
    while (!bytes.empty()) {
        if (m_hMaster < 0)
            return false;
        const ssize_t nWritten = ::write(m_hMaster, bytes.data(), bytes.size());
        if (nWritten > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(nWritten));
            continue;
        }
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        pollfd wait{m_hMaster, POLLOUT, 0};
        const int nReady = ::poll(&wait, 1, MillisecondsUntil(deadline));
        if (nReady == 0)
            return false;
        if (nReady < 0 && errno != EINTR)
            return false;
    }
    return true;
}

void CPtyPeer::Receive(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    if (m_hMaster < 0) {
        std::this_thread::sleep_until(deadline);
        return;
    }
    for (;;) {
        pollfd wait{m_hMaster, POLLIN, 0};
        const int nReady = ::poll(&wait, 1, MillisecondsUntil(deadline));
        if (nReady < 0 && errno == EINTR)
            continue;
        if (nReady <= 0)
            return;
        bool bGot = false;
        std::array<char, 4096> buffer{};
        for (;;) {
            const ssize_t nRead = ::read(m_hMaster, buffer.data(), buffer.size());
            if (nRead > 0) {
                m_strPending.append(buffer.data(), static_cast<std::size_t>(nRead));
                bGot = true;
                continue;
            }
            if (nRead < 0 && errno == EINTR)
                continue;
            break; // EAGAIN: all read; EIO: the program's end is closed, which is no data
        }
        if (bGot || Clock::now() >= deadline)
            return;
        // Woken without data (a closed program end): do not spin on it.
        std::this_thread::sleep_for(std::chrono::milliseconds{1});
    }
}

std::string CPtyPeer::TakePending(std::size_t nCount) {
    std::string strTaken = m_strPending.substr(0, nCount);
    m_strPending.erase(0, strTaken.size());
    return strTaken;
}

std::string CPtyPeer::ReadFor(std::chrono::milliseconds duration) {
    const auto deadline = Clock::now() + duration;
    while (Clock::now() < deadline)
        Receive(std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()));
    return TakePending(m_strPending.size());
}

std::string CPtyPeer::ReadUntil(std::size_t nCount, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (m_strPending.size() < nCount && Clock::now() < deadline)
        Receive(std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()));
    return TakePending(nCount);
}

void CPtyPeer::HangUp() {
    if (m_hSlave >= 0)
        ::close(m_hSlave);
    if (m_hMaster >= 0)
        ::close(m_hMaster);
    m_hSlave = -1;
    m_hMaster = -1;
}
