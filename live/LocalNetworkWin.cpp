#include "live/LocalNetwork.h"

// winsock2.h before the others.
#include <winsock2.h>

#include <iphlpapi.h>
#include <ws2tcpip.h>

#include <vector>

void UseListeningAddressAlone(std::uintptr_t nSocket) {
    const BOOL bOn = TRUE;
    setsockopt(static_cast<SOCKET>(nSocket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&bOn),
               sizeof bOn);
}

std::vector<std::string> InterfaceIPv4Addresses() {
    constexpr ULONG kFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    // The size the system asks for may grow between two calls when an adapter comes up meanwhile.
    ULONG nSize = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG nResult = ERROR_BUFFER_OVERFLOW;
    for (int nTry = 0; nTry < 4 && nResult == ERROR_BUFFER_OVERFLOW; ++nTry) {
        buffer.resize(nSize);
        nResult = GetAdaptersAddresses(AF_INET, kFlags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()),
                                       &nSize);
    }
    if (nResult != NO_ERROR)
        return {};
    std::vector<std::string> addresses;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter; adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp)
            continue;
        for (auto* unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
            const SOCKADDR* address = unicast->Address.lpSockaddr;
            if (!address || address->sa_family != AF_INET)
                continue;
            const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
            char szText[INET_ADDRSTRLEN] = {};
            if (inet_ntop(AF_INET, &ipv4->sin_addr, szText, sizeof szText))
                addresses.emplace_back(szText);
        }
    }
    return addresses;
}
