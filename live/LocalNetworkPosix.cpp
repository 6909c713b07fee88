#include "live/LocalNetwork.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <memory>

void UseListeningAddressAlone(std::uintptr_t nSocket) {
    const int nOn = 1;
    setsockopt(static_cast<int>(nSocket), SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof nOn);
}

std::vector<std::string> InterfaceIPv4Addresses() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return {};
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, &freeifaddrs);
    std::vector<std::string> addresses;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !(entry->ifa_flags & IFF_UP))
            continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        char szText[INET_ADDRSTRLEN] = {};
        if (inet_ntop(AF_INET, &address->sin_addr, szText, sizeof szText))
            addresses.emplace_back(szText);
    }
    return addresses;
}
