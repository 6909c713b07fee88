#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>

// A client of a server on this computer that sends bytes exactly as given and reads what comes back, with a time-out
// on every wait: for tests of what a server does with requests that no browser would send.
class CRawConnection {
public:
    CRawConnection();
    ~CRawConnection();
    CRawConnection(const CRawConnection&) = delete;
    CRawConnection& operator=(const CRawConnection&) = delete;

    // Connects to 127.0.0.1:nPort; nReceiveBuffer > 0 sets the socket's receive buffer first (a client that reads
    // nothing then holds little of what the server sends).
    bool Connect(unsigned short nPort, int nReceiveBuffer = 0);
    // The bytes are written whole, unless the server closes meanwhile (false).
    bool Send(std::string_view bytes, std::chrono::milliseconds timeout = std::chrono::seconds{10});
    // Reads what has come or comes within the time-out; false when nothing came (or the server has closed).
    bool ReadSome(std::chrono::milliseconds timeout);
    // Reads until the marker has arrived, the server closes, or the time-out; returns all read so far.
    std::string ReadUntil(std::string_view marker, std::chrono::milliseconds timeout);
    // Reads until the server closes or the time-out.
    std::string ReadToEnd(std::chrono::milliseconds timeout);
    // True when the server has closed the connection (or reset it) within the time-out; what it sent meanwhile
    // is read and dropped.
    bool ClosedByServer(std::chrono::milliseconds timeout);
    const std::string& Received() const { return m_strReceived; }
    void Close();

private:
    struct CImpl;
    std::unique_ptr<CImpl> m_impl;
    std::string m_strReceived;
};

// An answer as the test reads it: the status line's code, the header fields by lower-case name, the body.
struct CRawAnswer {
    int m_nStatus = 0;
    std::map<std::string, std::string> m_fields;
    std::string m_strBody;
    std::string Field(const std::string& strName) const;
};
// The first answer in bytes received; a status of 0 when there is none whole.
CRawAnswer ParseRawAnswer(std::string_view bytes);
// One request on a fresh connection, read until the server closes or the answer is whole (by its Content-Length).
CRawAnswer RawRequest(unsigned short nPort, std::string_view request,
                      std::chrono::milliseconds timeout = std::chrono::seconds{10});
// "GET <target> HTTP/1.1" with Host and "Connection: close".
std::string GetRequest(std::string_view target, std::string_view method = "GET");
