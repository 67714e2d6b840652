// The service's metrics scraped every second by a real Prometheus (Debian's
// prometheus), with the scrape_config and the alerting rule the README gives,
// taken from the README itself so that the two cannot part.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "common/memory_stream.h"
#include "http/http_client.h"
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

std::string Get(const std::string& url) {
    HttpClient client;
    MemoryStream body;
    try {
        client.Get(url, body);
    } catch (const std::exception& error) {
        return error.what();
    }
    return body.Release();
}

// The value the query's answer holds for the series with these labels
// ("1"), or "" when it has none.
std::string ValueOf(const std::string& answer, const std::string& labels) {
    const std::string series = labels + R"(},"value":[)";
    const size_t at = answer.find(series);
    if (at == std::string::npos) return "";
    const size_t quote = answer.find('"', at + series.size());
    return answer.substr(quote + 1, answer.find('"', quote + 1) - quote - 1);
}

TEST(PrometheusEngineTest, ScrapesEachWatchAndAlertsByTheReadmesRule) {
    if (!std::filesystem::exists(kPrometheus) || !std::filesystem::exists(kPromtool))
        GTEST_SKIP() << "Debian's prometheus is not installed: scripts/setup-deps.sh installs it";
    const std::string readme = test::ReadFile(std::filesystem::path(CORVASSE_SOURCE_DIR) / "README.md");
    test::TempDir dir;
    test::NginxServer web;
    web.WriteFile("shop.html", "<p>Add to cart</p>\n");
    const std::filesystem::path watches = dir.Path() / "watches";
    std::filesystem::create_directories(watches);
    std::ofstream(watches / "shop.conf") << "[Settings]\nurl2watch=" << web.Url("/shop.html")
                                         << "\nchecktype=lookfor\ntxtLookFor=Add to cart\nintervalSeconds=1\n";
    const std::string metrics = "127.0.0.1:" + std::to_string(test::TryBind("127.0.0.1", 0));
    test::ChildProcess service({CORVASSE_BINARY, "--headless", "--all", "--watches", watches.string(), "--log", "log",
                                "--history", "history", "--metrics", metrics},
                               dir.Path(), test::kDisplayVariables);

    const std::filesystem::path engine = dir.Path() / "prometheus";
    std::filesystem::create_directories(engine);
    test::WriteFile(engine / "rules.yml", ReadmeBlock(readme, "groups"));
    test::WriteFile(
        engine / "prometheus.yml",
        "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\nrule_files: [rules.yml]\n" +
            std::regex_replace(ReadmeBlock(readme, "scrape_configs"), std::regex("127\\.0\\.0\\.1:9477"), metrics));
    const std::string api = "http://127.0.0.1:" + std::to_string(test::TryBind("127.0.0.1", 0));
    test::ChildProcess prometheus(
        {kPrometheus, "--config.file=" + (engine / "prometheus.yml").string(),
         "--storage.tsdb.path=" + (engine / "data").string(), "--web.listen-address=" + api.substr(7)},
        engine);

    const std::string labels = R"("address":")" + web.Url("/shop.html") + R"(","instance":")" + metrics +
                               R"(","job":"corvasse","watch":"shop")";
    std::string answer;
    const auto upIs = [&](const char* value) {
        answer = Get(api + "/api/v1/query?query=corvasse_up");
        return ValueOf(answer, labels) == value;
    };
    ASSERT_TRUE(test::Eventually([&] { return upIs("1"); }, kEngineWait))
        << answer << prometheus.Errors() << service.Output() << service.Errors();
    EXPECT_NE(Get(api + "/api/v1/rules").find(R"("name":"CorvasseDown","query":"corvasse_up == 0","duration":120)"),
              std::string::npos);

    // promtool finds nothing to complain about in what the service serves.
    test::WriteFile(engine / "scrape.txt", Get("http://" + metrics + "/metrics"));
    const std::string check = std::string(kPromtool) + " check metrics < '" + (engine / "scrape.txt").string() +
                              "' > '" + (engine / "check.txt").string() + "' 2>&1";
    EXPECT_EQ(std::system(check.c_str()), 0) << test::ReadFile(engine / "check.txt");
    EXPECT_EQ(test::ReadFile(engine / "check.txt"), "");

    std::filesystem::remove(web.Root() / "shop.html");
    ASSERT_TRUE(test::Eventually([&] { return upIs("0"); }, kEngineWait)) << answer << service.Output();
    const auto pending = [&] {
        answer = Get(api + "/api/v1/alerts");
        return answer.find(R"("alertname":"CorvasseDown","instance":")" + metrics) != std::string::npos &&
               answer.find(R"("state":"pending")") != std::string::npos;
    };
    EXPECT_TRUE(test::Eventually(pending, kEngineWait)) << answer;
}

}  // namespace
}  // namespace corvasse
