// Watching over each address family separately ("ipFamily=each"): with
// stand-in clients for what the watch makes of each family's outcome, and
// with the real HTTP client against nginx in network namespaces of the
// test's own, a dual-stack name whose IPv6 listener drops every packet and
// a name that has only an IPv6 address.

#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/watch/http_web_client.h"
#include "app/watch_rig.h"
#include "http/http_client.h"
#include "support/isolated_network.h"
#include "support/nginx_server.h"

namespace corvasse {
namespace {

using Lines = std::vector<std::string>;

// A watch of url over each family.
struct EachFamilyWatch : test::WatchRig {
    EachFamilyWatch(const std::string& url, WebClient* web = nullptr) : WatchRig(web) {
        settings.WriteSetting("Settings", "ipFamily", "each");
        form.texts[Field::txtURL2watch] = url;
        form.texts[Field::txtLookFor] = "all is well";
    }
};

TEST(EachFamilyWatchTest, EveryFamilyIsFetchedAndOneAlertNamesThoseThatFailed) {
    const std::string v4 = "Over IPv4 127.0.0.1:80: ", v6 = "Over IPv6 [::1]:80: ";
    const std::string timedOut = "Socket Error # 10060 Connection timed out.", missing = "the text was not on the page";
    const struct {
        const char* name;
        bool ipv4Fails, ipv6Fails;
        std::string body;
        Lines failures;
    } cases[] = {
        {"IPv6 fails", false, true, "all is well", {v6 + timedOut}},
        {"both fail", true, true, "all is well", {v4 + timedOut, v6 + timedOut}},
        {"the content fails over both", false, false, "something else", {v4 + missing, v6 + missing}},
        {"all well", false, false, "all is well", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EachFamilyWatch w("http://localhost/");
        test::FakeWebClient& web = w.fakeWeb;
        web.body = c.body;
        Lines families;
        web.duringGet = [&] {
            const bool ipv6 = web.family == AddressFamily::IPv6;
            families.push_back(ipv6 ? "IPv6" : web.family == AddressFamily::IPv4 ? "IPv4" : "any");
            web.peerAddress = ipv6 ? "[::1]:80" : "127.0.0.1:80";
            const bool fails = ipv6 ? c.ipv6Fails : c.ipv4Fails;
            web.failure = fails ? "Socket Error # 10060\r\nConnection timed out." : "";
        };
        w.watch.Run();
        EXPECT_EQ(families, (Lines{"IPv4", "IPv6"}));
        EXPECT_EQ(w.state.outcome.familyFailures, c.failures);
        EXPECT_EQ(w.view.lines, c.failures);
        EXPECT_EQ(w.alert.attempts, c.failures.empty() ? 0 : 1);
        EXPECT_EQ(w.view.watchCountText, "Watch count:1");
        // One result for the watch, whose reason names every family that failed.
        const std::vector<WatchResult> history = w.History();
        ASSERT_EQ(history.size(), 1u);
        EXPECT_EQ(history[0].state, c.failures.empty() ? ResultState::Up : ResultState::Down);
        std::string reason;
        for (const auto& failure : c.failures) reason += (reason.empty() ? "" : "; ") + failure;
        EXPECT_EQ(history[0].reason, reason);
    }
}

TEST(EachFamilyWatchTest, EachFamilysCertificateWarnsOnceWhateverTheOtherShows) {
    const auto soon = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()) + std::chrono::days(9);
    const struct {
        const char* name;
        const char* ipv6Serial;
        size_t warnings;
    } cases[] = {
        {"one certificate for both", "1A", 1},
        {"a certificate of its own for each", "2B", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EachFamilyWatch w("https://localhost/");
        w.settings.WriteSetting("Settings", "allowHttps", "y");
        w.settings.WriteSetting("Settings", "certWarnDays", "14");
        w.fakeWeb.body = "all is well";
        w.fakeWeb.duringGet = [&] {
            const bool ipv6 = w.fakeWeb.family == AddressFamily::IPv6;
            w.fakeWeb.certificate = PeerCertificate{"localhost", soon, "CN=Test CA", ipv6 ? c.ipv6Serial : "1A"};
        };
        w.watch.Run();
        EXPECT_EQ(w.view.lines.size(), c.warnings);
        EXPECT_EQ(w.alert.certificateWarnings.size(), c.warnings);
        for (const std::string& line : w.view.lines)
            EXPECT_EQ(line.rfind("Certificate for localhost expires in ", 0), 0u);
    }
}

TEST(EachFamilyWatchTest, APingGoesOverBothFamiliesAndNamesTheOneThatFailed) {
    EachFamilyWatch w("http://");
    w.settings.WriteSetting("Settings", "PingOnly", "y");
    w.form.texts[Field::editIPaddr] = " localhost ";
    std::vector<AddressFamily> families;
    w.fakePinger.duringPing = [&] {
        families.push_back(w.fakePinger.family);
        w.fakePinger.failure = w.fakePinger.family == AddressFamily::IPv6 ? "Timeout." : "";
    };
    w.watch.Run();
    EXPECT_EQ(families, (std::vector<AddressFamily>{AddressFamily::IPv4, AddressFamily::IPv6}));
    ASSERT_EQ(w.view.lines.size(), 4u);
    EXPECT_NE(w.view.lines[0].find(" - Ping response time: "), std::string::npos);
    EXPECT_NE(w.view.lines[1].find(" - error Pinging site:localhost"), std::string::npos);
    EXPECT_EQ(w.view.lines[2], "Over IPv6 [::1]: Timeout.");
    EXPECT_NE(w.view.lines[3].find(" - Ping response time: "), std::string::npos);
    EXPECT_NE(test::ReadFile(w.logFile).find("Over IPv6 [::1]: Timeout.\r\n"), std::string::npos);
    const std::vector<WatchResult> history = w.History();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].state, ResultState::Down);
    EXPECT_EQ(history[0].reason, "Over IPv6 [::1]: Timeout.");
}

// The HTTP client with a connect time-out short enough for a test.
class QuickConnectWebClient : public HttpWebClient {
public:
    using HttpWebClient::HttpWebClient;
    void SetConnectTimeout(std::chrono::milliseconds) override {
        HttpWebClient::SetConnectTimeout(std::chrono::milliseconds(1000));
    }
};

std::string Joined(const Lines& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

TEST(EachFamilyWatchTest, ADroppingIPv6ListenerIsReportedAndAMissingFamilySkippedOnce) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root for network namespaces";
    const std::string outcome = test::RunInChild([] {
        test::EnterNetworkWithHosts("127.0.0.1 dual.test\n::1 dual.test\n::1 v6only.test\n");
        test::NginxServer server("listen [::1]:@PORT@;");
        server.WriteFile("page.html", "all is well");
        const std::string port = std::to_string(server.Port());
        test::DropTcpTo("::1", server.Port());
        HttpClient client;
        QuickConnectWebClient web(client);
        EachFamilyWatch dual("http://dual.test:" + port + "/page.html", &web);
        dual.watch.Run();
        std::string text =
            port + "\n" + Joined(dual.view.lines) + "alerts " + std::to_string(dual.alert.attempts) + "\n";

        test::NginxServer v6only("", std::nullopt, "::1");
        v6only.WriteFile("page.html", "all is well");
        EachFamilyWatch single("http://v6only.test:" + std::to_string(v6only.Port()) + "/page.html", &web);
        single.watch.Run();
        single.watch.Run();
        return text + "--\n" + Joined(single.view.lines) + "alerts " + std::to_string(single.alert.attempts) + " " +
               std::to_string(single.state.outcome.pageLength);
    });
    const std::string port = outcome.substr(0, outcome.find('\n'));
    EXPECT_EQ(outcome, port + "\nOver IPv6 [::1]:" + port +
                           ": Connect timed out.\n"
                           "alerts 1\n"
                           "--\n"
                           "v6only.test has no IPv4 address: it is watched over IPv6 only.\n"
                           "alerts 0 11");
}

}  // namespace
}  // namespace corvasse
