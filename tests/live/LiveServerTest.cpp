// The live page's server over real sockets on this computer: what it answers, what it streams, and each of its
// bounds crossed.

#include "live/LiveServer.h"

#include "res/EmbeddedFiles.h"
#include "tests/support/RawHttp.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

CLiveState StateShowing(const std::string& strLarge) {
    CLiveState state;
    state.m_bMonitoring = true;
    state.m_bUnitAnswers = true;
    state.m_strLarge = strLarge;
    state.m_strSmall = "   1";
    state.m_lights = {ELiveLamp::Off, ELiveLamp::Yellow, ELiveLamp::Off};
    return state;
}

// The events of a stream so far: each "event:" name with its data.
struct CEvent {
    std::string m_strName;
    std::string m_strData;
};
std::vector<CEvent> Events(const std::string& strStream) {
    std::vector<CEvent> events;
    const std::size_t nBody = strStream.find("\r\n\r\n");
    if (nBody == std::string::npos)
        return events;
    std::size_t nAt = nBody + 4;
    for (std::size_t nEnd; (nEnd = strStream.find("\n\n", nAt)) != std::string::npos; nAt = nEnd + 2) {
        CEvent event;
        const std::string strBlock = strStream.substr(nAt, nEnd - nAt);
        std::size_t nLine = 0;
        while (nLine < strBlock.size()) {
            std::size_t nLineEnd = strBlock.find('\n', nLine);
            if (nLineEnd == std::string::npos)
                nLineEnd = strBlock.size();
            const std::string strLine = strBlock.substr(nLine, nLineEnd - nLine);
            if (strLine.starts_with("event: "))
                event.m_strName = strLine.substr(7);
            else if (strLine.starts_with("data: "))
                event.m_strData = strLine.substr(6);
            nLine = nLineEnd + 1;
        }
        if (!event.m_strName.empty())
            events.push_back(event);
    }
    return events;
}

std::vector<std::string> StateData(const std::string& strStream) {
    std::vector<std::string> data;
    for (const CEvent& event : Events(strStream)) {
        if (event.m_strName == "state")
            data.push_back(event.m_strData);
    }
    return data;
}

// A server on a free port of the loopback address.
class LiveServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const CLiveServer::CStartResult result = m_server.Start("127.0.0.1", 0);
        ASSERT_TRUE(result.m_bOk) << result.m_strError;
        ASSERT_NE(m_server.Port(), 0);
    }
    // A viewer of the event stream, its head read.
    std::unique_ptr<CRawConnection> Viewer(int nReceiveBuffer = 0) {
        auto viewer = std::make_unique<CRawConnection>();
        EXPECT_TRUE(viewer->Connect(m_server.Port(), nReceiveBuffer));
        viewer->Send("GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n\r\n");
        return viewer;
    }
    bool WaitForViewers(int nViewers, std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (m_server.ViewerCount() != nViewers && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        return m_server.ViewerCount() == nViewers;
    }

    CLiveServer m_server;
};

// ---- answers

TEST_F(LiveServerTest, StateJsonIsTheLastPublishedStateForAnyOrigin) {
    CRawAnswer answer = RawRequest(m_server.Port(), GetRequest("/state.json"));
    EXPECT_EQ(answer.m_nStatus, 200);
    EXPECT_EQ(answer.m_strBody, LiveStateJson(CLiveState{}));

    m_server.Publish(StateShowing("    0:30"));
    std::this_thread::sleep_for(50ms);
    answer = RawRequest(m_server.Port(), GetRequest("/state.json"));
    EXPECT_EQ(answer.m_nStatus, 200);
    EXPECT_EQ(answer.m_strBody, LiveStateJson(StateShowing("    0:30")));
    EXPECT_EQ(answer.Field("access-control-allow-origin"), "*");
    EXPECT_EQ(answer.Field("content-type"), "application/json; charset=utf-8");
    EXPECT_EQ(answer.Field("cache-control"), "no-store");
}

TEST_F(LiveServerTest, EachPathIsAnsweredWithItsTypeAndHeadWithoutTheBody) {
    const struct {
        const char* pszTarget;
        const char* pszType;
    } kRows[] = {
        {"/", "text/html; charset=utf-8"},
        {"/?show=countdown", "text/html; charset=utf-8"},
        {"/overlay", "text/html; charset=utf-8"},
        {"/overlay?show=countdown,lights", "text/html; charset=utf-8"},
        {"/live.css", "text/css; charset=utf-8"},
        {"/live.js", "text/javascript; charset=utf-8"},
        {"/display.ttf", "font/ttf"},
        {"/state.json", "application/json; charset=utf-8"},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.pszTarget);
        const CRawAnswer get = RawRequest(m_server.Port(), GetRequest(row.pszTarget));
        EXPECT_EQ(get.m_nStatus, 200);
        EXPECT_EQ(get.Field("content-type"), row.pszType);
        EXPECT_EQ(get.Field("x-content-type-options"), "nosniff");
        EXPECT_FALSE(get.m_strBody.empty());

        CRawConnection head;
        ASSERT_TRUE(head.Connect(m_server.Port()));
        head.Send(GetRequest(row.pszTarget, "HEAD"));
        const std::string strHead = head.ReadToEnd(5s);
        const CRawAnswer headAnswer = ParseRawAnswer(strHead + std::string(get.m_strBody.size(), '\0'));
        EXPECT_EQ(headAnswer.m_nStatus, 200);
        EXPECT_EQ(headAnswer.Field("content-length"), std::to_string(get.m_strBody.size()));
        EXPECT_EQ(strHead.substr(strHead.find("\r\n\r\n") + 4), "") << "HEAD sends no body";
    }
}

TEST_F(LiveServerTest, ThePageAndTheOverlayCarryTheirModeTextsAndPolicy) {
    CLiveTexts texts;
    texts.m_strLanguage = "de";
    texts.m_strConnectionLost = "Verbindung unterbrochen";
    texts.m_strNotMonitoring = "</script><script>alert(1)</script>";
    m_server.SetTexts(texts);

    const CRawAnswer page = RawRequest(m_server.Port(), GetRequest("/"));
    EXPECT_THAT(page.m_strBody, HasSubstr("<html lang=\"de\" class=\"page\">"));
    EXPECT_THAT(page.m_strBody, HasSubstr("\"connectionLost\":\"Verbindung unterbrochen\""));
    // A text cannot end the block it stands in.
    EXPECT_THAT(page.m_strBody, Not(HasSubstr("alert(1)</script>")));
    EXPECT_THAT(page.Field("content-security-policy"), HasSubstr("default-src 'none'"));
    EXPECT_THAT(page.Field("content-security-policy"), HasSubstr("connect-src 'self'"));

    const CRawAnswer overlay = RawRequest(m_server.Port(), GetRequest("/overlay?show=countdown"));
    EXPECT_THAT(overlay.m_strBody, HasSubstr("<html lang=\"de\" class=\"overlay\">"));

    const CRawAnswer font = RawRequest(m_server.Port(), GetRequest("/display.ttf"));
    EXPECT_EQ(font.m_strBody, EmbeddedResFile("fonts/DSEG7Classic-Italic.ttf"));
}

TEST_F(LiveServerTest, OnlyItsOwnPathsAndOnlyGetAndHead) {
    const struct {
        const char* pszRequest;
        int nStatus;
    } kRows[] = {
        {"POST /state.json HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n", 405},
        {"PUT / HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n", 405},
        {"DELETE /state.json HTTP/1.1\r\nHost: x\r\n\r\n", 405},
        {"OPTIONS * HTTP/1.1\r\nHost: x\r\n\r\n", 405},
        {"PATCH / HTTP/1.1\r\nHost: x\r\n\r\n", 405},
        {"TRACE / HTTP/1.1\r\nHost: x\r\n\r\n", 405},
        {"CONNECT 127.0.0.1:80 HTTP/1.1\r\nHost: x\r\n\r\n", 405},
        {"BREW / HTTP/1.1\r\nHost: x\r\n\r\n", 405},
        {"get / HTTP/1.1\r\nHost: x\r\n\r\n", 405},
        {"GET /../ HTTP/1.1\r\nHost: x\r\n\r\n", 404},
        {"GET /../../etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n", 404},
        {"GET /%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n", 404},
        {"GET /live.css/../state.json HTTP/1.1\r\nHost: x\r\n\r\n", 404},
        {"GET //state.json HTTP/1.1\r\nHost: x\r\n\r\n", 404},
        {"GET /index.html HTTP/1.1\r\nHost: x\r\n\r\n", 404},
        {"GET /page/live.html HTTP/1.1\r\nHost: x\r\n\r\n", 404},
        {"GET /state.json/ HTTP/1.1\r\nHost: x\r\n\r\n", 404},
        {"GET C:\\Windows\\win.ini HTTP/1.1\r\nHost: x\r\n\r\n", 400},
        {"GET * HTTP/1.1\r\nHost: x\r\n\r\n", 400},
        {"GET http://127.0.0.1/state.json HTTP/1.1\r\nHost: x\r\n\r\n", 400},
        {"GET / HTTP/9.9\r\nHost: x\r\n\r\n", 400},
        {"GET /\r\n\r\n", 400},
        {"HELLO\r\n\r\n", 400},
        {"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nhello", 400},
        {"GET / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nNo colon here\r\n\r\n", 400},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.pszRequest);
        const CRawAnswer answer = RawRequest(m_server.Port(), row.pszRequest);
        EXPECT_EQ(answer.m_nStatus, row.nStatus);
        if (row.nStatus == 405) {
            EXPECT_EQ(answer.Field("allow"), "GET, HEAD");
        }
    }
    // Still serving.
    EXPECT_EQ(RawRequest(m_server.Port(), GetRequest("/state.json")).m_nStatus, 200);
}

TEST_F(LiveServerTest, RequestsFollowOneAnotherOnAKeptConnection) {
    CRawConnection connection;
    ASSERT_TRUE(connection.Connect(m_server.Port()));
    const std::string strRequest = "GET /state.json HTTP/1.1\r\nHost: x\r\n\r\n";
    connection.Send(strRequest + strRequest + "GET /nothing HTTP/1.1\r\nHost: x\r\n\r\n" + strRequest +
                    "GET /state.json HTTP/1.1\r\nConnection: close\r\n\r\n");
    const std::string strAll = connection.ReadToEnd(5s);
    std::vector<int> statuses;
    for (std::size_t nAt = strAll.find("HTTP/1.1 "); nAt != std::string::npos; nAt = strAll.find("HTTP/1.1 ", nAt + 1))
        statuses.push_back(std::stoi(strAll.substr(nAt + 9, 3)));
    EXPECT_EQ(statuses, (std::vector<int>{200, 200, 404, 200, 200}));
    EXPECT_TRUE(connection.ClosedByServer(0ms)); // after the one that asked for it
}

// ---- the event stream

TEST_F(LiveServerTest, AViewerGetsTheWholeStateAtOnceThenEachChangeOnly) {
    m_server.Publish(StateShowing("    0:30"));
    const auto viewer = Viewer();
    viewer->ReadUntil("\n\n", 5s);
    viewer->ReadUntil("event: state", 5s);
    viewer->ReadUntil("}\n\n", 5s);
    const CRawAnswer head = ParseRawAnswer(viewer->Received());
    EXPECT_EQ(head.Field("content-type"), "text/event-stream; charset=utf-8");
    EXPECT_EQ(head.Field("cache-control"), "no-store");
    EXPECT_THAT(viewer->Received(), HasSubstr("\r\n\r\nretry: 1000\n\n"));
    ASSERT_EQ(StateData(viewer->Received()), std::vector<std::string>{LiveStateJson(StateShowing("    0:30"))});
    EXPECT_TRUE(WaitForViewers(1));

    // The same state again is no change; a new one is.
    m_server.Publish(StateShowing("    0:30"));
    m_server.Publish(StateShowing("    0:29"));
    m_server.Publish(StateShowing("    0:29"));
    viewer->ReadUntil("0:29", 5s);
    viewer->ReadToEnd(300ms);
    EXPECT_EQ(StateData(viewer->Received()), (std::vector<std::string>{LiveStateJson(StateShowing("    0:30")),
                                                                       LiveStateJson(StateShowing("    0:29"))}));
}

TEST_F(LiveServerTest, AQuietStreamHasAHeartbeatEachSecond) {
    const auto viewer = Viewer();
    viewer->ReadToEnd(2500ms);
    int nHeartbeats = 0;
    for (const CEvent& event : Events(viewer->Received()))
        nHeartbeats += event.m_strName == "heartbeat" ? 1 : 0;
    EXPECT_GE(nHeartbeats, 2);
    EXPECT_LE(nHeartbeats, 3);
}

TEST_F(LiveServerTest, AViewerThatLeavesIsCountedOut) {
    {
        const auto first = Viewer();
        const auto second = Viewer();
        EXPECT_TRUE(WaitForViewers(2));
        first->Close();
        EXPECT_TRUE(WaitForViewers(1));
    }
    EXPECT_TRUE(WaitForViewers(0));
}

// ---- bounds

// "GET /aaa... HTTP/1.1\r\n" of exactly nBytes, the head ended.
std::string RequestWithLineOf(std::size_t nBytes) {
    const std::string strFrame = "GET / HTTP/1.1\r\n";
    return "GET /" + std::string(nBytes - strFrame.size(), 'a') + " HTTP/1.1\r\nConnection: close\r\n\r\n";
}

// A head of about nBytes: the request line, then one long header field.
std::string RequestWithHeadOf(std::size_t nBytes) {
    const std::string strStart = "GET /state.json HTTP/1.1\r\nConnection: close\r\nX-Padding: ";
    return strStart + std::string(nBytes - strStart.size() - 4, 'a') + "\r\n\r\n";
}

TEST_F(LiveServerTest, ARequestLineAndAHeadAreBounded) {
    const struct {
        std::string m_strRequest;
        int nStatus;
    } kRows[] = {
        {RequestWithLineOf(CLiveServer::kMaxRequestLineBytes), 404}, // read whole: no such path
        {RequestWithLineOf(CLiveServer::kMaxRequestLineBytes + 1), 414},
        {RequestWithLineOf(16 * 1024), 414},
        {RequestWithLineOf(1024 * 1024), 414},
        {RequestWithHeadOf(CLiveServer::kMaxHeaderBytes - 1024), 200},
        {RequestWithHeadOf(CLiveServer::kMaxHeaderBytes + 1024), 431},
        {RequestWithHeadOf(64 * 1024), 431},
        {RequestWithHeadOf(1024 * 1024), 431},
        // Many short fields as well as one long one.
        {"GET / HTTP/1.1\r\n" +
             [] {
                 std::string strFields;
                 for (int i = 0; i < 4000; ++i)
                     strFields += "X-" + std::to_string(i) + ": 1\r\n";
                 return strFields;
             }() +
             "\r\n",
         431},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.m_strRequest.size());
        EXPECT_EQ(RawRequest(m_server.Port(), row.m_strRequest).m_nStatus, row.nStatus);
    }
    // A line that comes a few bytes at a time is bounded as well.
    CRawConnection slow;
    ASSERT_TRUE(slow.Connect(m_server.Port()));
    const std::string strLong = RequestWithLineOf(CLiveServer::kMaxHeaderBytes + 10);
    for (std::size_t nAt = 0; nAt < strLong.size() && slow.Send(strLong.substr(nAt, 4096)); nAt += 4096)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(ParseRawAnswer(slow.ReadToEnd(5s)).m_nStatus, 414);
    EXPECT_EQ(RawRequest(m_server.Port(), GetRequest("/state.json")).m_nStatus, 200);
}

TEST_F(LiveServerTest, ConnectionsPastTheCapAreAnswered503AndPastTheRefusedOnesClosed) {
    std::vector<std::unique_ptr<CRawConnection>> viewers;
    for (int i = 0; i < CLiveServer::kMaxConnections; ++i)
        viewers.push_back(Viewer());
    ASSERT_TRUE(WaitForViewers(CLiveServer::kMaxConnections, 20s));

    const CRawAnswer refused = RawRequest(m_server.Port(), GetRequest("/state.json"));
    EXPECT_EQ(refused.m_nStatus, 503);
    EXPECT_EQ(refused.Field("retry-after"), "5");

    // While kMaxRefused are being answered (their answer sent, the rest of their request not yet read to its end),
    // the next one is closed without a word.
    std::vector<std::unique_ptr<CRawConnection>> refusedNow;
    for (int i = 0; i < CLiveServer::kMaxRefused; ++i) {
        refusedNow.push_back(std::make_unique<CRawConnection>());
        ASSERT_TRUE(refusedNow.back()->Connect(m_server.Port()));
        refusedNow.back()->ReadUntil("\r\n\r\n", 5s);
        EXPECT_EQ(ParseRawAnswer(refusedNow.back()->Received()).m_nStatus, 503);
    }
    CRawConnection beyond;
    ASSERT_TRUE(beyond.Connect(m_server.Port()));
    EXPECT_TRUE(beyond.ClosedByServer(1s));
    EXPECT_EQ(beyond.Received(), "");
    refusedNow.clear();

    // A viewer that leaves frees its place.
    viewers.pop_back();
    ASSERT_TRUE(WaitForViewers(CLiveServer::kMaxConnections - 1));
    EXPECT_EQ(RawRequest(m_server.Port(), GetRequest("/state.json")).m_nStatus, 200);
}

TEST_F(LiveServerTest, AThousandConnectionsOpenedAndDroppedLeaveEveryPlaceFree) {
    m_server.Publish(StateShowing("    0:10"));
    for (int i = 0; i < 1000; ++i) {
        CRawConnection connection;
        ASSERT_TRUE(connection.Connect(m_server.Port()));
        if (i % 3 == 1)
            connection.Send("GET /state.js");
        else if (i % 3 == 2)
            connection.Send("GET /events HTTP/1.1\r\n\r\n");
    }
    ASSERT_TRUE(WaitForViewers(0));
    // No place was kept by a connection that has gone: the cap's worth of viewers still come in.
    std::vector<std::unique_ptr<CRawConnection>> viewers;
    for (int i = 0; i < CLiveServer::kMaxConnections; ++i)
        viewers.push_back(Viewer());
    EXPECT_TRUE(WaitForViewers(CLiveServer::kMaxConnections, 20s));
    viewers.back()->ReadUntil("0:10", 5s);
    EXPECT_EQ(StateData(viewers.back()->Received()).size(), 1u);
}

TEST_F(LiveServerTest, AViewerThatDoesNotReadIsDroppedAndTheOthersKeepUp) {
    const auto reader = Viewer();
    const auto sleeper = Viewer(4096); // reads nothing, with the least room for what comes
    ASSERT_TRUE(WaitForViewers(2));
    std::atomic<bool> bStop{false};
    std::thread reading([&] {
        while (!bStop)
            reader->ReadSome(50ms);
    });
    // States of 8 KB each until the sleeper's connection and its backlog are full: a few MB at most.
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    for (int i = 0; m_server.ViewerCount() == 2 && std::chrono::steady_clock::now() < deadline; ++i) {
        const std::string strNumber = std::to_string(i);
        m_server.Publish(StateShowing(std::string(8192 - strNumber.size(), ' ') + strNumber));
        std::this_thread::sleep_for(1ms);
    }
    bStop = true;
    reading.join();
    EXPECT_EQ(m_server.ViewerCount(), 1) << "the sleeper was not dropped";
    // The one dropped was the sleeper: the reader still gets each new state.
    m_server.Publish(StateShowing("   after"));
    reader->ReadUntil("   after\"", 10s);
    const std::vector<std::string> states = StateData(reader->Received());
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back(), LiveStateJson(StateShowing("   after")));
    EXPECT_TRUE(sleeper->ClosedByServer(10s));
}

TEST_F(LiveServerTest, PublishNeverWaitsForViewersThatDoNotRead) {
    std::vector<std::unique_ptr<CRawConnection>> sleepers;
    for (int i = 0; i < 50; ++i)
        sleepers.push_back(Viewer(4096));
    ASSERT_TRUE(WaitForViewers(50));
    auto slowest = std::chrono::steady_clock::duration::zero();
    for (int i = 0; i < 2000; ++i) {
        const auto before = std::chrono::steady_clock::now();
        m_server.Publish(StateShowing(std::string(8000, ' ') + std::to_string(i)));
        slowest = std::max(slowest, std::chrono::steady_clock::now() - before);
    }
    // A copy under a lock: far below a millisecond; the margin is for a busy machine.
    EXPECT_LT(slowest, 100ms);
}

TEST_F(LiveServerTest, AConnectionThatSaysNothingIsClosedAfterTheRequestTime) {
    CRawConnection silent;
    ASSERT_TRUE(silent.Connect(m_server.Port()));
    const auto connected = std::chrono::steady_clock::now();
    EXPECT_TRUE(silent.ClosedByServer(CLiveServer::kRequestTimeout + 5s));
    const auto lasted = std::chrono::steady_clock::now() - connected;
    EXPECT_GE(lasted, CLiveServer::kRequestTimeout - 1s);
    EXPECT_EQ(silent.Received(), "");
}

TEST_F(LiveServerTest, AnAnswerThatIsNotReadIsGivenUpAfterTheWriteTime) {
    // Fonts asked for at once, 9 MB of them, none read: the server's write stalls once the connection is full.
    constexpr int kRequests = 400;
    const std::size_t nFontBytes = EmbeddedResFile("fonts/DSEG7Classic-Italic.ttf").size();
    CRawConnection stalled;
    ASSERT_TRUE(stalled.Connect(m_server.Port(), 4096));
    std::string strRequests;
    for (int i = 0; i < kRequests; ++i)
        strRequests += "GET /display.ttf HTTP/1.1\r\nHost: x\r\n\r\n";
    ASSERT_TRUE(stalled.Send(strRequests));
    // Meanwhile the others are served.
    EXPECT_EQ(RawRequest(m_server.Port(), GetRequest("/state.json")).m_nStatus, 200);
    std::this_thread::sleep_for(CLiveServer::kWriteTimeout + 2s);
    // What was on its way is there, then the end: far from all of them.
    EXPECT_TRUE(stalled.ClosedByServer(5s));
    EXPECT_LT(stalled.Received().size(), kRequests * nFontBytes / 2);
}

TEST_F(LiveServerTest, HeadOfTheStreamIsItsHeadAlone) {
    CRawConnection head;
    ASSERT_TRUE(head.Connect(m_server.Port()));
    head.Send(GetRequest("/events", "HEAD"));
    EXPECT_TRUE(head.ClosedByServer(5s));
    const CRawAnswer answer = ParseRawAnswer(head.Received());
    EXPECT_EQ(answer.m_nStatus, 200);
    EXPECT_EQ(answer.Field("content-type"), "text/event-stream; charset=utf-8");
    EXPECT_EQ(answer.m_strBody, "");
    EXPECT_EQ(m_server.ViewerCount(), 0);
}

// ---- starting and stopping

TEST(LiveServerStart, APortInUseOrAnAddressNotOfThisComputerIsAClearError) {
    CLiveServer first;
    ASSERT_TRUE(first.Start("127.0.0.1", 0).m_bOk);
    CLiveServer second;
    const CLiveServer::CStartResult taken = second.Start("127.0.0.1", first.Port());
    EXPECT_FALSE(taken.m_bOk);
    EXPECT_EQ(taken.m_strError, "in use");
    EXPECT_FALSE(second.IsRunning());
    EXPECT_EQ(second.Port(), 0);

    const CLiveServer::CStartResult notHere = second.Start("192.0.2.1", 0); // a documentation address
    EXPECT_FALSE(notHere.m_bOk);
    EXPECT_EQ(notHere.m_strError, "not an address of this computer");

    const CLiveServer::CStartResult notAnAddress = second.Start("venue.example", 0);
    EXPECT_FALSE(notAnAddress.m_bOk);
    EXPECT_EQ(notAnAddress.m_strError, "\"venue.example\" is not an IP address");
}

TEST(LiveServerStart, StopEndsEveryConnectionAndTheNextStartServesTheLastState) {
    CLiveServer server;
    ASSERT_TRUE(server.Start("127.0.0.1", 0).m_bOk);
    const unsigned short nPort = server.Port();
    server.Publish(StateShowing("12:00:00"));
    CRawConnection viewer;
    ASSERT_TRUE(viewer.Connect(nPort));
    viewer.Send(GetRequest("/events"));
    viewer.ReadUntil("12:00:00", 5s);

    server.Stop();
    EXPECT_TRUE(viewer.ClosedByServer(2s));
    EXPECT_FALSE(server.IsRunning());
    EXPECT_EQ(server.ViewerCount(), 0);
    server.Stop(); // twice is harmless
    EXPECT_EQ(RawRequest(nPort, GetRequest("/state.json"), 1s).m_nStatus, 0);

    // The same port again at once, though its last connections are still winding down.
    server.Publish(StateShowing("12:00:01"));
    const CLiveServer::CStartResult again = server.Start("127.0.0.1", nPort);
    ASSERT_TRUE(again.m_bOk) << again.m_strError;
    EXPECT_EQ(RawRequest(nPort, GetRequest("/state.json")).m_strBody, LiveStateJson(StateShowing("12:00:01")));
}

} // namespace
