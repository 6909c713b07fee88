// The one file that speaks HTTP, through Boost.Beast over Asio: what it answers is decided in LiveRoutes and
// LivePage, what it sends in LiveState and LiveTexts.

#include "live/LiveServer.h"

#include "live/LivePage.h"
#include "live/LiveRoutes.h"
#include "live/LocalNetwork.h"
#include "live/PortProbe.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/basic_parser.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>

#include <array>
#include <deque>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using error_code = boost::system::error_code;

namespace {

// After an answer that ends the connection, what the client still sends is read and dropped for this long (a
// socket closed with unread bytes would be reset, and the client might lose the answer).
constexpr auto kLingerTime = std::chrono::seconds{2};
constexpr std::size_t kLingerBytes = 1024 * 1024;
// A failed accept (no descriptors left, say) is tried again after this pause.
constexpr auto kAcceptPause = std::chrono::milliseconds{100};

const std::string kHeartbeatEvent = "event: heartbeat\ndata: {}\n\n";

std::string StateEvent(const std::string& strJson) {
    return "event: state\ndata: " + strJson + "\n\n";
}

// A request's head as the server needs it: its method and target, and no body. The head, request line included,
// is bounded by kMaxHeaderBytes; the request line alone by kMaxRequestLineBytes.
class CRequestParser : public http::basic_parser<true> {
public:
    CRequestParser() {
        header_limit(static_cast<std::uint32_t>(CLiveServer::kMaxHeaderBytes));
        body_limit(0);
    }
    const std::string& Method() const { return m_strMethod; }
    const std::string& Target() const { return m_strTarget; }
    int Version() const { return m_nVersion; }
    bool LineTooLong() const { return m_bLineTooLong; }
    bool LineRead() const { return m_bLineRead; }

private:
    void on_request_impl(http::verb, beast::string_view method, beast::string_view target, int nVersion,
                         error_code& ec) override {
        // The method, a blank, the target, and " HTTP/1.1" with the line's end.
        if (method.size() + 1 + target.size() + std::string_view(" HTTP/1.1\r\n").size() >
            CLiveServer::kMaxRequestLineBytes) {
            m_bLineTooLong = true;
            ec = http::error::header_limit;
            return;
        }
        m_bLineRead = true;
        m_strMethod.assign(method.data(), method.size());
        m_strTarget.assign(target.data(), target.size());
        m_nVersion = nVersion;
    }
    void on_response_impl(int, beast::string_view, int, error_code&) override {}
    void on_field_impl(http::field, beast::string_view, beast::string_view, error_code&) override {}
    void on_header_impl(error_code&) override {}
    void on_body_init_impl(const boost::optional<std::uint64_t>&, error_code&) override {}
    std::size_t on_body_impl(beast::string_view body, error_code&) override { return body.size(); }
    void on_chunk_header_impl(std::uint64_t, beast::string_view, error_code&) override {}
    std::size_t on_chunk_body_impl(std::uint64_t, beast::string_view body, error_code&) override { return body.size(); }
    void on_finish_impl(error_code&) override {}

    std::string m_strMethod;
    std::string m_strTarget;
    int m_nVersion = 11;
    bool m_bLineTooLong = false;
    bool m_bLineRead = false;
};

} // namespace

// ---- one Start to its Stop

class CLiveServer::CRun {
public:
    class CSession;

    explicit CRun(CLiveServer& owner) : m_owner(owner) {}
    ~CRun() { End(); }

    CStartResult Listen(const std::string& strAddress, unsigned short nPort);
    void Begin();
    void End();
    unsigned short Port() const { return m_nPort; }
    // Called with the owner's lock held: a broadcast of the newest state is due (one is posted at a time).
    void PostBroadcast();

    // The serving thread's side.
    void Accept();
    void OnAccept(const error_code& ec, tcp::socket socket);
    void Broadcast();
    void Heartbeat();
    std::string StateJson() const { return m_strStateJson; }
    std::shared_ptr<const std::string> StateEventNow() const { return m_stateEvent; }
    CLiveTexts Texts() const {
        std::lock_guard lock(m_owner.m_mutex);
        return m_owner.m_texts;
    }

    CLiveServer& m_owner;
    // The sessions alive (the serving thread's alone); declared before the io_context, whose end destroys the
    // sessions its handlers still hold.
    std::set<CSession*> m_sessions;
    int m_nServed = 0;  // connections within kMaxConnections
    int m_nRefused = 0; // connections being answered 503
    unsigned m_nSentVersion = 0;
    bool m_bSentOnce = false;
    std::string m_strStateJson;
    std::shared_ptr<const std::string> m_stateEvent;
    bool m_bBroadcastPosted = false; // under the owner's lock

    asio::io_context m_io{1};
    tcp::acceptor m_acceptor{m_io};
    asio::steady_timer m_heartbeat{m_io};
    asio::steady_timer m_acceptPause{m_io};
    unsigned short m_nPort = 0;
    std::thread m_thread;
};

// One connection: requests answered one after the other, until it becomes an event-stream viewer or ends.
class CLiveServer::CRun::CSession : public std::enable_shared_from_this<CSession> {
public:
    CSession(CRun& run, tcp::socket socket, bool bRefused)
        : m_run(run), m_stream(std::move(socket)), m_bRefused(bRefused), m_buffer(kMaxHeaderBytes) {
        m_run.m_sessions.insert(this);
        (m_bRefused ? m_run.m_nRefused : m_run.m_nServed) += 1;
    }
    ~CSession() {
        m_run.m_sessions.erase(this);
        (m_bRefused ? m_run.m_nRefused : m_run.m_nServed) -= 1;
        if (m_bViewer)
            m_run.m_owner.m_nViewers.fetch_sub(1);
    }
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    void Begin() {
        if (m_bRefused) // at once: its request is read and dropped afterwards, while the answer waits to be read
            Answer(http::status::service_unavailable, ELiveResource::None, false, false);
        else
            ReadRequest();
    }
    bool IsViewer() const { return m_bViewer; }
    // An event for a viewer; a viewer whose backlog would pass kViewerBacklog is dropped instead.
    void Send(const std::shared_ptr<const std::string>& event);
    bool Idle() const { return m_queue.empty(); }
    void Close() {
        error_code ec;
        m_stream.socket().shutdown(tcp::socket::shutdown_both, ec);
        m_stream.close();
    }

private:
    void ReadRequest();
    void OnRequest(const error_code& ec);
    void Answer(http::status status, ELiveResource resource, bool bHead, bool bKeepAlive);
    void OnAnswered(const error_code& ec, bool bKeepAlive);
    // Ends the connection after an answer: the client's further bytes are read and dropped until it closes, for
    // kLingerTime or kLingerBytes at most.
    void Linger();
    void DropWhatComes(std::size_t nBudget);
    void BecomeViewer();
    void WatchViewer();
    void WriteNext();

    CRun& m_run;
    beast::tcp_stream m_stream;
    bool m_bRefused;
    beast::flat_buffer m_buffer;
    std::optional<CRequestParser> m_parser;
    std::optional<http::response<http::string_body>> m_response;
    bool m_bViewer = false;
    std::deque<std::shared_ptr<const std::string>> m_queue; // the front one is being written
    std::size_t m_nQueuedBytes = 0;
    bool m_bWriting = false;
    std::array<char, 4096> m_discard{};
};

void CLiveServer::CRun::CSession::ReadRequest() {
    m_parser.emplace();
    m_stream.expires_after(kRequestTimeout);
    http::async_read(m_stream, m_buffer, *m_parser,
                     [self = shared_from_this()](const error_code& ec, std::size_t) { self->OnRequest(ec); });
}

void CLiveServer::CRun::CSession::OnRequest(const error_code& ec) {
    if (ec == http::error::header_limit || ec == http::error::buffer_overflow) {
        // 414 for a request line past its bound, or one that never ended within the head's bound (the parser reads
        // the line as soon as it is whole, unless its first bytes came alone: then it waits for the whole head, and
        // the line is still in the buffer); 431 for the lines after it.
        const auto data = m_buffer.data();
        const std::string_view buffered(static_cast<const char*>(data.data()), data.size());
        const std::size_t nLineEnd = buffered.find('\n');
        const bool bLine =
            m_parser->LineTooLong() ||
            (!m_parser->LineRead() && (nLineEnd == std::string_view::npos || nLineEnd + 1 > kMaxRequestLineBytes));
        Answer(bLine ? http::status::uri_too_long : http::status::request_header_fields_too_large, ELiveResource::None,
               false, false);
        return;
    }
    if (ec == http::error::body_limit) {
        Answer(http::status::bad_request, ELiveResource::None, false, false); // nothing here takes a body
        return;
    }
    if (ec && ec.category() == http::make_error_code(http::error::bad_method).category() &&
        ec != http::error::end_of_stream && ec != http::error::partial_message) {
        Answer(http::status::bad_request, ELiveResource::None, false, false); // not HTTP as this server reads it
        return;
    }
    if (ec) {
        Close(); // gone, silent past the time-out, or stopped
        return;
    }
    const CLiveRoute route = RouteLiveRequest(m_parser->Method(), m_parser->Target());
    const bool bHead = m_parser->Method() == "HEAD";
    if (route.m_nStatus == 200 && route.m_resource == ELiveResource::Events && !bHead) {
        BecomeViewer();
        return;
    }
    const bool bKeepAlive = m_parser->keep_alive() && route.m_nStatus != 400;
    Answer(static_cast<http::status>(route.m_nStatus), route.m_resource, bHead, bKeepAlive);
}

void CLiveServer::CRun::CSession::Answer(http::status status, ELiveResource resource, bool bHead, bool bKeepAlive) {
    const int nVersion = m_parser && m_parser->Version() == 10 ? 10 : 11;
    m_response.emplace(status, nVersion);
    http::response<http::string_body>& response = *m_response;
    std::string strBody;
    if (status == http::status::ok) {
        if (resource == ELiveResource::StateJson)
            strBody = m_run.StateJson();
        else if (resource != ELiveResource::Events)
            strBody = LivePageBody(resource, m_run.Texts());
        response.set(http::field::content_type, std::string(LiveContentType(resource)));
        switch (resource) {
        case ELiveResource::StateJson:
        case ELiveResource::Events:
            response.set(http::field::cache_control, "no-store");
            response.set(http::field::access_control_allow_origin, "*");
            break;
        case ELiveResource::Page:
        case ELiveResource::Overlay:
            response.set(http::field::cache_control, "no-cache");
            response.set("Content-Security-Policy", std::string(kLivePagePolicy));
            break;
        default:
            response.set(http::field::cache_control, "no-cache");
            break;
        }
    } else {
        strBody = std::to_string(static_cast<int>(status)) + " " + std::string(http::obsolete_reason(status)) + "\n";
        response.set(http::field::content_type, "text/plain; charset=utf-8");
        if (status == http::status::method_not_allowed)
            response.set(http::field::allow, "GET, HEAD");
        if (status == http::status::service_unavailable)
            response.set(http::field::retry_after, "5");
    }
    response.set("X-Content-Type-Options", "nosniff");
    response.set("Referrer-Policy", "no-referrer");
    response.keep_alive(bKeepAlive && resource != ELiveResource::Events);
    if (resource != ELiveResource::Events) // the stream's length is its connection's
        response.content_length(strBody.size());
    if (!bHead)
        response.body() = std::move(strBody);
    m_stream.expires_after(kWriteTimeout);
    http::async_write(m_stream, response,
                      [self = shared_from_this(), bKeepAlive = response.keep_alive()](
                          const error_code& ec, std::size_t) { self->OnAnswered(ec, bKeepAlive); });
}

void CLiveServer::CRun::CSession::OnAnswered(const error_code& ec, bool bKeepAlive) {
    m_response.reset();
    if (ec) {
        Close();
        return;
    }
    if (bKeepAlive)
        ReadRequest();
    else
        Linger();
}

void CLiveServer::CRun::CSession::Linger() {
    error_code ignored;
    m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    m_stream.expires_after(kLingerTime);
    DropWhatComes(kLingerBytes);
}

void CLiveServer::CRun::CSession::DropWhatComes(std::size_t nBudget) {
    m_stream.async_read_some(asio::buffer(m_discard),
                             [self = shared_from_this(), nBudget](const error_code& ec, std::size_t nRead) {
                                 if (ec || nRead >= nBudget)
                                     self->Close();
                                 else
                                     self->DropWhatComes(nBudget - nRead);
                             });
}

void CLiveServer::CRun::CSession::BecomeViewer() {
    http::response<http::empty_body> head{http::status::ok, m_parser->Version() == 10 ? 10 : 11};
    head.set(http::field::content_type, std::string(LiveContentType(ELiveResource::Events)));
    head.set(http::field::cache_control, "no-store");
    head.set(http::field::access_control_allow_origin, "*");
    head.set("X-Content-Type-Options", "nosniff");
    head.keep_alive(false); // the stream is the body, to the connection's end
    std::ostringstream text;
    text << head.base();
    m_parser.reset();
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    m_bViewer = true;
    m_run.m_owner.m_nViewers.fetch_add(1);
    m_stream.expires_never();
    WatchViewer();
    Send(
        std::make_shared<const std::string>(text.str() + "retry: " + std::to_string(kReconnectDelay.count()) + "\n\n"));
    if (const auto event = m_run.StateEventNow())
        Send(event);
}

void CLiveServer::CRun::CSession::WatchViewer() {
    // A viewer sends nothing after its request; a read that ends says it has gone (or the server stops).
    m_stream.async_read_some(asio::buffer(m_discard), [self = shared_from_this()](const error_code& ec, std::size_t) {
        if (ec)
            self->Close();
        else
            self->WatchViewer();
    });
}

void CLiveServer::CRun::CSession::Send(const std::shared_ptr<const std::string>& event) {
    if (!m_stream.socket().is_open())
        return;
    if (m_nQueuedBytes + event->size() > kViewerBacklog) {
        Close(); // it does not read: the others never wait for it
        return;
    }
    m_queue.push_back(event);
    m_nQueuedBytes += event->size();
    if (!m_bWriting)
        WriteNext();
}

void CLiveServer::CRun::CSession::WriteNext() {
    if (m_queue.empty()) {
        m_bWriting = false;
        return;
    }
    m_bWriting = true;
    m_stream.expires_after(kWriteTimeout);
    asio::async_write(m_stream, asio::buffer(*m_queue.front()),
                      [self = shared_from_this()](const error_code& ec, std::size_t) {
                          self->m_nQueuedBytes -= self->m_queue.front()->size();
                          self->m_queue.pop_front();
                          if (ec) {
                              self->m_queue.clear();
                              self->m_nQueuedBytes = 0;
                              self->m_bWriting = false;
                              self->Close();
                              return;
                          }
                          self->WriteNext();
                      });
}

// ---- the run

CLiveServer::CStartResult CLiveServer::CRun::Listen(const std::string& strAddress, unsigned short nPort) {
    error_code ec;
    asio::ip::address address = asio::ip::address_v4::any();
    if (!strAddress.empty()) {
        address = asio::ip::make_address(strAddress == "localhost" ? "127.0.0.1" : strAddress, ec);
        if (ec)
            return {false, "\"" + strAddress + "\" is not an IP address"};
    }
    const tcp::endpoint endpoint(address, nPort);
    const auto failure = [&](const error_code& error) -> CStartResult {
        if (error == boost::system::errc::address_in_use)
            return {false, "in use"};
        // Windows refuses a port another program holds alone with the words it has for a port it keeps for itself
        // ("access denied"): a port that answers is in use.
        if (error == boost::system::errc::permission_denied || error == boost::system::errc::operation_not_permitted)
            return {false, nPort != 0 && IsPortAnswering(nPort) ? "in use" : "not allowed"};
        if (error == boost::system::errc::address_not_available)
            return {false, "not an address of this computer"};
        return {false, error.message()};
    };
    m_acceptor.open(endpoint.protocol(), ec);
    if (ec)
        return failure(ec);
    UseListeningAddressAlone(m_acceptor.native_handle());
    m_acceptor.bind(endpoint, ec);
    if (!ec)
        m_acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec)
        return failure(ec);
    m_nPort = m_acceptor.local_endpoint(ec).port();
    return {true, {}};
}

void CLiveServer::CRun::Begin() {
    Accept();
    Heartbeat();
    {
        std::lock_guard lock(m_owner.m_mutex);
        PostBroadcast();
    }
    m_thread = std::thread([this] { m_io.run(); });
}

void CLiveServer::CRun::End() {
    if (!m_thread.joinable())
        return;
    // Every connection closed on the serving thread, then the thread let go; the sessions still held by handlers
    // go with the io_context.
    asio::post(m_io, [this] {
        error_code ignored;
        m_acceptor.close(ignored);
        m_heartbeat.cancel();
        m_acceptPause.cancel();
        for (CSession* session : m_sessions)
            session->Close();
    });
    asio::post(m_io, [this] { m_io.stop(); });
    m_thread.join();
}

void CLiveServer::CRun::PostBroadcast() {
    if (m_bBroadcastPosted)
        return;
    m_bBroadcastPosted = true;
    asio::post(m_io, [this] { Broadcast(); });
}

void CLiveServer::CRun::Accept() {
    m_acceptor.async_accept([this](const error_code& ec, tcp::socket socket) { OnAccept(ec, std::move(socket)); });
}

void CLiveServer::CRun::OnAccept(const error_code& ec, tcp::socket socket) {
    if (ec == asio::error::operation_aborted || !m_acceptor.is_open())
        return;
    if (ec) {
        m_acceptPause.expires_after(kAcceptPause);
        m_acceptPause.async_wait([this](const error_code& waited) {
            if (!waited)
                Accept();
        });
        return;
    }
    error_code ignored;
    socket.set_option(tcp::no_delay(true), ignored); // an event goes out as soon as it is written
    if (m_nServed < kMaxConnections)
        std::make_shared<CSession>(*this, std::move(socket), false)->Begin();
    else if (m_nRefused < kMaxRefused)
        std::make_shared<CSession>(*this, std::move(socket), true)->Begin();
    else
        socket.close(ignored);
    Accept();
}

void CLiveServer::CRun::Broadcast() {
    CLiveState state;
    {
        std::lock_guard lock(m_owner.m_mutex);
        m_bBroadcastPosted = false;
        if (m_bSentOnce && m_nSentVersion == m_owner.m_nStateVersion)
            return;
        m_bSentOnce = true;
        m_nSentVersion = m_owner.m_nStateVersion;
        state = m_owner.m_state;
    }
    m_strStateJson = LiveStateJson(state);
    m_stateEvent = std::make_shared<const std::string>(StateEvent(m_strStateJson));
    // A session dropped by Send stays in the set until its handlers end: the set does not change meanwhile.
    for (CSession* session : m_sessions) {
        if (session->IsViewer())
            session->Send(m_stateEvent);
    }
}

void CLiveServer::CRun::Heartbeat() {
    static const auto event = std::make_shared<const std::string>(kHeartbeatEvent);
    for (CSession* session : m_sessions) {
        if (session->IsViewer() && session->Idle())
            session->Send(event);
    }
    m_heartbeat.expires_after(kHeartbeat);
    m_heartbeat.async_wait([this](const error_code& ec) {
        if (!ec)
            Heartbeat();
    });
}

// ---- the owner's side

CLiveServer::CLiveServer() = default;

CLiveServer::~CLiveServer() {
    Stop();
}

CLiveServer::CStartResult CLiveServer::Start(const std::string& strAddress, unsigned short nPort) {
    Stop();
    auto run = std::make_unique<CRun>(*this);
    CStartResult result = run->Listen(strAddress, nPort);
    if (!result.m_bOk)
        return result;
    CRun* pRun = run.get();
    {
        std::lock_guard lock(m_mutex);
        m_run = std::move(run);
    }
    pRun->Begin();
    return result;
}

void CLiveServer::Stop() {
    std::unique_ptr<CRun> run;
    {
        std::lock_guard lock(m_mutex);
        run = std::move(m_run);
    }
    run.reset(); // joined outside the lock: the serving thread takes it
}

bool CLiveServer::IsRunning() const {
    std::lock_guard lock(m_mutex);
    return m_run != nullptr;
}

unsigned short CLiveServer::Port() const {
    std::lock_guard lock(m_mutex);
    return m_run ? m_run->Port() : 0;
}

void CLiveServer::Publish(const CLiveState& state) {
    std::lock_guard lock(m_mutex);
    if (state == m_state)
        return;
    m_state = state;
    ++m_nStateVersion;
    if (m_run)
        m_run->PostBroadcast();
}

void CLiveServer::SetTexts(const CLiveTexts& texts) {
    std::lock_guard lock(m_mutex);
    m_texts = texts;
}

int CLiveServer::ViewerCount() const {
    return m_nViewers.load();
}
