#include "tests/support/DevicePeer.h"

#include "tests/support/InProcessPeer.h"

std::unique_ptr<CDevicePeer> MakeDevicePeer(int nPort) {
    return std::make_unique<CInProcessPeer>(nPort);
}
