// HttpClient against nginx listening on ::1 only, in network namespaces of
// the test's own: names that resolve to ::1, literals in brackets, redirects
// to them, and TLS checked against a certificate's IPv6 address.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "http/http_client.h"
#include "net/net_error.h"
#include "net/tls_error.h"
#include "support/fetched_text.h"
#include "support/isolated_network.h"
#include "support/nginx_server.h"
#include "support/test_pki.h"

namespace corvasse {
namespace {

using test::NginxServer;

constexpr int kTestTimeoutMs = 20000;

void Prepare(HttpClient& client) {
    client.HandleRedirects = true;
    client.ReadTimeout = kTestTimeoutMs;
    client.ConnectTimeout = kTestTimeoutMs;
}

TEST(HttpClientIPv6Test, ANameThatResolvesToIPv6OnlyALiteralAndARedirectToOne) {
    // In a child: the hosts file stays with its namespaces.
    const std::string result = test::RunInChild([] {
        test::EnterNetworkWithHosts("::1 v6only.test\n");
        NginxServer server(
            "location = /seen { return 200 '$http_host'; }\n"
            "location = /jump { return 302 http://[::1]:@PORT@/page.html; }\n",
            std::nullopt, "::1");
        server.WriteFile("page.html", "over IPv6");
        HttpClient client;
        Prepare(client);
        std::vector<std::string> statuses;
        client.OnStatus = [&](Status, const std::string& text) { statuses.push_back(text); };
        const std::string byName = "http://v6only.test:" + std::to_string(server.Port());

        std::string out = test::FetchText(client, byName + "/page.html") + "|";
        for (const std::string& status : statuses) out += status + "|";
        out += test::FetchText(client, server.Url("/seen")) + "|";
        out += test::FetchText(client, byName + "/jump") + "|" + client.CurrentURI.Host + "|";
        client.Family = AddressFamily::IPv4;
        try {
            test::FetchText(client, server.Url("/page.html"));
        } catch (const SocketError& error) {
            out += error.what();
        }
        return std::to_string(server.Port()) + "|" + out;
    });
    const std::string port = result.substr(0, result.find('|'));
    EXPECT_EQ(result, port + "|over IPv6|Resolving hostname v6only.test.|Connecting to [::1].|Connected.|[::1]:" +
                          port + "|over IPv6|[::1]|Socket Error # 11004\r\n");
}

TEST(HttpClientIPv6Test, TlsChecksTheCertificatesIPv6AddressAndSendsNoSni) {
    const test::TestPki& pki = test::TestCertificates();
    test::ScopedNetNamespace network;
    {
        NginxServer server("location = /seen { return 200 '[$ssl_server_name] $http_host'; }\n", pki.localhost, "::1");
        HttpClient client;
        Prepare(client);
        client.AllowHttps = true;
        EXPECT_EQ(test::FetchText(client, server.HttpsUrl("/seen")), "[] [::1]:" + std::to_string(server.TlsPort()));
    }
    NginxServer server("", pki.wrongName, "::1");
    server.WriteFile("page.html", "secret page");
    HttpClient client;
    Prepare(client);
    client.AllowHttps = true;
    try {
        test::FetchText(client, server.HttpsUrl("/page.html"));
        ADD_FAILURE() << "a certificate without the address was accepted";
    } catch (const TlsError& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind("TLS handshake failed: certificate is for ", 0), 0u) << message;
        EXPECT_TRUE(message.ends_with(", not [::1]")) << message;
    }
}

}  // namespace
}  // namespace corvasse
