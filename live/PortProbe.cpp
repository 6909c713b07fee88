#include "live/PortProbe.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <chrono>

namespace {

// Loopback answers at once, accepted or refused; this only bounds a system that is slow to say either.
constexpr auto kProbeLimit = std::chrono::milliseconds{500};

} // namespace

bool IsPortAnswering(unsigned short nPort) {
    namespace asio = boost::asio;
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    bool bConnected = false;
    socket.async_connect({asio::ip::address_v4::loopback(), nPort},
                         [&bConnected](const boost::system::error_code& error) { bConnected = !error; });
    io.run_for(kProbeLimit);
    boost::system::error_code ignored;
    socket.close(ignored);
    return bConnected;
}
