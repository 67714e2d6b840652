// HttpClient over TLS against a real nginx on loopback, with certificates made
// at test time.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "common/memory_stream.h"
#include "http/http_client.h"
#include "net/net_error.h"
#include "net/tls_error.h"
#include "support/child_process.h"
#include "support/expect_throw.h"
#include "support/fetched_text.h"
#include "support/loopback.h"
#include "support/nginx_server.h"
#include "support/server_process.h"
#include "support/test_pki.h"

namespace corvasse {
namespace {

using test::NginxServer;

constexpr int kTestTimeoutMs = 20000;

constexpr const char* kDirectives =
    "absolute_redirect off;\n"
    "location = /relative { return 302 /page.html; }\n"
    "location = /up { return 302 https://127.0.0.1:@TLSPORT@/down; }\n"
    "location = /down { return 302 http://127.0.0.1:@PORT@/page.html; }\n"
    "location = /secure { return 302 https://127.0.0.1:@TLSPORT@/page.html; }\n"
    // What the server saw: the SNI name (none for an address) and the Host header.
    "location = /seen { return 200 '[$ssl_server_name] $http_host'; }\n";

void Prepare(HttpClient& client) {
    client.HandleRedirects = true;
    client.AllowHttps = true;
    client.ReadTimeout = kTestTimeoutMs;
    client.ConnectTimeout = kTestTimeoutMs;
}

class HttpClientHttpsTest : public ::testing::Test {
protected:
    HttpClientHttpsTest() : server(kDirectives, test::TestCertificates().localhost) {
        server.WriteFile("page.html", "<html>static page</html>\n");
        Prepare(client);
        client.OnRedirect = [this](std::string&, int, bool&) { ++redirects; };
    }

    NginxServer server;
    HttpClient client;
    int redirects = 0;
};

TEST_F(HttpClientHttpsTest, SniCarriesNamesOnlyAndHostKeepsTheExplicitPort) {
    const std::string port = std::to_string(server.TlsPort());
    EXPECT_EQ(test::FetchText(client, server.HttpsUrl("/seen", "localhost")), "[localhost] localhost:" + port);
    // nginx kept the connection: the next fetch (to another host) makes a new one.
    EXPECT_TRUE(client.IsConnected());
    EXPECT_EQ(test::FetchText(client, server.HttpsUrl("/seen")), "[] 127.0.0.1:" + port);
    EXPECT_EQ(test::FetchText(client, server.HttpsUrl("/page.html")), "<html>static page</html>\n");
    client.Disconnect();
}

TEST_F(HttpClientHttpsTest, HostLeavesOutTheSchemesDefaultPort) {
    const struct {
        const char* url;
        const char* host;
    } cases[] = {
        {"https://127.0.0.1/", "127.0.0.1"},
        {"https://127.0.0.1:443/", "127.0.0.1"},
        {"https://127.0.0.1:80/", "127.0.0.1:80"},
        {"http://127.0.0.1:443/", "127.0.0.1:443"},
        {"http://[::1]/", "[::1]"},
        {"https://[::1]:8443/", "[::1]:8443"},
    };
    for (const auto& c : cases) {
        // Nothing listens there; the request head is ready before the connect fails.
        EXPECT_THROW(test::FetchText(client, c.url), NetError) << c.url;
        EXPECT_EQ(client.Request.Host, c.host) << c.url;
    }
}

TEST_F(HttpClientHttpsTest, RedirectsGoBothWaysAndRelativeOnesStayEncrypted) {
    EXPECT_EQ(test::FetchText(client, server.Url("/up")), "<html>static page</html>\n");
    EXPECT_EQ(redirects, 2);
    EXPECT_EQ(client.CurrentURI.Protocol, "http");
    EXPECT_EQ(test::FetchText(client, server.HttpsUrl("/relative")), "<html>static page</html>\n");
    EXPECT_EQ(client.CurrentURI.Protocol, "https");
    EXPECT_EQ(client.CurrentURI.Port, std::to_string(server.TlsPort()));
    client.Disconnect();
}

TEST_F(HttpClientHttpsTest, WithoutHttpsAllowedThereIsNoTlsHandler) {
    client.AllowHttps = false;
    EXPECT_THROW(test::FetchText(client, server.HttpsUrl("/page.html")), IOHandlerPropInvalidError);
    EXPECT_THROW(test::FetchText(client, server.Url("/up")), IOHandlerPropInvalidError);
}

TEST(HttpClientHttpsCertificateTest, CertificatesThatDoNotVerifyFailWithTheirReason) {
    const test::TestPki& pki = test::TestCertificates();
    const struct {
        const char* name;
        test::CertificateFiles files;
        const char* host;
        const char* message;
    } cases[] = {
        {"wrong name", pki.wrongName, "localhost",
         "TLS handshake failed: certificate is for www.example.org, not localhost"},
        {"wrong address", pki.wrongName, "127.0.0.1",
         "TLS handshake failed: certificate is for www.example.org, not 127.0.0.1"},
        {"expired", pki.expired, "localhost",
         "TLS handshake failed: certificate verify failed (certificate has expired)"},
        {"unknown CA", pki.unknownCa, "127.0.0.1",
         "TLS handshake failed: certificate verify failed (unable to get local issuer certificate)"},
        {"address as a host name", pki.ipAsName, "127.0.0.1",
         "TLS handshake failed: certificate has no IP address entry for 127.0.0.1"},
        {"address in the common name only", pki.ipInCommonName, "127.0.0.1",
         "TLS handshake failed: certificate has no IP address entry for 127.0.0.1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NginxServer server("", c.files);
        server.WriteFile("page.html", "secret page");
        HttpClient client;
        Prepare(client);
        test::ExpectThrowWithMessage<TlsError>([&] { test::FetchText(client, server.HttpsUrl("/page.html", c.host)); },
                                               c.message);
        EXPECT_FALSE(client.IsConnected());
    }
}

TEST(HttpClientServerCertificateTest, EachFetchTellsTheCertificateOfItsLastResponse) {
    test::TestCertificates();
    const auto end = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now() + std::chrono::days(9));
    const test::CertificateFiles files = test::CertificateEndingAt(end);
    test::ChildProcess openssl({"/usr/bin/openssl", "x509", "-noout", "-serial", "-in", files.certificate.string()},
                               ".");
    ASSERT_EQ(openssl.Wait(kTestTimeoutMs), 0);
    const std::string serial = openssl.Output().substr(openssl.Output().find('=') + 1);  // "serial=1001\n"
    NginxServer server(kDirectives, files);
    server.WriteFile("page.html", "<html>static page</html>\n");
    HttpClient client;
    Prepare(client);

    const struct {
        const char* name;
        std::string url;
        std::optional<std::string> host;  // none: no certificate
    } cases[] = {
        {"https to an address", server.HttpsUrl("/page.html"), "127.0.0.1"},
        {"https to a name", server.HttpsUrl("/page.html", "localhost"), "localhost"},
        {"the kept connection", server.HttpsUrl("/page.html", "localhost"), "localhost"},
        {"in clear", server.Url("/page.html"), std::nullopt},
        {"redirected from https to clear", server.HttpsUrl("/down"), std::nullopt},
        {"redirected from clear to https", server.Url("/secure"), "127.0.0.1"},
        {"refused", "https://127.0.0.1:" + std::to_string(test::ClosedPort("127.0.0.1")) + "/", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryStream body;
        try {
            client.Get(c.url, body);
        } catch (const NetError&) {
            // The refused fetch; the others must come through.
            EXPECT_EQ(std::string(c.name), "refused");
        }
        const std::optional<PeerCertificate>& certificate = client.ServerCertificate();
        ASSERT_EQ(certificate.has_value(), c.host.has_value());
        if (!certificate) continue;
        EXPECT_EQ(body.Bytes(), "<html>static page</html>\n");
        EXPECT_EQ(certificate->host, *c.host);
        EXPECT_EQ(certificate->notAfter, end);
        EXPECT_EQ(certificate->issuer, "CN=Corvasse test trusted");
        EXPECT_EQ(certificate->serialNumber + "\n", serial);
    }
    client.Disconnect();
}

}  // namespace
}  // namespace corvasse
