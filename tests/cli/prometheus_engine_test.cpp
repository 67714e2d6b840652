// The service's metrics scraped every second by a real Prometheus (Debian's
// prometheus), with the scrape_config and the alerting rule the README gives,
// taken from the README itself so that the two cannot part.

#include <gtest/gtest.h>

#include <regex>

#include "support/child_process.h"
#include "support/http_exchange.h"
#include "support/nginx_server.h"
#include "support/server_process.h"

namespace corvasse {
namespace {

const char* const kPrometheus = "/usr/bin/prometheus";
const char* const kPromtool = "/usr/bin/promtool";
// Both programs start and scrape on a busy machine.
constexpr auto kEngineWait = std::chrono::seconds(90);

// The README's YAML block that begins with its first key.
std::string ReadmeBlock(const std::string& readme, const std::string& key) {
    std::smatch block;
    EXPECT_TRUE(std::regex_search(readme, block, std::regex("```yaml\n(" + key + ":[^`]*)```"))) << key;
    return block.str(1);
}

std::string Get(const std::string& host, int port, const std::string& path) {
    return test::HttpExchange(host, port, "GET " + path + " HTTP/1.0\r\n\r\n");
}

TEST(PrometheusEngineTest, ScrapesEachWatchAndAlertsByTheReadmesRule) {
    if (!std::filesystem::exists(kPrometheus) || !std::filesystem::exists(kPromtool))
        GTEST_SKIP() << "Debian's prometheus is not installed: scripts/setup-deps.sh installs it";
    const std::string readme = test::ReadFile(std::filesystem::path(CORVASSE_SOURCE_DIR) / "README.md");
    test::TempDir dir;
    test::NginxServer web;
    for (const char* page : {"shop.html", "blog.html"}) web.WriteFile(page, "<p>Add to cart</p>\n");
    const std::filesystem::path watches = dir.Path() / "watches", engine = dir.Path() / "prometheus";
    for (const auto& folder : {watches, engine}) std::filesystem::create_directories(folder);
    // Two watches; the address is in the folder's Corvasse.conf, which is a watch too.
    const int port = test::TryBind("::1", 0), apiPort = test::TryBind("127.0.0.1", 0);
    const std::string metrics = "[::1]:" + std::to_string(port),
                      watch = "\nchecktype=lookfor\ntxtLookFor=Add to cart\nintervalSeconds=1\n";
    test::WriteFile(watches / "shop.conf", "[Settings]\nurl2watch=" + web.Url("/shop.html") + watch);
    test::WriteFile(watches / "Corvasse.conf",
                    "[Settings]\nurl2watch=" + web.Url("/blog.html") + watch + "metricsListen=" + metrics + "\n");
    test::ChildProcess service(
        {CORVASSE_BINARY, "--headless", "--all", "--watches", watches.string(), "--log", "log", "--history", "history"},
        dir.Path(), test::kDisplayVariables);
    test::WriteFile(engine / "rules.yml", ReadmeBlock(readme, "groups"));
    test::WriteFile(
        engine / "prometheus.yml",
        "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\nrule_files: [rules.yml]\n" +
            std::regex_replace(ReadmeBlock(readme, "scrape_configs"), std::regex("127\\.0\\.0\\.1:9477"), metrics));
    test::ChildProcess prometheus({kPrometheus, "--config.file=" + (engine / "prometheus.yml").string(),
                                   "--storage.tsdb.path=" + (engine / "data").string(),
                                   "--web.listen-address=127.0.0.1:" + std::to_string(apiPort)},
                                  engine);

    // Each watch's series, with its labels, holds the value.
    std::string answer;
    const auto upAre = [&](const char* shop, const char* blog) {
        answer = Get("127.0.0.1", apiPort, "/api/v1/query?query=corvasse_up");
        const auto holds = [&](const std::string& name, const std::string& url, const char* value) {
            return answer.find(R"("address":")" + url + R"(","instance":")" + metrics +
                               R"(","job":"corvasse","watch":")" + name + R"("},"value":[)") != std::string::npos &&
                   std::regex_search(answer,
                                     std::regex(R"("watch":")" + name + R"("\},"value":\[[0-9.]+,")" + value + "\""));
        };
        return holds("shop", web.Url("/shop.html"), shop) && holds("Corvasse", web.Url("/blog.html"), blog);
    };
    ASSERT_TRUE(test::Eventually([&] { return upAre("1", "1"); }, kEngineWait))
        << answer << prometheus.Errors() << service.Output() << service.Errors();
    // promtool finds nothing to complain about in what the service serves.
    const std::string scrape = Get("::1", port, "/metrics");
    test::WriteFile(engine / "scrape.txt", scrape.substr(scrape.find("\r\n\r\n") + 4));
    const std::string check = std::string(kPromtool) + " check metrics < '" + (engine / "scrape.txt").string() +
                              "' > '" + (engine / "check.txt").string() + "' 2>&1";
    EXPECT_EQ(std::system(check.c_str()), 0) << test::ReadFile(engine / "check.txt");
    EXPECT_EQ(test::ReadFile(engine / "check.txt"), "");

    web.WriteFile("shop.html", "<p>Sold out</p>\n");
    ASSERT_TRUE(test::Eventually([&] { return upAre("0", "1"); }, kEngineWait)) << answer << service.Output();
    const auto pending = [&] {
        answer = Get("127.0.0.1", apiPort, "/api/v1/alerts");
        return std::regex_search(
            answer,
            std::regex(
                R"("alertname":"CorvasseDown",[^}]*"watch":"shop"\},"annotations":\{[^}]*\},"state":"pending")"));
    };
    EXPECT_TRUE(test::Eventually(pending, kEngineWait)) << answer;
}

}  // namespace
}  // namespace corvasse
