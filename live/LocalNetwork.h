#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the live page's server asks of the system's network beyond its sockets (platform files).

// A listening socket that no other program can share while it listens, and that can listen again at once on a
// port whose last connections are still winding down: SO_REUSEADDR on Linux, SO_EXCLUSIVEADDRUSE on Windows
// (whose SO_REUSEADDR would let another program take the port over).
void UseListeningAddressAlone(std::uintptr_t nSocket);

// The IPv4 addresses of the interfaces that are up, as the system lists them, in dotted form.
std::vector<std::string> InterfaceIPv4Addresses();

// The addresses a viewer on the venue's network may type: loopback, unspecified and repeated ones left out, the
// private networks first (192.168/16, 10/8, 172.16/12, then other ones, then link-local 169.254/16), each group in
// the system's order.
std::vector<std::string> ViewerAddresses(const std::vector<std::string>& addresses);
