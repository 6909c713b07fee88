#include "tests/support/RawHttp.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>
#include <array>
#include <cctype>

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using error_code = boost::system::error_code;

struct CRawConnection::CImpl {
    asio::io_context m_io;
    tcp::socket m_socket{m_io};
    bool m_bClosed = false; // by the server

    // Runs one asynchronous operation until it completes or the time-out cancels it.
    void RunFor(std::chrono::milliseconds timeout) {
        m_io.restart();
        m_io.run_for(timeout);
        if (!m_io.stopped()) {
            error_code ignored;
            m_socket.cancel(ignored);
            m_io.restart();
            m_io.run(); // the cancelled handler
        }
    }
};

CRawConnection::CRawConnection() : m_impl(std::make_unique<CImpl>()) {}

CRawConnection::~CRawConnection() = default;

bool CRawConnection::Connect(unsigned short nPort, int nReceiveBuffer) {
    error_code ec;
    m_impl->m_socket.open(tcp::v4(), ec);
    if (ec)
        return false;
    if (nReceiveBuffer > 0)
        m_impl->m_socket.set_option(asio::socket_base::receive_buffer_size(nReceiveBuffer), ec);
    m_impl->m_socket.connect(tcp::endpoint(asio::ip::address_v4::loopback(), nPort), ec);
    return !ec;
}

bool CRawConnection::Send(std::string_view bytes, std::chrono::milliseconds timeout) {
    bool bDone = false;
    asio::async_write(m_impl->m_socket, asio::buffer(bytes.data(), bytes.size()),
                      [&](const error_code& ec, std::size_t) { bDone = !ec; });
    m_impl->RunFor(timeout);
    return bDone;
}

bool CRawConnection::ReadSome(std::chrono::milliseconds timeout) {
    if (m_impl->m_bClosed)
        return false;
    std::array<char, 16384> buffer;
    bool bRead = false;
    m_impl->m_socket.async_read_some(asio::buffer(buffer), [&](const error_code& ec, std::size_t nRead) {
        m_strReceived.append(buffer.data(), nRead);
        bRead = nRead > 0;
        if (ec && ec != asio::error::operation_aborted)
            m_impl->m_bClosed = true;
    });
    m_impl->RunFor(timeout);
    return bRead;
}

std::string CRawConnection::ReadUntil(std::string_view marker, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!m_impl->m_bClosed && (marker.empty() || m_strReceived.find(marker) == std::string::npos)) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        ReadSome(left);
    }
    return m_strReceived;
}

std::string CRawConnection::ReadToEnd(std::chrono::milliseconds timeout) {
    return ReadUntil({}, timeout);
}

bool CRawConnection::ClosedByServer(std::chrono::milliseconds timeout) {
    ReadToEnd(timeout);
    return m_impl->m_bClosed;
}

void CRawConnection::Close() {
    error_code ignored;
    m_impl->m_socket.close(ignored);
}

std::string CRawAnswer::Field(const std::string& strName) const {
    const auto it = m_fields.find(strName);
    return it == m_fields.end() ? std::string() : it->second;
}

CRawAnswer ParseRawAnswer(std::string_view bytes) {
    CRawAnswer answer;
    const std::size_t nHeadEnd = bytes.find("\r\n\r\n");
    if (nHeadEnd == std::string_view::npos || !bytes.starts_with("HTTP/1."))
        return answer;
    const std::string_view head = bytes.substr(0, nHeadEnd);
    const std::size_t nLineEnd = head.find("\r\n");
    const std::string_view statusLine = head.substr(0, nLineEnd);
    if (statusLine.size() < 12)
        return answer;
    for (std::size_t nAt = nLineEnd; nAt != std::string_view::npos && nAt < head.size();) {
        const std::size_t nStart = nAt + 2;
        const std::size_t nEnd = head.find("\r\n", nStart);
        const std::string_view line = head.substr(nStart, nEnd == std::string_view::npos ? nEnd : nEnd - nStart);
        const std::size_t nColon = line.find(':');
        if (nColon != std::string_view::npos) {
            std::string strName(line.substr(0, nColon));
            std::transform(strName.begin(), strName.end(), strName.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            std::string_view value = line.substr(nColon + 1);
            while (!value.empty() && value.front() == ' ')
                value.remove_prefix(1);
            answer.m_fields[strName] = std::string(value);
        }
        nAt = nEnd;
    }
    answer.m_strBody = std::string(bytes.substr(nHeadEnd + 4));
    if (const std::string strLength = answer.Field("content-length"); !strLength.empty()) {
        const std::size_t nLength = std::stoul(strLength);
        if (answer.m_strBody.size() < nLength)
            return {};
        answer.m_strBody.resize(nLength);
    }
    answer.m_nStatus = std::stoi(std::string(statusLine.substr(9, 3)));
    return answer;
}

CRawAnswer RawRequest(unsigned short nPort, std::string_view request, std::chrono::milliseconds timeout) {
    CRawConnection connection;
    if (!connection.Connect(nPort))
        return {};
    connection.Send(request, timeout);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const CRawAnswer answer = ParseRawAnswer(connection.Received());
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (answer.m_nStatus != 0 || left.count() <= 0)
            return answer;
        if (!connection.ReadSome(left)) // closed, or silent to the end
            return ParseRawAnswer(connection.Received());
    }
}

std::string GetRequest(std::string_view target, std::string_view method) {
    return std::string(method) + " " + std::string(target) +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
}
