#pragma once

#include "live/LiveState.h"
#include "live/LiveTexts.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The live page's server: the unit's state as a web page for every phone, projector and video stream at the venue,
// read-only. One thread serves every viewer; the owner only publishes snapshots, from any thread, and never waits
// on the network.
//
// Paths: "/" the page, "/overlay" the overlay for a streaming program (its parts chosen by the query), "/events" the
// state as Server-Sent Events (a snapshot on connect, then each change, a heartbeat each second), "/state.json" the
// snapshot (for any origin), and the page's own files. GET and HEAD only; nothing is read from the disk.
class CLiveServer {
public:
    // Bounds, named once; each is crossed by a test.
    static constexpr int kMaxConnections = 256; // served at once; the next ones are answered 503
    static constexpr int kMaxRefused = 32;      // answered 503 at once; connections beyond both are closed at once
    static constexpr std::size_t kMaxRequestLineBytes = 4096; // a longer request line is answered 414
    static constexpr std::size_t kMaxHeaderBytes = 16384;     // request line and headers; longer ones 431
    // Bytes of events waiting for a viewer that does not read (past what its connection holds): beyond, it is
    // dropped, and the others never wait for it.
    static constexpr std::size_t kViewerBacklog = 64 * 1024;
    static constexpr auto kRequestTimeout = std::chrono::seconds{10}; // for a request's head; and idle keep-alive
    static constexpr auto kWriteTimeout = std::chrono::seconds{30};   // for one write to a client
    static constexpr auto kHeartbeat = std::chrono::seconds{1};
    static constexpr auto kReconnectDelay = std::chrono::milliseconds{1000}; // the event stream's "retry"

    CLiveServer();
    ~CLiveServer(); // stops and joins its threads
    CLiveServer(const CLiveServer&) = delete;
    CLiveServer& operator=(const CLiveServer&) = delete;

    struct CStartResult {
        bool m_bOk;
        std::string m_strError; // "in use", "not allowed", ...
    };
    // Listens on address:port ("" = every interface, port 0 = any free one); returns at once.
    CStartResult Start(const std::string& strAddress, unsigned short nPort);
    void Stop(); // closes every connection; may be called twice
    bool IsRunning() const;
    unsigned short Port() const; // the port it listens on (the chosen one for 0)
    // From any thread, every tick if the owner likes: never waits on a socket. Viewers hear of it only when it
    // differs from the last one.
    void Publish(const CLiveState& state);
    // The page's words; from any thread. Pages opened afterwards show them.
    void SetTexts(const CLiveTexts& texts);
    int ViewerCount() const; // event-stream viewers connected now

    class CRun; // one Start to its Stop: the listening socket, the connections and the serving thread

private:
    friend class CRun;
    // What the owner handed over, kept across a Stop and the next Start.
    mutable std::mutex m_mutex;
    CLiveState m_state;
    CLiveTexts m_texts;
    unsigned m_nStateVersion = 0; // counts the changes of m_state
    std::unique_ptr<CRun> m_run;
    std::atomic<int> m_nViewers{0};
};

// Each non-loopback IPv4 address of this computer, as text ("192.168.1.20"), in a stable order (platform files).
std::vector<std::string> LocalIPv4Addresses();
