// HttpClient against servers that misbehave on purpose: lines without end,
// trickles, bodies without end or with absurd sizes, bodies cut short and
// redirects in a circle. Every fetch must end in bounded time and memory with
// its error; each test prints how long the fetch took and how much the
// process's peak memory grew.

#include "http/http_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/byte_sink.h"
#include "http/http_errors.h"
#include "net/net_error.h"
#include "net/tls_error.h"
#include "support/cost_meter.h"
#include "support/expect_throw.h"
#include "support/fetched_text.h"
#include "support/scripted_peer.h"

namespace corvasse {
namespace {

using test::PeerStep;
using test::ScriptedPeer;
namespace peer = test::peer;

// A loopback server that answers the first request with a head and then
// repeats a block (by default 64 KiB of body bytes) until the client goes away.
class EndlessServer {
public:
    explicit EndlessServer(std::string head, std::string block = std::string(64 * 1024, 'z'))
        : head_(std::move(head)), block_(std::move(block)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ADD_FAILURE() << "cannot listen on loopback";
            return;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~EndlessServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        ::close(listener_);
    }
    int Port() const { return port_; }
    int64_t BodyBytesSent() const { return sent_; }

private:
    void Run() {
        pollfd waiting{listener_, POLLIN, 0};
        while (!stop_ && ::poll(&waiting, 1, 50) == 0) {}
        if (stop_) return;
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        // The request head ends with an empty line; its exact bytes do not matter here.
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            request.append(buffer, static_cast<size_t>(n));
        }
        bool ok = ::send(fd, head_.data(), head_.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(head_.size());
        while (ok && !stop_) {
            pollfd writable{fd, POLLOUT, 0};
            if (::poll(&writable, 1, 50) <= 0) continue;
            const ssize_t n = ::send(fd, block_.data(), block_.size(), MSG_NOSIGNAL);
            ok = n > 0;
            if (ok) sent_ += n;
        }
        ::close(fd);
    }

    std::string head_;
    std::string block_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int64_t> sent_{0};
    std::thread thread_;
};

// The program's GET head: the request line, three headers and the empty line.
const std::vector<PeerStep> kReadHead = peer::ReadLines(5);

class HostilePeerTest : public ::testing::Test {
protected:
    HostilePeerTest() { client.ReadTimeout = test::kClientReadTimeoutMs; }

    std::string Url(int port, const std::string& path = "/") {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }

    // Fetches and expects the fetch to end with that error and message.
    template <typename Error>
    void FetchFails(const std::string& url, std::string_view message) {
        test::ExpectThrowWithMessage<Error>([&] { test::FetchText(client, url); }, message);
    }

    HttpClient client;
};

TEST_F(HostilePeerTest, StatusLineOrHeaderWithoutEndHitsTheLineLimit) {
    const std::string endless(4 * kDefaultMaxLineLength, 'x');
    for (const std::string& start : {std::string("HTTP/1.1 200 OK"), std::string("HTTP/1.1 200 OK\r\nX-Header: ")}) {
        ScriptedPeer server(peer::Concat({kReadHead, {peer::Send(start + endless), peer::ReadUntilClose()}}));
        test::CostMeter measure;
        FetchFails<MaxLineLengthExceededError>(Url(server.Port()), "Max line length exceeded.");
        measure.Print(start.size() > 20 ? "endless header" : "endless status line");
        EXPECT_LT(measure.ElapsedMs(), 3000);
        EXPECT_FALSE(client.IsConnected());
        EXPECT_TRUE(server.WaitClosed());
        EXPECT_EQ(server.Failure(), "");
    }
}

TEST_F(HostilePeerTest, EndlessHeadersStopAtTheHeaderLimit) {
    // Every line is short enough on its own; together they never end.
    std::string fillerLines;
    while (fillerLines.size() < 64 * 1024) fillerLines += "X-Filler: " + std::string(1000, 'f') + "\r\n";
    std::string interimResponses;
    while (interimResponses.size() < 64 * 1024) interimResponses += "HTTP/1.1 100 Continue\r\n\r\n";
    struct Case {
        const char* what;
        std::string head;
        std::string block;
    };
    for (const Case& c : {Case{"endless header lines", "HTTP/1.1 200 OK\r\n", fillerLines},
                          Case{"endless 100 Continue responses", "", interimResponses}}) {
        SCOPED_TRACE(c.what);
        EndlessServer server(c.head, c.block);
        test::CostMeter measure;
        FetchFails<ResponseHeadersTooLargeError>(Url(server.Port()), "Response headers exceed 262144 bytes.");
        measure.Print(c.what);
        EXPECT_LT(measure.ElapsedMs(), 3000);
        measure.ExpectPeakGrowthBelowMiB(16);
        EXPECT_FALSE(client.IsConnected());
    }
}

TEST_F(HostilePeerTest, FetchTimeoutEndsWhatNoSingleWaitWould) {
    // The watch's own read time-out: no single wait ever comes near it.
    client.ReadTimeout = 120000;
    client.FetchTimeout = std::chrono::milliseconds(1500);
    {
        // Header lines a byte at a time, each byte well within the read time-out.
        ScriptedPeer server(peer::Concat(
            {kReadHead,
             {peer::Trickle("HTTP/1.1 200 OK\r\n" + std::string(200, 'X') + ": y\r\n", 50), peer::Close()}}));
        test::CostMeter measure;
        FetchFails<FetchTimeoutError>(Url(server.Port()), "Response not complete within 1500 ms.");
        measure.Print("header trickle, fetch time-out 1500 ms");
        EXPECT_GE(measure.ElapsedMs(), 1400);
        EXPECT_LT(measure.ElapsedMs(), 3500);
        EXPECT_FALSE(client.IsConnected());
    }
    {
        // A body that streams as fast as loopback allows, without an end.
        EndlessServer server("HTTP/1.1 200 OK\r\n\r\n");
        client.FetchTimeout = std::chrono::milliseconds(300);
        test::CostMeter measure;
        FetchFails<FetchTimeoutError>(Url(server.Port()), "Response not complete within 300 ms.");
        measure.Print("endless fast body, fetch time-out 300 ms");
        EXPECT_LT(measure.ElapsedMs(), 2500);
        EXPECT_FALSE(client.IsConnected());
    }
}

TEST_F(HostilePeerTest, FetchTimeoutCountsEachFetchAfresh) {
    // Two fetches on one kept connection, the second begun after the first
    // fetch's time would have run out.
    client.FetchTimeout = std::chrono::milliseconds(400);
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
    ScriptedPeer server(
        peer::Concat({kReadHead, {peer::Send(answer)}, kReadHead, {peer::Send(answer), peer::ReadUntilClose()}}));
    EXPECT_EQ(test::FetchText(client, Url(server.Port())), "ok");
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(test::FetchText(client, Url(server.Port())), "ok");
}

TEST_F(HostilePeerTest, TrickleSlowerThanTheReadTimeOutEndsWithIt) {
    // One byte at a time with pauses longer than the read time-out: the
    // time-out counts from the last byte and ends the fetch after the first gap.
    client.ReadTimeout = 300;
    ScriptedPeer server(
        peer::Concat({kReadHead, {peer::Trickle("HTTP/1.1 200 OK\r\n\r\n", 1000), peer::ReadUntilClose()}}));
    test::CostMeter measure;
    FetchFails<ReadTimeoutError>(Url(server.Port()), "Read Timeout");
    measure.Print("trickle 1 byte/s, read time-out 300 ms");
    EXPECT_GE(measure.ElapsedMs(), 250);
    EXPECT_LT(measure.ElapsedMs(), 2500);
}

TEST_F(HostilePeerTest, StreamedEndlessBodyIsBoundedByTheFetchTimeNotTheBodyLimit) {
    // The body limit guards the error bodies kept in memory; a page handed
    // on as it arrives holds nothing, and only the fetch's time ends it.
    struct Counter : ByteSink {
        void Write(std::string_view bytes) override {
            total += static_cast<int64_t>(bytes.size());
            largest = std::max(largest, bytes.size());
        }
        int64_t total = 0;
        size_t largest = 0;
    } counter;
    EndlessServer server("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n");
    client.MaxResponseBodyBytes = int64_t{1} << 20;
    client.FetchTimeout = std::chrono::milliseconds(1000);
    test::CostMeter measure;
    test::ExpectThrowWithMessage<FetchTimeoutError>([&] { client.Get(Url(server.Port()), counter); },
                                                    "Response not complete within 1000 ms.");
    measure.Print("endless body handed on for 1 s");
    EXPECT_GT(counter.total, client.MaxResponseBodyBytes);
    EXPECT_LE(counter.largest, static_cast<size_t>(client.RecvBufferSize));
    measure.ExpectPeakGrowthBelowMiB(16);
}

TEST_F(HostilePeerTest, AbsurdSizesFailBeforeAnyBodyIsRead) {
    // A page's body goes on to its sink whatever its size; an error
    // response's body is read for the error only up to the limit, so an
    // absurd size reports the status at once.
    const std::string error = "HTTP/1.1 500 Internal Server Error\r\n";
    struct Case {
        const char* what;
        std::string head;
        bool tooLarge;
    };
    const std::vector<Case> cases = {
        {"chunk size ffffffffffff", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nffffffffffff\r\n", false},
        {"chunk size 7fffffff", error + "Transfer-Encoding: chunked\r\n\r\n7fffffff\r\n", true},
        {"chunks adding up past the limit", error + "Transfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n10000000\r\n", true},
        {"Content-Length 2 GB", error + "Content-Length: 2000000000\r\n\r\nstart", true},
        {"Content-Length 5 GB", error + "Content-Length: 5000000000\r\n\r\nstart", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // The server would go on sending; the client must not wait for it.
        ScriptedPeer server(peer::Concat({kReadHead, {peer::Send(c.head), peer::Sleep(3000), peer::Close()}}));
        test::CostMeter measure;
        if (c.tooLarge) {
            FetchFails<HttpProtocolError>(Url(server.Port()), "HTTP/1.1 500 Internal Server Error");
        } else {
            FetchFails<InvalidChunkSizeError>(Url(server.Port()), "Invalid chunk size.");
        }
        measure.Print(c.what);
        EXPECT_LT(measure.ElapsedMs(), 1500);
        measure.ExpectPeakGrowthBelowMiB(16);
        EXPECT_FALSE(client.IsConnected());
    }
}

TEST_F(HostilePeerTest, ErrorStatusWithAnEndlessBodyReportsTheStatus) {
    EndlessServer server("HTTP/1.1 500 Internal Server Error\r\n\r\n");
    test::CostMeter measure;
    auto e = test::ExpectThrowWithMessage<HttpProtocolError>([&] { test::FetchText(client, Url(server.Port())); },
                                                             "HTTP/1.1 500 Internal Server Error");
    if (e) {
        EXPECT_EQ(e->ReplyCode, 500);
    }
    measure.Print("error status with endless body");
    EXPECT_FALSE(client.IsConnected());
}

TEST_F(HostilePeerTest, ChunkedBodyThatStopsMidChunk) {
    ScriptedPeer server(peer::Concat(
        {kReadHead,
         {peer::Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nonly half"), peer::Close()}}));
    test::CostMeter measure;
    FetchFails<ConnClosedGracefullyError>(Url(server.Port()), "Connection Closed Gracefully.");
    measure.Print("chunked body stopping mid-chunk");
    EXPECT_LT(measure.ElapsedMs(), 1500);
    EXPECT_FALSE(client.IsConnected());
}

TEST_F(HostilePeerTest, ChunkedBodyThatStallsMidChunkTimesOut) {
    client.ReadTimeout = 300;
    ScriptedPeer server(peer::Concat(
        {kReadHead,
         {peer::Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nonly half"), peer::Sleep(3000)}}));
    test::CostMeter measure;
    FetchFails<ReadTimeoutError>(Url(server.Port()), "Read Timeout");
    measure.Print("chunked body stalling mid-chunk");
    EXPECT_LT(measure.ElapsedMs(), 2000);
}

TEST_F(HostilePeerTest, RedirectLoopEndsAfterTheRedirectMaximum) {
    client.HandleRedirects = true;
    client.RedirectMaximum = 5;
    std::vector<PeerStep> script;
    for (int i = 0; i < 10; ++i) {
        script = peer::Concat(
            {script, kReadHead, {peer::Send("HTTP/1.1 302 Found\r\nLocation: /loop\r\nContent-Length: 0\r\n\r\n")}});
    }
    ScriptedPeer server(script);
    test::CostMeter measure;
    // The last redirect is not followed: the fetch ends with it, no page.
    EXPECT_EQ(test::FetchText(client, Url(server.Port(), "/loop")), "");
    measure.Print("redirect loop, maximum 5");
    EXPECT_EQ(client.ResponseCode(), 302);
    EXPECT_EQ(client.Response.Location, "/loop");
    EXPECT_LT(measure.ElapsedMs(), 3000);
    // One request for the start and each followed redirect, on one connection.
    const std::string received = server.Received();
    size_t requests = 0;
    for (size_t at = received.find("GET /loop "); at != std::string::npos; at = received.find("GET /loop ", at + 1)) {
        ++requests;
    }
    EXPECT_EQ(requests, 5u);
}

// Over TLS a body framed by the connection's close is whole only after
// close_notify: a bare close may be someone on the way cutting the page short
// (below a size limit, or before the text looked for). Bodies framed by their
// length or in chunks, and a kept connection closed while idle, do not depend
// on close_notify.
TEST_F(HostilePeerTest, TlsBodyEndedByABareCloseIsNotTakenAsWhole) {
    client.AllowHttps = true;
    const std::vector<PeerStep> tlsHead = peer::Concat({{peer::StartTls()}, kReadHead});
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    const struct {
        const char* name;
        std::vector<PeerStep> end;
        const char* body;  // nullptr: the fetch fails with the cut-short message
    } cases[] = {
        {"until close, close_notify", {peer::Send(ok + "\r\nwhole page"), peer::Close()}, "whole page"},
        {"until close, bare close", {peer::Send(ok + "\r\npart of the"), peer::CloseWithoutNotify()}, nullptr},
        {"length, bare close", {peer::Send(ok + "Content-Length: 4\r\n\r\npage"), peer::CloseWithoutNotify()}, "page"},
        {"chunked, bare close",
         {peer::Send(ok + "Transfer-Encoding: chunked\r\n\r\n4\r\npage\r\n0\r\n\r\n"), peer::CloseWithoutNotify()},
         "page"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer server(peer::Concat({tlsHead, c.end}));
        const std::string url = "https://127.0.0.1:" + std::to_string(server.Port()) + "/";
        if (c.body) {
            EXPECT_EQ(test::FetchText(client, url), c.body);
        } else {
            FetchFails<TlsError>(url,
                                 "TLS connection failed: the server closed the connection without close_notify; "
                                 "the response may be cut short");
        }
        client.Disconnect();
        EXPECT_EQ(server.Failure(), "");
    }

    const std::vector<PeerStep> closedWhileIdle =
        peer::Concat({tlsHead, {peer::Send(ok + "Content-Length: 1\r\n\r\na"), peer::CloseWithoutNotify()}});
    ScriptedPeer server(
        peer::Concat({closedWhileIdle, {peer::Accept()}, tlsHead, {peer::Send(ok + "Content-Length: 1\r\n\r\nb")}}));
    const std::string url = "https://127.0.0.1:" + std::to_string(server.Port()) + "/";
    EXPECT_EQ(test::FetchText(client, url), "a");
    ASSERT_TRUE(server.WaitSteps(closedWhileIdle.size()));
    EXPECT_EQ(test::FetchText(client, url), "b");
    client.Disconnect();
    EXPECT_EQ(server.ConnectionCount(), 2u);
}

}  // namespace
}  // namespace corvasse
