#include "tests/support/DevicePeer.h"

#include "tests/support/InProcessPeer.h"

// Windows has no pseudo-terminals: the peer is a port served in the test's own process under the number.
struct CDevicePeer::Impl {
    explicit Impl(int nPort) : m_peer(nPort) {}
    CInProcessPeer m_peer;
};

CDevicePeer::CDevicePeer(const std::string& /*strDirectory*/, int nPort) : m_pImpl(std::make_unique<Impl>(nPort)) {}

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
    return m_pImpl->m_peer.BaudRate();
}

void MakePortWithoutDevice(const std::string& /*strDirectory*/, int /*nPort*/) {}
