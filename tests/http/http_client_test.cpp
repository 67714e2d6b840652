// HttpClient against a scripted loopback peer: exact request bytes, every
// framing, redirects, error statuses and faults.

#include "http/http_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/byte_string.h"
#include "http/http_errors.h"
#include "net/net_error.h"
#include "support/expect_throw.h"
#include "support/scripted_peer.h"

namespace corvasse {
namespace {

using test::PeerStep;
using test::ScriptedPeer;
namespace peer = test::peer;
using Steps = std::vector<PeerStep>;
using Clock = std::chrono::steady_clock;

// The program's GET head: the request line, three headers and the empty line.
const Steps kReadHead = peer::ReadLines(5);

std::string Head(const std::string& target, int port) {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
           "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Corvasse)\r\n\r\n";
}

std::string Url(const ScriptedPeer& server, const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(server.Port()) + path;
}

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

class HttpClientTest : public ::testing::Test {
protected:
    HttpClientTest() {
        client.ReadTimeout = test::kClientReadTimeoutMs;
        client.HandleRedirects = true;
        client.OnStatus = [this](Status, const std::string& text) { statuses.push_back(text); };
        client.OnWorkBegin = [this](WorkMode mode, int64_t max) {
            if (mode == WorkMode::Read) workBegins.push_back(max);
        };
        client.OnWorkEnd = [this](WorkMode mode) {
            if (mode == WorkMode::Read) ++workEnds;
        };
        client.OnRedirect = [this](std::string& dest, int count, bool&, HttpMethod&) {
            redirects.push_back(dest + " #" + std::to_string(count));
        };
    }

    int Count(const std::string& status) const {
        return static_cast<int>(std::count(statuses.begin(), statuses.end(), status));
    }

    HttpClient client;
    std::vector<std::string> statuses;
    std::vector<int64_t> workBegins;
    int workEnds = 0;
    std::vector<std::string> redirects;
};

TEST_F(HttpClientTest, SendsTheExactRequestHeadAndReadsALengthBody) {
    EXPECT_EQ(client.ResponseCode(), -1);
    EXPECT_EQ(client.ResponseText(), "");
    ScriptedPeer server(peer::Concat({kReadHead, {peer::Send("HTTP/1.1 200 OK\r\nContent-Length:  5 \r\n\r\nhello")}}));
    EXPECT_EQ(client.Get(Url(server, "/a/b.html?x=1&y=%20#frag")), "hello");
    client.Disconnect();
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.Received(), Head("/a/b.html?x=1&y=%20", server.Port()));
    EXPECT_EQ(server.Failure(), "");
    EXPECT_EQ(client.ResponseText(), "HTTP/1.1 200 OK");
    EXPECT_EQ(client.ResponseCode(), 200);
    EXPECT_EQ(client.RedirectCounter, 0);
    EXPECT_EQ(workBegins, (std::vector<int64_t>{5}));
    EXPECT_EQ(workEnds, 1);
}

TEST_F(HttpClientTest, BareHostAsksForTheRootAndPort80IsLeftOutOfHost) {
    ScriptedPeer server(peer::Concat({kReadHead, {peer::Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")}}));
    EXPECT_EQ(client.Get(Url(server, "")), "ok");
    EXPECT_EQ(client.Request.RequestTarget, "/");
    client.Disconnect();
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.Received(), Head("/", server.Port()));

    // Nothing listens on the loopback port 80 in the tests; the head is
    // prepared before the connect fails.
    EXPECT_THROW(client.Get("http://127.0.0.1/x"), NetError);
    EXPECT_EQ(client.Request.Host, "127.0.0.1");
    EXPECT_EQ(client.ResponseText(), "");  // the failed fetch read none
}

// A fetch that fails before any status line reports no response, not the
// one an earlier fetch read: the alert prints these two.
TEST_F(HttpClientTest, FetchFailingBeforeAStatusLineLeavesNoResponse) {
    int refusedPort;
    {
        ScriptedPeer closed({});
        refusedPort = closed.Port();
    }
    client.ReadTimeout = 300;
    const struct {
        const char* name;
        bool earlierFetch;
        Steps failing;  // empty: the connection is refused
    } cases[] = {
        {"first fetch refused", false, {}},  // first: the client never read a response
        {"refused", true, {}},
        {"closed before the status line", true, peer::Concat({kReadHead, {peer::Close()}})},
        {"read time-out before the status line", true, peer::Concat({kReadHead, {peer::Sleep(1500)}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.earlierFetch) {
            ScriptedPeer earlier(
                peer::Concat({kReadHead, {peer::Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")}}));
            EXPECT_EQ(client.Get(Url(earlier, "/")), "ok");
            EXPECT_EQ(client.ResponseCode(), 200);
            client.Disconnect();
        }
        if (c.failing.empty()) {
            EXPECT_THROW(client.Get("http://127.0.0.1:" + std::to_string(refusedPort) + "/"), SocketError);
        } else {
            ScriptedPeer server(c.failing);
            EXPECT_THROW(client.Get(Url(server, "/")), NetError);
        }
        EXPECT_EQ(client.ResponseText(), "");
        EXPECT_EQ(client.ResponseCode(), -1);
    }
}

TEST_F(HttpClientTest, SkipsContinueResponses) {
    ScriptedPeer server(peer::Concat({kReadHead,
                                      {peer::Send("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\nX: y\r\n\r\n"
                                                  "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")}}));
    EXPECT_EQ(client.Get(Url(server, "/")), "ok");
    EXPECT_EQ(client.ResponseCode(), 200);
}

// Every split of a chunked body is the decoder's test; this one sends it
// through a real socket whole and a byte at a time.
TEST_F(HttpClientTest, ChunkedBodyWholeAndTrickled) {
    const std::string response =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n"
        "0C;name=value\r\n, big world!\r\n0\r\n\r\n";
    for (bool trickle : {false, true}) {
        statuses.clear();
        workBegins.clear();
        workEnds = 0;
        ScriptedPeer server(peer::Concat({kReadHead, {trickle ? peer::Trickle(response, 1) : peer::Send(response)}}));
        EXPECT_EQ(client.Get(Url(server, "/")), "hello, big world!");
        EXPECT_EQ(Count("Chunk Started"), 1);
        // One work bracket per chunk.
        EXPECT_EQ(workBegins, (std::vector<int64_t>{5, 12}));
        EXPECT_EQ(workEnds, 2);
        client.Disconnect();
    }
}

TEST_F(HttpClientTest, BodyUntilCloseAndEmptyBodies) {
    {
        ScriptedPeer server(
            peer::Concat({kReadHead, {peer::Send("HTTP/1.0 200 OK\r\n\r\nall of "), peer::Send("it"), peer::Close()}}));
        EXPECT_EQ(client.Get(Url(server, "/")), "all of it");
        EXPECT_EQ(workBegins, (std::vector<int64_t>{0}));
    }
    {
        // 204 reads nothing even when bytes follow; a length of 0 reads nothing.
        ScriptedPeer server(peer::Concat({kReadHead, {peer::Send("HTTP/1.1 204 No Content\r\n\r\njunk")}}));
        EXPECT_EQ(client.Get(Url(server, "/")), "");
        client.Disconnect();
    }
    {
        ScriptedPeer server(peer::Concat({kReadHead, {peer::Send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n")}}));
        EXPECT_EQ(client.Get(Url(server, "/")), "");
    }
}

TEST_F(HttpClientTest, BodyCutShortIsAnError) {
    {
        ScriptedPeer server(peer::Concat(
            {kReadHead, {peer::Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhalf"), peer::Close()}}));
        EXPECT_THROW(client.Get(Url(server, "/")), ConnClosedGracefullyError);
    }
    {
        // The status line arrived, then the server went away.
        ScriptedPeer server(peer::Concat({kReadHead, {peer::Send("HTTP/1.1 200 OK\r\nServer: x\r\n"), peer::Close()}}));
        test::ExpectThrowWithMessage<NetError>([&] { client.Get(Url(server, "/")); }, "Undefined situation");
    }
    {
        // Cut inside a header line: what came of that line is not the error's body.
        ScriptedPeer server(peer::Concat({kReadHead, {peer::Send("HTTP/1.1 503 Busy\r\nRetry-Af"), peer::Close()}}));
        auto e =
            test::ExpectThrowWithMessage<HttpProtocolError>([&] { client.Get(Url(server, "/")); }, "HTTP/1.1 503 Busy");
        if (e) {
            EXPECT_EQ(e->ResponseBody(), "");
        }
    }
    {
        ScriptedPeer server(peer::Concat({kReadHead, {peer::Close()}}));
        EXPECT_THROW(client.Get(Url(server, "/")), ConnClosedGracefullyError);
    }
}

TEST_F(HttpClientTest, OverlongLinesAndSilentServers) {
    {
        // The parsers take the connection's line limit (their own test has
        // the byte it ends at; the hostile peers the default limit).
        client.MaxLineLength = 8;
        ScriptedPeer server(peer::Concat({kReadHead, {peer::Send("HTTP/1.1 200 OK and on and on")}}));
        test::ExpectThrowWithMessage<MaxLineLengthExceededError>([&] { client.Get(Url(server, "/")); },
                                                                 "Max line length exceeded.");
        EXPECT_FALSE(client.IsConnected());
        client.MaxLineLength = kDefaultMaxLineLength;
    }
    {
        ScriptedPeer server(peer::Concat({kReadHead, {peer::Sleep(2000)}}));
        client.ReadTimeout = 300;
        auto start = Clock::now();
        EXPECT_THROW(client.Get(Url(server, "/")), ReadTimeoutError);
        EXPECT_LT(ElapsedMs(start), 1500);
        EXPECT_FALSE(client.IsConnected());
    }
}

TEST_F(HttpClientTest, FollowsARelativeRedirectOnTheSameConnection) {
    ScriptedPeer server(peer::Concat({kReadHead,
                                      {peer::Send("HTTP/1.1 302 Found\r\nLocation: ../b/next.html#part\r\n"
                                                  "Content-Length: 3\r\n\r\nabc")},
                                      kReadHead,
                                      {peer::Send("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ndone")}}));
    EXPECT_EQ(client.Get(Url(server, "/a/start.html")), "done");
    client.Disconnect();
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.ConnectionCount(), 1u);
    EXPECT_EQ(server.Received(), Head("/a/start.html", server.Port()) + Head("/b/next.html", server.Port()));
    EXPECT_EQ(redirects, (std::vector<std::string>{"../b/next.html#part #1"}));
    EXPECT_EQ(client.RedirectCounter, 0);
}

TEST_F(HttpClientTest, FollowsAnAbsoluteRedirectToAnotherServer) {
    ScriptedPeer second(peer::Concat({kReadHead, {peer::Send("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nsecond")}}));
    ScriptedPeer first(peer::Concat(
        {kReadHead,
         {peer::Send("HTTP/1.1 301 Moved\r\nLocation: " + Url(second, "/x") + "\r\nContent-Length: 0\r\n\r\n")}}));
    EXPECT_EQ(client.Get(Url(first, "/")), "second");
    client.Disconnect();
    ASSERT_TRUE(first.WaitClosed());
    ASSERT_TRUE(second.WaitClosed());
    EXPECT_EQ(second.Received(), Head("/x", second.Port()));
}

TEST_F(HttpClientTest, A200WithLocationIsARedirectAndAHostlessLocationKeepsTheHost) {
    ScriptedPeer server(peer::Concat({kReadHead,
                                      {peer::Send("HTTP/1.1 200 OK\r\nLocation: http://:@PORT@/other.html\r\n"
                                                  "Content-Length: 4\r\n\r\nskip")},
                                      kReadHead,
                                      {peer::Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nother")}}));
    client.OnRedirect = [&](std::string& dest, int, bool&, HttpMethod&) {
        dest.replace(dest.find("@PORT@"), 6, std::to_string(server.Port()));
    };
    EXPECT_EQ(client.Get(Url(server, "/")), "other");
    client.Disconnect();
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.Received(), Head("/", server.Port()) + Head("/other.html", server.Port()));
}

TEST_F(HttpClientTest, FollowsFourteenRedirectsAndStopsAtTheFifteenth) {
    Steps script;
    for (int i = 0; i < 15; ++i) {
        script = peer::Concat(
            {script, kReadHead, {peer::Send("HTTP/1.1 302 Found\r\nLocation: /r\r\nContent-Length: 0\r\n\r\n")}});
    }
    ScriptedPeer server(script);
    EXPECT_EQ(client.Get(Url(server, "/r")), "");
    ASSERT_EQ(redirects.size(), 15u);
    EXPECT_EQ(redirects.back(), "/r #15");
    EXPECT_EQ(client.Response.Location, "/r");
    EXPECT_EQ(client.RedirectCounter, 0);
    client.Disconnect();
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.Failure(), "");
}

TEST_F(HttpClientTest, UnhandledRedirectIsAProtocolError) {
    client.HandleRedirects = false;
    ScriptedPeer server(peer::Concat({kReadHead,
                                      {peer::Send("HTTP/1.1 302 Found\r\nLocation: /x\r\n"
                                                  "Content-Length: 5\r\n\r\nmoved")}}));
    auto e =
        test::ExpectThrowWithMessage<HttpProtocolError>([&] { client.Get(Url(server, "/")); }, "HTTP/1.1 302 Found");
    if (e) {
        EXPECT_EQ(e->ReplyCode, 302);
        EXPECT_EQ(e->ResponseBody(), "moved");
    }
    EXPECT_EQ(redirects, (std::vector<std::string>{"/x #1"}));
}

TEST_F(HttpClientTest, RedirectBodyThatNeverEndsIsDroppedAfterTheDrainTime) {
    client.ReadTimeout = 120000;
    client.RedirectDrainTimeout = std::chrono::milliseconds(300);
    ScriptedPeer server(
        peer::Concat({kReadHead,
                      {peer::Send("HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 100\r\n\r\nabc"),
                       peer::Sleep(500), peer::Accept()},
                      kReadHead,
                      {peer::Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")}}));
    auto start = Clock::now();
    EXPECT_EQ(client.Get(Url(server, "/")), "ok");
    long elapsed = ElapsedMs(start);
    EXPECT_GE(elapsed, 300);
    EXPECT_LT(elapsed, 60000) << "the drain time, not the read time-out, ended the wait";
    EXPECT_EQ(client.ReadTimeout, 120000);
}

// Each case: the server's responses on one connection, and what the fetches
// of the program (one per entry) return. None may leave a byte of a
// response behind or wait for a body that cannot come.
TEST_F(HttpClientTest, EachResponseEndsWhereItsFramingSays) {
    const std::string next = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
    struct Case {
        const char* name;
        std::string response;
        std::vector<std::string> bodies;
    } cases[] = {
        {"chunked wins over Content-Length",
         "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
         {"hello", "ok"}},
        {"204 with Location", "HTTP/1.1 204 No Content\r\nLocation: /next\r\n\r\n", {"ok"}},
        {"304 with Location", "HTTP/1.1 304 Not Modified\r\nLocation: /next\r\n\r\n", {"ok"}},
        {"101 with Location", "HTTP/1.1 101 Switching\r\nLocation: /next\r\n\r\n", {"ok"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer server(peer::Concat({kReadHead, {peer::Send(c.response)}, kReadHead, {peer::Send(next)}}));
        for (const std::string& body : c.bodies) EXPECT_EQ(client.Get(Url(server, "/")), body);
        client.Disconnect();
        ASSERT_TRUE(server.WaitClosed());
        EXPECT_EQ(server.ConnectionCount(), 1u);
        EXPECT_EQ(server.Failure(), "");
    }
}

TEST_F(HttpClientTest, ErrorStatusesCarryTheirBody) {
    ScriptedPeer server(peer::Concat({kReadHead,
                                      {peer::Send("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot here!")},
                                      kReadHead,
                                      {peer::Send("HTTP/1.1 304 Not Modified\r\n\r\n")}}));
    auto e = test::ExpectThrowWithMessage<HttpProtocolError>([&] { client.Get(Url(server, "/missing")); },
                                                             "HTTP/1.1 404 Not Found");
    if (e) {
        EXPECT_EQ(e->ReplyCode, 404);
        EXPECT_EQ(e->ResponseBody(), "not here!");
    }
    EXPECT_EQ(client.ResponseCode(), 404);
    // The error response allowed keep-alive: the next fetch reuses the connection.
    test::ExpectThrowWithMessage<HttpProtocolError>([&] { client.Get(Url(server, "/cached")); },
                                                    "HTTP/1.1 304 Not Modified");
    client.Disconnect();
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.ConnectionCount(), 1u);
}

TEST_F(HttpClientTest, ErrorBodyThatNeverArrivesRaisesTheReadTimeout) {
    client.ReadTimeout = 120000;
    client.ErrorBodyTimeout = std::chrono::milliseconds(300);
    ScriptedPeer server(peer::Concat(
        {kReadHead, {peer::Send("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\n"), peer::Sleep(4000)}}));
    auto start = Clock::now();
    EXPECT_THROW(client.Get(Url(server, "/")), ReadTimeoutError);
    long elapsed = ElapsedMs(start);
    EXPECT_GE(elapsed, 300);
    EXPECT_LT(elapsed, 3000);
    EXPECT_EQ(client.ReadTimeout, 120000);
    EXPECT_EQ(client.ResponseCode(), 404);
}

TEST_F(HttpClientTest, EveryFetchCountsItsRequestsFromZero) {
    ScriptedPeer server(peer::Concat({kReadHead,
                                      {peer::Send("HTTP/1.1 302 Found\r\nLocation: /2\r\nContent-Length: 0\r\n\r\n")},
                                      kReadHead,
                                      {peer::Send("HTTP/1.1 302 Found\r\nLocation: /3\r\nContent-Length: 0\r\n\r\n")},
                                      kReadHead,
                                      {peer::Send("HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n")},
                                      kReadHead,
                                      {peer::Send("HTTP/1.1 302 Found\r\nLocation: /5\r\nContent-Length: 0\r\n\r\n")},
                                      kReadHead,
                                      {peer::Send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n")}}));
    EXPECT_THROW(client.Get(Url(server, "/1")), HttpProtocolError);
    EXPECT_EQ(client.RedirectCounter, 3);
    EXPECT_EQ(client.Get(Url(server, "/4")), "");
    EXPECT_EQ(redirects, (std::vector<std::string>{"/2 #1", "/3 #2", "/5 #1"}));
    EXPECT_EQ(client.RedirectCounter, 0);

    // Fourteen failed fetches (of any kind) do not use up the next fetch's redirects.
    int refused;
    {
        ScriptedPeer closed({});
        refused = closed.Port();
    }
    for (int i = 0; i < 14; ++i)
        EXPECT_THROW(client.Get("http://127.0.0.1:" + std::to_string(refused) + "/"), SocketError);
    ScriptedPeer back(peer::Concat({kReadHead,
                                    {peer::Send("HTTP/1.1 302 Found\r\nLocation: /page\r\nContent-Length: 0\r\n\r\n")},
                                    kReadHead,
                                    {peer::Send("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\npage")}}));
    EXPECT_EQ(client.Get(Url(back, "/")), "page");
}

TEST_F(HttpClientTest, EveryFetchStartsFromItsOwnAddress) {
    const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
    ScriptedPeer first(peer::Concat({kReadHead, {peer::Send(ok)}}));
    ScriptedPeer second(peer::Concat({kReadHead, {peer::Send(ok), peer::Accept()}, kReadHead, {peer::Send(ok)}}));
    // Typed without "http://": the host and path of the text, on the first
    // fetch and after another address was fetched.
    const std::string bare = "127.0.0.1:" + std::to_string(second.Port()) + "/b/page";
    EXPECT_EQ(client.Get(bare), "ok");
    client.Disconnect();
    EXPECT_EQ(client.Get(Url(first, "/a/x")), "ok");
    EXPECT_EQ(client.Get(bare), "ok");
    client.Disconnect();
    ASSERT_TRUE(second.WaitClosed());
    EXPECT_EQ(second.Received(0), Head("/b/page", second.Port()));
    EXPECT_EQ(second.Received(1), Head("/b/page", second.Port()));

    // A port that is not a number fails that fetch only.
    EXPECT_THROW(client.Get("http://127.0.0.1:8o8o/"), ConversionError);
    ScriptedPeer third(peer::Concat({kReadHead, {peer::Send(ok)}}));
    EXPECT_EQ(client.Get("127.0.0.1:" + std::to_string(third.Port())), "ok");
}

TEST_F(HttpClientTest, KeptConnectionIsReusedOrReopened) {
    auto response = [](const std::string& body) {
        return peer::Send("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n" + body);
    };
    const Steps closedWhileIdle = peer::Concat({kReadHead, {response("a")}, kReadHead, {response("b"), peer::Close()}});
    const Steps resetWhileIdle = peer::Concat(
        {closedWhileIdle,
         {peer::Accept()},
         kReadHead,
         {peer::Send("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 4\r\n\r\ncEXTRA"), peer::Accept()},
         kReadHead,
         {response("d"), peer::Reset()}});
    ScriptedPeer server(peer::Concat({resetWhileIdle, {peer::Accept()}, kReadHead, {response("e")}}));
    EXPECT_EQ(client.Get(Url(server, "/")), "a");
    EXPECT_EQ(client.Get(Url(server, "/")), "b");
    // The server closed the kept connection: polling notices, and the client reconnects.
    ASSERT_TRUE(server.WaitSteps(closedWhileIdle.size()));
    EXPECT_EQ(client.Get(Url(server, "/")), "cEXT");
    // "Connection: close" ends the connection after the response.
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(client.Get(Url(server, "/")), "d");
    // Reset (by the server or a middlebox) while idle: no error, a new connection.
    ASSERT_TRUE(server.WaitSteps(resetWhileIdle.size()));
    EXPECT_EQ(client.Get(Url(server, "/")), "e");
    client.Disconnect();
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.ConnectionCount(), 4u);
}

TEST_F(HttpClientTest, UnaskedBytesOnAKeptConnectionForceANewOne) {
    // The server keeps the first connection open a while, so only the stray
    // bytes can make the client leave it.
    ScriptedPeer server(
        peer::Concat({kReadHead,
                      {peer::Send("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\naHTTP/1.1 200 OK\r\n\r\n")},
                      {peer::Sleep(300), peer::Accept()},
                      kReadHead,
                      {peer::Send("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nb")}}));
    EXPECT_EQ(client.Get(Url(server, "/")), "a");
    EXPECT_EQ(client.Get(Url(server, "/")), "b");
    client.Disconnect();
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.ConnectionCount(), 2u);
}

TEST_F(HttpClientTest, ABodyNobodyAskedForIsStillReadOff) {
    ScriptedPeer server(peer::Concat(
        {kReadHead,
         {peer::Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n"), peer::Sleep(100), peer::Send("abc\r\n")},
         kReadHead,
         {peer::Send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nxyz")}}));
    client.SendRequest(HttpMethod::Get, Url(server, "/"), nullptr, nullptr);
    EXPECT_EQ(client.Get(Url(server, "/")), "xyz");
    client.Disconnect();
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.ConnectionCount(), 1u);
}

TEST_F(HttpClientTest, BasicChallengeLeavesEmptyCredentialsOnLaterRequests) {
    ScriptedPeer server(peer::Concat({kReadHead,
                                      {peer::Send("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: basic realm=\"x\"\r\n"
                                                  "Content-Length: 4\r\n\r\nauth")},
                                      // The head now carries an Authorization line.
                                      peer::ReadLines(6),
                                      {peer::Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")}}));
    EXPECT_THROW(client.Get(Url(server, "/")), HttpProtocolError);
    EXPECT_EQ(client.Get(Url(server, "/")), "ok");
    client.Disconnect();
    ASSERT_TRUE(server.WaitClosed());
    const std::string second = server.Received().substr(Head("/", server.Port()).size());
    EXPECT_EQ(second, "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                          "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Corvasse)\r\n"
                          "Authorization: Basic Og==\r\n\r\n");
}

TEST_F(HttpClientTest, UrlsThatCannotBeFetched) {
    test::ExpectThrowWithMessage<UnknownProtocolError>([&] { client.Get("ftp://127.0.0.1/x"); }, "");
    test::ExpectThrowWithMessage<ConversionError>([&] { client.Get("http://127.0.0.1:8o8o/"); },
                                                  "'8o8o' is not a valid integer value");
    EXPECT_THROW(client.Get("https://127.0.0.1:1/"), IOHandlerPropInvalidError);
    EXPECT_EQ(client.ResponseCode(), -1);
}

}  // namespace
}  // namespace corvasse
