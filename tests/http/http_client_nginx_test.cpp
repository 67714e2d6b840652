// HttpClient against a real nginx on loopback.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "common/byte_sink.h"
#include "http/http_client.h"
#include "http/http_errors.h"
#include "support/expect_throw.h"
#include "support/fetched_text.h"
#include "support/nginx_server.h"
#include "support/test_pki.h"

namespace corvasse {
namespace {

// Bytes that differ from one position to the next, so that a lost, doubled
// or shifted block cannot go unnoticed.
std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    uint32_t state = 12345;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(state >> 24);
    }
    return bytes;
}

constexpr const char* kDirectives =
    "absolute_redirect off;\n"
    "location = /relative { return 302 /page.html; }\n"
    "location = /absolute { return 301 http://127.0.0.1:@PORT@/dir/page.html; }\n"
    "location = /loop { return 302 /loop; }\n"
    // sub_filter rewrites the body on the fly, so nginx sends it chunked.
    "location /chunked/ { sub_filter_types *; sub_filter 'needle' 'NEEDLE'; sub_filter_once off; }\n";

class HttpClientNginxTest : public ::testing::Test {
protected:
    HttpClientNginxTest() : server(kDirectives, test::TestCertificates().localhost) {
        server.WriteFile("page.html", "<html>static page</html>\n");
        server.WriteFile("dir/page.html", "<html>in dir</html>\n");
        client.HandleRedirects = true;
        client.ReadTimeout = 20000;
        client.ConnectTimeout = 20000;
        client.OnStatus = [this](Status, const std::string& text) { statuses.push_back(text); };
        client.OnRedirect = [this](std::string&, int, bool&) { ++redirects; };
    }

    test::NginxServer server;
    HttpClient client;
    std::vector<std::string> statuses;
    int redirects = 0;
};

TEST_F(HttpClientNginxTest, StaticPageWithLength) {
    EXPECT_EQ(test::FetchText(client, server.Url("/page.html")), "<html>static page</html>\n");
    EXPECT_EQ(client.ResponseText(), "HTTP/1.1 200 OK");
    EXPECT_EQ(client.Response.ContentLength(), 25);
    EXPECT_EQ(client.Response.RawHeaders().GetHeaderValue("Content-Type"), "text/html");
    // nginx keeps the connection; the same connection serves the next fetch.
    EXPECT_TRUE(client.IsConnected());
    EXPECT_EQ(test::FetchText(client, server.Url("/dir/page.html")), "<html>in dir</html>\n");
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "Connected."), 1);
    client.Disconnect();
}

TEST_F(HttpClientNginxTest, ChunkedBody) {
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "line " + std::to_string(i) + " with a needle\n";
    server.WriteFile("chunked/text.txt", text);
    std::string expected = text;
    for (size_t at = expected.find("needle"); at != std::string::npos; at = expected.find("needle", at)) {
        expected.replace(at, 6, "NEEDLE");
    }
    EXPECT_EQ(test::FetchText(client, server.Url("/chunked/text.txt")), expected);
    EXPECT_EQ(client.Response.RawHeaders().GetHeaderValue("Transfer-Encoding"), "chunked");
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "Chunk Started"), 1);
    client.Disconnect();
}

TEST_F(HttpClientNginxTest, RelativeAndAbsoluteRedirects) {
    EXPECT_EQ(test::FetchText(client, server.Url("/relative")), "<html>static page</html>\n");
    EXPECT_EQ(test::FetchText(client, server.Url("/absolute")), "<html>in dir</html>\n");
    EXPECT_EQ(redirects, 2);
    EXPECT_EQ(client.CurrentURI.Path, "/dir/");
    EXPECT_EQ(client.RedirectCounter, 0);
    client.Disconnect();
}

TEST_F(HttpClientNginxTest, RedirectLoopEndsWithAnEmptyBody) {
    EXPECT_EQ(test::FetchText(client, server.Url("/loop")), "");
    EXPECT_EQ(redirects, 15);
    EXPECT_EQ(client.ResponseCode(), 302);
    EXPECT_EQ(client.RedirectCounter, 0);
    client.Disconnect();
}

TEST_F(HttpClientNginxTest, NotFoundCarriesNginxsPage) {
    auto e = test::ExpectThrowWithMessage<HttpProtocolError>(
        [&] { test::FetchText(client, server.Url("/missing.html")); }, "HTTP/1.1 404 Not Found");
    if (e) {
        EXPECT_EQ(e->ReplyCode, 404);
        EXPECT_NE(e->ResponseBody().find("<title>404 Not Found</title>"), std::string::npos);
    }
    EXPECT_EQ(client.ResponseCode(), 404);
    // nginx keeps the connection after a 404, and the next fetch works on it.
    EXPECT_EQ(test::FetchText(client, server.Url("/page.html")), "<html>static page</html>\n");
    client.Disconnect();
}

TEST_F(HttpClientNginxTest, LargeFilesArriveIntactOverHttpAndHttps) {
    client.AllowHttps = true;
    for (auto [size, url] :
         {std::pair{size_t{1} << 20, server.Url("/big.bin")}, std::pair{size_t{64} << 20, server.Url("/big.bin")},
          std::pair{size_t{1} << 20, server.HttpsUrl("/big.bin")},
          std::pair{size_t{64} << 20, server.HttpsUrl("/big.bin")}}) {
        SCOPED_TRACE(url + " " + std::to_string(size));
        const std::string bytes = Pattern(size);
        server.WriteFile("big.bin", bytes);
        int64_t lastMax = -1, lastCount = -1;
        client.OnWorkBegin = [&](WorkMode, int64_t max) { lastMax = max; };
        client.OnWork = [&](WorkMode, int64_t count) { lastCount = count; };
        const std::string body = test::FetchText(client, url);
        ASSERT_EQ(body.size(), size);
        EXPECT_TRUE(body == bytes) << "content differs at "
                                   << std::mismatch(body.begin(), body.end(), bytes.begin()).first - body.begin();
        EXPECT_EQ(lastMax, static_cast<int64_t>(size));
        EXPECT_EQ(lastCount, static_cast<int64_t>(size));

        // Handed on as it arrives: the same bytes, no piece larger than a receive.
        struct Comparison : ByteSink {
            explicit Comparison(const std::string& expected) : expected(expected) {}
            void Write(std::string_view piece) override {
                if (mismatch < 0 && expected.compare(taken, piece.size(), piece) != 0) mismatch = taken;
                taken += piece.size();
                largest = std::max(largest, piece.size());
            }
            const std::string& expected;
            size_t taken = 0, largest = 0;
            int64_t mismatch = -1;
        } streamed(bytes);
        client.Get(url, streamed);
        EXPECT_EQ(streamed.taken, size);
        EXPECT_EQ(streamed.mismatch, -1);
        EXPECT_LE(streamed.largest, static_cast<size_t>(client.RecvBufferSize));
    }
    client.Disconnect();
}

}  // namespace
}  // namespace corvasse
