#include "sim/PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace {

[[noreturn]] void ThrowErrno(const char* pWhat) {
    throw std::system_error(errno, std::generic_category(), pWhat);
}

// No echo, no line editing, no translation of carriage returns or line feeds in either direction, 8 bits.
void MakeRaw(termios& settings) {
    settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
    settings.c_cflag |= CS8;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
}

} // namespace

CPseudoTerminal::CPseudoTerminal() {
    m_nFd = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_nFd < 0)
        ThrowErrno("posix_openpt");
    try {
        if (grantpt(m_nFd) != 0)
            ThrowErrno("grantpt");
        if (unlockpt(m_nFd) != 0)
            ThrowErrno("unlockpt");
        const char* pName = ptsname(m_nFd);
        if (!pName)
            ThrowErrno("ptsname");
        m_strSlavePath = pName;
        termios settings{};
        if (tcgetattr(m_nFd, &settings) != 0)
            ThrowErrno("tcgetattr");
        MakeRaw(settings);
        if (tcsetattr(m_nFd, TCSANOW, &settings) != 0)
            ThrowErrno("tcsetattr");
        const int nFlags = fcntl(m_nFd, F_GETFL);
        if (nFlags < 0 || fcntl(m_nFd, F_SETFL, nFlags | O_NONBLOCK) != 0)
            ThrowErrno("fcntl");
        fcntl(m_nFd, F_SETFD, FD_CLOEXEC);
        // A master whose slave was never opened does not report a hang-up; one whose slave was opened and closed
        // does. Opened once here, the line reads as unheld until the program opens it, and nothing the device says
        // before then waits in the terminal for the program.
        const int hSlave = open(m_strSlavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (hSlave < 0)
            ThrowErrno("open slave");
        close(hSlave);
    } catch (...) {
        close(m_nFd);
        throw;
    }
}

CPseudoTerminal::~CPseudoTerminal() {
    if (m_nFd >= 0)
        close(m_nFd);
}

bool CPseudoTerminal::IsPeerPresent() const {
    pollfd entry{m_nFd, POLLIN, 0};
    if (poll(&entry, 1, 0) < 0)
        return true;
    return (entry.revents & POLLHUP) == 0;
}

long CPseudoTerminal::Read(char* pBuffer, std::size_t nSize) {
    const ssize_t nRead = read(m_nFd, pBuffer, nSize);
    if (nRead > 0)
        return static_cast<long>(nRead);
    if (nRead < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return 0;
    return -1;
}

long CPseudoTerminal::Write(const char* pBytes, std::size_t nSize) {
    const ssize_t nWritten = write(m_nFd, pBytes, nSize);
    if (nWritten >= 0)
        return static_cast<long>(nWritten);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return 0;
    return -1;
}

CSlaveHold::CSlaveHold(const std::string& strSlavePath)
    : m_hSlave(open(strSlavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}

CSlaveHold::~CSlaveHold() {
    if (m_hSlave >= 0)
        close(m_hSlave);
}
