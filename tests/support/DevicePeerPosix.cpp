#include "tests/support/DevicePeer.h"

#include "base/FileLocations.h"
#include "tests/support/PtyPeer.h"

std::unique_ptr<CDevicePeer> MakeDevicePeer(int nPort) {
    auto peer = std::make_unique<CPtyPeer>();
    peer->LinkAsPort(FilesDirectory(), nPort);
    return peer;
}
