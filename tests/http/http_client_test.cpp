// HttpClient dialogues as rows over the scripted transport: exact request
// bytes, every framing, redirects, error statuses and faults. Each row's
// calls run in turn on one client.

#include "http/http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "http/http_errors.h"
#include "net/net_error.h"
#include "support/dialogue.h"
#include "support/fetched_text.h"
#include "support/scripted_peer.h"

namespace corvasse {
namespace {

namespace script = test::script;
using Steps = std::vector<test::ScriptStep>;
using Call = test::Call<HttpClient>;
using Clock = std::chrono::steady_clock;

const std::string kServer = "127.0.0.1:8080";
const std::string kRefused = "SocketError: Socket Error # 10061\r\nConnection refused.";
const std::string kOk = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";

// The program's GET head: the request line, three headers and the empty line.
const Steps kReadHead = script::ReadLines(5);

std::string Head(const std::string& target, const std::string& server = kServer) {
    return "GET " + target + " HTTP/1.1\r\nHost: " + server +
           "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Corvasse)\r\n\r\n";
}

// The steps that read a GET head and answer it.
Steps Answer(const std::string& response) { return script::Concat({kReadHead, {script::Send(response)}}); }

// A fetch: the body, or what it threw with an HTTP error's body after it.
Call Get(std::string url, std::string outcome) {
    return {[=](HttpClient& client) {
                try {
                    return test::FetchText(client, url);
                } catch (const HttpProtocolError& error) {
                    return test::Thrown([&] { throw error; }) + " [" + error.ResponseBody() + "]";
                }
            },
            std::move(outcome)};
}
Call GetPath(const std::string& path, std::string outcome) { return Get("http://" + kServer + path, outcome); }

// The response the client holds: its code and status line.
std::string Response(HttpClient& client) { return std::to_string(client.ResponseCode()) + " " + client.ResponseText(); }

std::string RedirectCounter(HttpClient& client) { return std::to_string(client.RedirectCounter); }

class HttpClientTest : public test::DialogueTest<HttpClient> {
protected:
    // The client with its events logged: the read work brackets, the
    // redirects, and the start of each chunk.
    void Prepare(HttpClient& client) override {
        DialogueTest::Prepare(client);
        log.clear();
        client.HandleRedirects = true;
        client.OnStatus = [this](Status, const std::string& text) {
            if (text == "Chunk Started") log += "chunk; ";
        };
        client.OnWorkBegin = [this](WorkMode mode, int64_t max) {
            if (mode == WorkMode::Read) log += "read " + std::to_string(max) + "; ";
        };
        client.OnWorkEnd = [this](WorkMode mode) {
            if (mode == WorkMode::Read) log += "end; ";
        };
        client.OnRedirect = [this](std::string& dest, int count, bool&) {
            log += "to " + dest + " #" + std::to_string(count) + "; ";
        };
    }

    // The events logged since the last look.
    Call Events(std::string outcome) {
        return {[this](HttpClient&) { return std::exchange(log, std::string()); }, std::move(outcome)};
    }

    std::string log;
};

TEST_F(HttpClientTest, RequestsAndFraming) {
    const std::string chunked =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n"
        "0C;name=value\r\n, big world!\r\n0\r\n\r\n";
    PlayAll({
        {"the exact request head, and a body of a length",
         Answer("HTTP/1.1 200 OK\r\nContent-Length:  5 \r\n\r\nhello"),
         {{Response, "-1 "},
          GetPath("/a/b.html?x=1&y=%20#frag", "hello"),
          {Response, "200 HTTP/1.1 200 OK"},
          {RedirectCounter, "0"},
          Events("read 5; end; ")},
         {Head("/a/b.html?x=1&y=%20")}},
        // Nothing listens on port 80; the head is prepared before the
        // connect fails, and the failed fetch read no response.
        {"a bare host asks for the root, and port 80 is left out of Host",
         script::Concat({Answer(kOk), {script::Refuse()}}),
         {Get("http://" + kServer, "ok"),
          {[](HttpClient& client) { return client.Request.RequestTarget; }, "/"},
          Disconnect(),
          Get("http://127.0.0.1/x", kRefused),
          {[](HttpClient& client) { return client.Request.Host; }, "127.0.0.1"},
          {Response, "-1 "}},
         {Head("/")}},
        {"continue responses are skipped",
         Answer("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\nX: y\r\n\r\n" + kOk),
         {GetPath("/", "ok"), {Response, "200 HTTP/1.1 200 OK"}},
         {Head("/")}},
        // One work bracket per chunk.
        {"a chunked body",
         Answer(chunked),
         {GetPath("/", "hello, big world!"), Events("chunk; read 5; end; read 12; end; ")},
         {Head("/")}},
        {"a chunked body a byte at a time",
         script::Concat({kReadHead, {script::Pieces(1), script::Send(chunked)}}),
         {GetPath("/", "hello, big world!"), Events("chunk; read 5; end; read 12; end; ")},
         {Head("/")}},
        {"a body until the close",
         script::Concat(
             {kReadHead, {script::Send("HTTP/1.0 200 OK\r\n\r\nall of "), script::Send("it"), script::Close()}}),
         {GetPath("/", "all of it"), Events("read 0; end; ")},
         {Head("/")}},
        // 204 reads nothing even when bytes follow; a length of 0 reads nothing.
        {"204 with bytes behind it", Answer("HTTP/1.1 204 No Content\r\n\r\njunk"), {GetPath("/", "")}, {Head("/")}},
        {"a length of 0", Answer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"), {GetPath("/", "")}, {Head("/")}},
        {"a body cut short",
         script::Concat({Answer("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhalf"), {script::Close()}}),
         {GetPath("/", "ConnClosedGracefullyError: Connection Closed Gracefully.")},
         {Head("/")}},
        {"the status line arrived, then the server went away",
         script::Concat({Answer("HTTP/1.1 200 OK\r\nServer: x\r\n"), {script::Close()}}),
         {GetPath("/", "NetError: Undefined situation")},
         {Head("/")}},
        // What came of the cut line is not the error's body.
        {"cut inside a header line",
         script::Concat({Answer("HTTP/1.1 503 Busy\r\nRetry-Af"), {script::Close()}}),
         {GetPath("/", "HttpProtocolError 503: HTTP/1.1 503 Busy []")},
         {Head("/")}},
        {"closed before the status line",
         script::Concat({kReadHead, {script::Close()}}),
         {GetPath("/", "ConnClosedGracefullyError: Connection Closed Gracefully.")},
         {Head("/")}},
        // The parsers take the connection's line limit (their own test has
        // the byte it ends at; the hostile peers the default limit).
        {"an over-long status line",
         Answer("HTTP/1.1 200 OK and on and on"),
         {Set(&HttpClient::MaxLineLength, 8), GetPath("/", "MaxLineLengthExceededError: Max line length exceeded."),
          Connected("closed")},
         {Head("/")}},
        {"a silent server",
         kReadHead,
         {Set(&HttpClient::ReadTimeout, 300), GetPath("/", "ReadTimeoutError: Read Timeout"), Connected("closed")},
         {Head("/")}},
        // None may leave a byte of a response behind or wait for a body that
        // cannot come: the next response on the connection is read whole.
        {"chunked wins over Content-Length",
         script::Concat(
             {Answer(
                  "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n"),
              Answer(kOk)}),
         {GetPath("/", "hello"), GetPath("/", "ok")},
         {Head("/") + Head("/")}},
        {"204 with Location",
         script::Concat({Answer("HTTP/1.1 204 No Content\r\nLocation: /next\r\n\r\n"), Answer(kOk)}),
         {GetPath("/", "ok")},
         {Head("/") + Head("/next")}},
        {"304 with Location",
         script::Concat({Answer("HTTP/1.1 304 Not Modified\r\nLocation: /next\r\n\r\n"), Answer(kOk)}),
         {GetPath("/", "ok")},
         {Head("/") + Head("/next")}},
        {"101 with Location",
         script::Concat({Answer("HTTP/1.1 101 Switching\r\nLocation: /next\r\n\r\n"), Answer(kOk)}),
         {GetPath("/", "ok")},
         {Head("/") + Head("/next")}},
        // The error response allowed keep-alive: the next fetch reuses the connection.
        {"error statuses carry their body",
         script::Concat({Answer("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot here!"),
                         Answer("HTTP/1.1 304 Not Modified\r\n\r\n")}),
         {GetPath("/missing", "HttpProtocolError 404: HTTP/1.1 404 Not Found [not here!]"),
          {Response, "404 HTTP/1.1 404 Not Found"},
          GetPath("/cached", "HttpProtocolError 304: HTTP/1.1 304 Not Modified []")},
         {Head("/missing") + Head("/cached")}},
        // The head after the challenge carries an Authorization line.
        {"a Basic challenge leaves empty credentials on later requests",
         script::Concat({Answer("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: basic realm=\"x\"\r\n"
                                "Content-Length: 4\r\n\r\nauth"),
                         script::ReadLines(6),
                         {script::Send(kOk)}}),
         {GetPath("/", "HttpProtocolError 401: HTTP/1.1 401 Unauthorized [auth]"), GetPath("/", "ok")},
         {Head("/") + "GET / HTTP/1.1\r\nHost: " + kServer +
          "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Corvasse)\r\n"
          "Authorization: Basic Og==\r\n\r\n"}},
        {"addresses that cannot be fetched",
         {},
         {Get("ftp://127.0.0.1/x", "UnknownProtocolError: "),
          Get("http://127.0.0.1:8o8o/", "ConversionError: '8o8o' is not a valid integer value"),
          Get("https://127.0.0.1:1/", "IOHandlerPropInvalidError: IOHandler value is not valid"),
          {Response, "-1 "}},
         {}},
    });
}

// A fetch that fails before any status line reports no response, not the
// one an earlier fetch read: the alert prints these two.
TEST_F(HttpClientTest, Posts) {
    using Fields = std::vector<std::pair<std::string, std::string>>;
    // A POST of "one\ntwo\n": "posted", or what it threw with an HTTP error's body after it.
    auto post = [](Fields fields, std::string outcome) -> Call {
        return {[=](HttpClient& client) {
                    try {
                        client.Post("http://" + kServer + "/topic", "text/plain", "one\ntwo\n", fields);
                        return std::string("posted");
                    } catch (const HttpProtocolError& error) {
                        return test::Thrown([&] { throw error; }) + " [" + error.ResponseBody() + "]";
                    }
                },
                std::move(outcome)};
    };
    const std::string head =
        "POST /topic HTTP/1.1\r\nHost: " + kServer +
        "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Corvasse)\r\nTitle: Corvasse Alert: x"
        "\r\nPriority: high\r\nContent-Type: text/plain\r\nContent-Length: 8\r\n\r\none\ntwo\n";
    const Fields fields = {{"Title", "Corvasse Alert: x"}, {"Priority", "high"}};
    // The head's 9 lines and the body's 2.
    const Steps readPost = script::ReadLines(11);
    PlayAll({
        {"the head with its fields and the body's length, then the body, in one send",
         script::Concat({readPost, {script::Send(kOk)}}),
         {post(fields, "posted"), {Response, "200 HTTP/1.1 200 OK"}},
         {head}},
        {"a redirect is a failure, never followed",
         script::Concat(
             {readPost,
              {script::Send("HTTP/1.1 307 Temporary Redirect\r\nLocation: /x\r\nContent-Length: 0\r\n\r\n")}}),
         {post(fields, "HttpProtocolError 307: HTTP/1.1 307 Temporary Redirect []"), Events("")},
         {head}},
        {"a server error, and the GET after it sends no body",
         script::Concat({readPost,
                         {script::Send("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 7\r\n\r\nfailed\n")},
                         Answer(kOk)}),
         {post(fields, "HttpProtocolError 500: HTTP/1.1 500 Internal Server Error [failed\n]"), GetPath("/page", "ok")},
         {head + Head("/page")}},
        {"a line break in a field is refused before anything is sent",
         {},
         {post({{"Title", "a\r\nX-Injected: y"}}, "HeaderFieldError: Header field \"Title\" holds a line break.")},
         {}},
    });
}

TEST_F(HttpClientTest, FetchFailingBeforeAStatusLineLeavesNoResponse) {
    const std::vector<Call> earlier = {GetPath("/", "ok"), {Response, "200 HTTP/1.1 200 OK"}, Disconnect()};
    const auto after = [&](std::vector<Call> failing) {
        std::vector<Call> calls = earlier;
        calls.insert(calls.end(), failing.begin(), failing.end());
        calls.push_back({Response, "-1 "});
        return calls;
    };
    PlayAll({
        {"the first fetch refused", {script::Refuse()}, {GetPath("/", kRefused), {Response, "-1 "}}, {}},
        {"refused", script::Concat({Answer(kOk), {script::Refuse()}}), after({GetPath("/", kRefused)}), {Head("/")}},
        {"closed before the status line",
         script::Concat({Answer(kOk), {script::Accept()}, kReadHead, {script::Close()}}),
         after({GetPath("/", "ConnClosedGracefullyError: Connection Closed Gracefully.")}),
         {Head("/"), Head("/")}},
        {"a read time-out before the status line",
         script::Concat({Answer(kOk), {script::Accept()}, kReadHead}),
         after({Set(&HttpClient::ReadTimeout, 300), GetPath("/", "ReadTimeoutError: Read Timeout")}),
         {Head("/"), Head("/")}},
    });
}

TEST_F(HttpClientTest, Redirects) {
    const std::string found = "HTTP/1.1 302 Found\r\nContent-Length: 0\r\nLocation: ";
    Steps fifteen;
    std::string fifteenEvents;
    std::string fifteenHeads;
    for (int i = 1; i <= 15; ++i) {
        fifteen = script::Concat({fifteen, Answer(found + "/r\r\n\r\n")});
        fifteenEvents += "to /r #" + std::to_string(i) + "; ";
        fifteenHeads += Head("/r");
    }
    // Fourteen failed fetches (of any kind) do not use up the next fetch's redirects.
    Steps refusedFourteen;
    std::vector<Call> fourteenFailures;
    for (int i = 0; i < 14; ++i) {
        refusedFourteen.push_back(script::Refuse());
        fourteenFailures.push_back(GetPath("/", kRefused));
    }
    std::vector<Call> counting = {GetPath("/1", "HttpProtocolError 500: HTTP/1.1 500 Oops []"),
                                  {RedirectCounter, "3"},
                                  GetPath("/4", ""),
                                  Events("to /2 #1; to /3 #2; to /5 #1; "),
                                  {RedirectCounter, "0"},
                                  Disconnect()};
    counting.insert(counting.end(), fourteenFailures.begin(), fourteenFailures.end());
    counting.push_back(GetPath("/", "page"));
    PlayAll({
        {"a relative redirect on the same connection",
         script::Concat({Answer("HTTP/1.1 302 Found\r\nLocation: ../b/next.html#part\r\nContent-Length: 3\r\n\r\nabc"),
                         Answer("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ndone")}),
         {GetPath("/a/start.html", "done"),
          Events("to ../b/next.html#part #1; read 3; end; read 4; end; "),
          {RedirectCounter, "0"}},
         {Head("/a/start.html") + Head("/b/next.html")}},
        {"an absolute redirect to another server",
         script::Concat({Answer("HTTP/1.1 301 Moved\r\nLocation: http://127.0.0.2:8081/x\r\nContent-Length: 0\r\n\r\n"),
                         {script::Accept()},
                         Answer("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nsecond")}),
         {GetPath("/", "second"),
          {[](HttpClient& client) { return client.Host + ":" + std::to_string(client.Port); }, "127.0.0.2:8081"}},
         {Head("/"), Head("/x", "127.0.0.2:8081")}},
        {"a 200 with Location is a redirect, and a hostless Location keeps the host",
         script::Concat(
             {Answer("HTTP/1.1 200 OK\r\nLocation: http://:8080/other.html\r\nContent-Length: 4\r\n\r\nskip"),
              Answer("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nother")}),
         {GetPath("/", "other")},
         {Head("/") + Head("/other.html")}},
        {"fourteen redirects are followed, the fifteenth is not",
         fifteen,
         {GetPath("/r", ""),
          Events(fifteenEvents),
          {[](HttpClient& client) { return client.Response.Location; }, "/r"},
          {RedirectCounter, "0"}},
         {fifteenHeads}},
        {"every fetch counts its requests from zero",
         script::Concat({Answer(found + "/2\r\n\r\n"), Answer(found + "/3\r\n\r\n"),
                         Answer("HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n"), Answer(found + "/5\r\n\r\n"),
                         Answer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"), refusedFourteen,
                         Answer(found + "/page\r\n\r\n"), Answer("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\npage")}),
         counting,
         {Head("/1") + Head("/2") + Head("/3") + Head("/4") + Head("/5"), Head("/") + Head("/page")}},
    });
    // Not handled: the redirect is a protocol error carrying its body.
    HttpClient client;
    Prepare(client);
    client.HandleRedirects = false;
    test::Play(client,
               {"an unhandled redirect",
                Answer("HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 5\r\n\r\nmoved"),
                {GetPath("/", "HttpProtocolError 302: HTTP/1.1 302 Found [moved]"), Events("to /x #1; read 5; end; ")},
                {Head("/")}});
}

TEST_F(HttpClientTest, KeptConnections) {
    auto response = [](const std::string& body) { return "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n" + body; };
    PlayAll({
        // Closed while idle: polling notices, and the client reconnects.
        // "Connection: close" ends the connection after the response. A
        // reset (by the server or a middlebox) while idle is no error: a new
        // connection.
        {"a kept connection is reused or reopened",
         script::Concat({Answer(response("a")),
                         Answer(response("b")),
                         {script::Close(), script::Accept()},
                         Answer("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 4\r\n\r\ncEXTRA"),
                         {script::Accept()},
                         Answer(response("d")),
                         {script::Reset(), script::Accept()},
                         Answer(response("e"))}),
         {GetPath("/", "a"), GetPath("/", "b"), GetPath("/", "cEXT"), Connected("closed"), GetPath("/", "d"),
          GetPath("/", "e")},
         {Head("/") + Head("/"), Head("/"), Head("/"), Head("/")}},
        // The server keeps the first connection open, so only the stray bytes
        // can make the client leave it.
        {"unasked bytes on a kept connection force a new one",
         script::Concat({Answer(response("a") + "HTTP/1.1 200 OK\r\n\r\n"), {script::Accept()}, Answer(response("b"))}),
         {GetPath("/", "a"), GetPath("/", "b")},
         {Head("/"), Head("/")}},
        // Typed without "http://": the host and path of the text, on the
        // first fetch and after another address was fetched. A port that is
        // not a number fails that fetch only.
        {"every fetch starts from its own address",
         script::Concat({Answer(kOk),
                         {script::Accept()},
                         Answer(kOk),
                         {script::Accept()},
                         Answer(kOk),
                         {script::Accept()},
                         Answer(kOk)}),
         {Get("127.0.0.1:8082/b/page", "ok"), Disconnect(), Get("http://127.0.0.1:8081/a/x", "ok"),
          Get("127.0.0.1:8082/b/page", "ok"), Disconnect(),
          Get("http://127.0.0.1:8o8o/", "ConversionError: '8o8o' is not a valid integer value"),
          Get("127.0.0.1:8083", "ok")},
         {Head("/b/page", "127.0.0.1:8082"), Head("/a/x", "127.0.0.1:8081"), Head("/b/page", "127.0.0.1:8082"),
          Head("/", "127.0.0.1:8083")}},
    });
}

// A body behind a redirect, or behind an error status, that never comes is
// given up after its own time limit, not the read time-out.
TEST_F(HttpClientTest, BodiesThatNeverComeEndAtTheirOwnTimeLimits) {
    const struct {
        const char* name;
        Steps script;
        std::chrono::milliseconds limitAtLeast;
        std::chrono::milliseconds limitBelow;
        std::string outcome;
        int code;
        std::vector<std::string> sent;
    } rows[] = {
        {"redirect drained",
         script::Concat({Answer("HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 100\r\n\r\nabc"),
                         {script::Accept()},
                         Answer(kOk)}),
         std::chrono::milliseconds(300),
         std::chrono::milliseconds(60000),
         "ok",
         200,
         {Head("/"), Head("/x")}},
        {"error body",
         Answer("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\n"),
         std::chrono::milliseconds(300),
         std::chrono::milliseconds(3000),
         "ReadTimeoutError: Read Timeout",
         404,
         {Head("/")}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::ScriptedTransport transport(row.script);
        HttpClient client;
        Prepare(client);
        client.SetIOHandler(&transport);
        client.ReadTimeout = 120000;
        client.RedirectDrainTimeout = std::chrono::milliseconds(300);
        client.ErrorBodyTimeout = std::chrono::milliseconds(300);
        const auto start = Clock::now();
        std::string body;
        EXPECT_EQ(test::Thrown([&] { body = test::FetchText(client, "http://" + kServer + "/"); }) + body, row.outcome);
        const auto elapsed = Clock::now() - start;
        EXPECT_GE(elapsed, row.limitAtLeast);
        EXPECT_LT(elapsed, row.limitBelow);
        EXPECT_EQ(client.ReadTimeout, 120000);
        EXPECT_EQ(client.ResponseCode(), row.code);
        client.Disconnect();
        EXPECT_EQ(transport.Sent(), row.sent);
    }
}

}  // namespace
}  // namespace corvasse
