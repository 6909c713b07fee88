#include "link/PosixPort.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// The baud rates the COM Port Settings offer; any other value leaves the line's speed as it is.
speed_t SpeedFor(int nBaudRate) {
    switch (nBaudRate) {
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    default:
        return B0;
    }
}

// Milliseconds left until deadline for poll, rounded up so that a fraction of a millisecond is not a busy loop.
int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits for events on fd until deadline: 1 when they came, 0 at the deadline, -1 on a poll error.
int WaitFor(int hPort, short nEvents, Clock::time_point deadline, short& nRevents) {
    for (;;) {
        pollfd wait{hPort, nEvents, 0};
        const int nReady = ::poll(&wait, 1, MillisecondsUntil(deadline));
        if (nReady < 0 && errno == EINTR)
            continue;
        nRevents = wait.revents;
        return nReady > 0 ? 1 : nReady;
    }
}

} // namespace

CPosixPort::~CPosixPort() {
    Close();
}

std::string CPosixPort::DescribeOpenError(int nError) {
    switch (nError) {
    case 0:
        return "not a serial line";
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return "no such device (unplugged?)";
    case EACCES:
    case EPERM:
        return "permission denied: add yourself to the dialout group and log in again";
    case EBUSY:
    case EWOULDBLOCK:
        return "in use by another program";
    case EIO:
        return "the device does not answer (input/output error)";
    default:
        return std::strerror(nError);
    }
}

bool CPosixPort::Open(const std::string& strDevice) {
    Close();
    const int hPort = ::open(strDevice.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (hPort < 0) {
        m_strOpenError = DescribeOpenError(errno);
        return false;
    }
    // A serial line only: a plain file would read as an endless end of file. The lock keeps out every other
    // user, root included; the terminal's exclusive mode keeps out other programs that do not lock.
    constexpr int kNoError = -1;
    int nError = kNoError;
    if (!::isatty(hPort))
        nError = 0;
    else if (::flock(hPort, LOCK_EX | LOCK_NB) != 0 || ::ioctl(hPort, TIOCEXCL) != 0)
        nError = errno;
    if (nError != kNoError) {
        ::close(hPort);
        m_strOpenError = DescribeOpenError(nError);
        return false;
    }
    m_strOpenError.clear();
    m_bVanished = false;
    m_hPort = hPort;
    return true;
}

bool CPosixPort::Configure(int nBaudRate) {
    termios settings{};
    if (m_hPort < 0 || ::tcgetattr(m_hPort, &settings) != 0)
        return false;
    ::cfmakeraw(&settings); // 8 data bits, no parity, no echo, no translation of carriage returns
    settings.c_cflag &= ~(CSTOPB | CRTSCTS);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (const speed_t speed = SpeedFor(nBaudRate); speed != B0) {
        ::cfsetispeed(&settings, speed);
        ::cfsetospeed(&settings, speed);
    }
    bool bConfigured = ::tcsetattr(m_hPort, TCSANOW, &settings) == 0;
    // The device must not see DTR or RTS asserted. Pseudo-terminals have no modem lines and say so.
    int nLines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(m_hPort, TIOCMBIC, &nLines) != 0 && errno != ENOTTY && errno != EINVAL)
        bConfigured = false;
    return bConfigured;
}

int CPosixPort::Read(char* pBuffer, int nMax, std::chrono::milliseconds timeout) {
    if (m_hPort < 0 || nMax <= 0)
        return -1;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const ssize_t nRead = ::read(m_hPort, pBuffer, static_cast<std::size_t>(nMax));
        if (nRead > 0)
            return static_cast<int>(nRead);
        if (nRead == 0)
            return Vanished(); // end of file: the line was hung up
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return Vanished(); // EIO and the like: the device has gone
        short nRevents = 0;
        const int nReady = WaitFor(m_hPort, POLLIN, deadline, nRevents);
        if (nReady == 0)
            return 0;
        if (nReady < 0 || (nRevents & (POLLERR | POLLNVAL)) != 0)
            return Vanished();
        if ((nRevents & POLLIN) == 0)
            return Vanished(); // hung up with nothing left to read
    }
}

bool CPosixPort::WaitForInput(std::chrono::milliseconds timeout) {
    if (m_hPort < 0)
        return true; // the read reports the closed port
    short nRevents = 0;
    return WaitFor(m_hPort, POLLIN, Clock::now() + timeout, nRevents) != 0;
}

bool CPosixPort::Write(std::string_view data, std::chrono::milliseconds timeout) {
    if (m_hPort < 0)
        return false;
    const auto deadline = Clock::now() + timeout;
    while (!data.empty()) {
        const ssize_t nWritten = ::write(m_hPort, data.data(), data.size());
        if (nWritten > 0) {
            data.remove_prefix(static_cast<std::size_t>(nWritten));
            continue;
        }
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        short nRevents = 0;
        if (WaitFor(m_hPort, POLLOUT, deadline, nRevents) <= 0 || (nRevents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
            return false;
    }
    return true;
}

void CPosixPort::PurgeInput() {
    if (m_hPort >= 0)
        ::tcflush(m_hPort, TCIFLUSH);
}

void CPosixPort::Close() {
    if (m_hPort < 0)
        return;
    // The terminal keeps its exclusive mode until its last close, and the far end of a pseudo-terminal may hold
    // it open for good: clear it, or nobody but root could open the line again.
    ::ioctl(m_hPort, TIOCNXCL);
    ::flock(m_hPort, LOCK_UN);
    ::close(m_hPort);
    m_hPort = -1;
}
