#include "tests/support/DevicePeer.h"

#include "base/Files.h"
#include "tests/support/PtyPeer.h"

#include <filesystem>

#include <termios.h>

struct CDevicePeer::Impl {
    CPtyPeer m_peer;
};

CDevicePeer::CDevicePeer(const std::string& strDirectory, int nPort) : m_pImpl(std::make_unique<Impl>()) {
    m_pImpl->m_peer.LinkAsPort(strDirectory, nPort);
}

CDevicePeer::~CDevicePeer() = default;

bool CDevicePeer::Write(std::string_view bytes) {
    return m_pImpl->m_peer.Write(bytes);
}

std::string CDevicePeer::ReadFor(std::chrono::milliseconds duration) {
    return m_pImpl->m_peer.ReadFor(duration);
}

std::string CDevicePeer::ReadUntil(std::size_t nCount, std::chrono::milliseconds timeout) {
    return m_pImpl->m_peer.ReadUntil(nCount, timeout);
}

void CDevicePeer::HangUp() {
    m_pImpl->m_peer.HangUp();
}

bool CDevicePeer::IsHungUp() const {
    return m_pImpl->m_peer.IsHungUp();
}

int CDevicePeer::LineBaudRate() const {
    termios settings{};
    // The master reports the settings of the program's end.
    if (m_pImpl->m_peer.IsHungUp() || ::tcgetattr(m_pImpl->m_peer.MasterHandle(), &settings) != 0)
        return 0;
    switch (::cfgetospeed(&settings)) {
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    default:
        return 0;
    }
}

void MakePortWithoutDevice(const std::string& strDirectory, int nPort) {
    std::filesystem::create_directories(strDirectory + "/ports");
    WriteFileReplacing(strDirectory + "/ports/COM" + std::to_string(nPort), "not a terminal");
}
