// The README's configurations run by the monitoring engines people already
// have, taken from the README itself so that the two cannot part: a real
// Prometheus (Debian's prometheus) scrapes the service's metrics every second
// with its scrape_config and alerting rule, and a real Icinga 2 (Debian's
// icinga2, configured in tests/cli/icinga) runs check_corvasse through its
// CheckCommand.

#include <gtest/gtest.h>

#include <csignal>
#include <regex>

#include "support/child_process.h"
#include "support/http_exchange.h"
#include "support/nginx_server.h"
#include "support/server_process.h"

namespace corvasse {
namespace {

const char* const kPrometheus = "/usr/bin/prometheus";
const char* const kPromtool = "/usr/bin/promtool";
const char* const kIcinga = "/usr/sbin/icinga2";
const std::filesystem::path kSource = CORVASSE_SOURCE_DIR;
// The engines start and run on a busy machine.
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

// The last result Icinga wrote for the service: "STATE<TAB>OUTPUT<TAB>PERFDATA".
std::string LastResult(const std::filesystem::path& results, const std::string& service) {
    std::string last;
    for (const auto& file : std::filesystem::directory_iterator(results)) {
        std::smatch line;
        const std::string text = test::ReadFile(file.path());
        if (std::regex_search(text, line, std::regex("(^|\n)" + service + "\t([^\n]*)"))) last = line.str(2);
    }
    return last;
}

TEST(PrometheusEngineTest, ScrapesEachWatchAndAlertsByTheReadmesRule) {
    if (!std::filesystem::exists(kPrometheus) || !std::filesystem::exists(kPromtool))
        GTEST_SKIP() << "Debian's prometheus is not installed: scripts/setup-deps.sh installs it";
    const std::string readme = test::ReadFile(kSource / "README.md");
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
    const std::string check = "curl -sg 'http://" + metrics + "/metrics' | " + kPromtool + " check metrics > '" +
                              (engine / "check.txt").string() + "' 2>&1";
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

TEST(IcingaEngineTest, RunsTheReadmesCheckCommand) {
    if (!std::filesystem::exists(kIcinga))
        GTEST_SKIP() << "Debian's icinga2 is not installed: scripts/setup-deps.sh installs it";
    const std::string readme = test::ReadFile(kSource / "README.md");
    std::smatch command;
    ASSERT_TRUE(std::regex_search(readme, command, std::regex(R"(object CheckCommand "corvasse" \{[\s\S]*?\n\}\n)")));
    test::NginxServer web;
    web.WriteFile("shop.html", "<button>Add to cart</button>\n");
    test::TempDir dir;
    const std::filesystem::path engine = dir.Path();
    std::string config = test::ReadFile(kSource / "tests" / "cli" / "icinga" / "icinga2.conf");
    for (const auto& [name, value] : {std::pair<std::string, std::string>{"ENGINE", engine.string()},
                                      {"PLUGINS", std::filesystem::path(CHECK_CORVASSE_BINARY).parent_path().string()},
                                      {"PAGE", web.Url("/shop.html")}})
        config = std::regex_replace(config, std::regex("@" + name + "@"), value);
    test::WriteFile(engine / "icinga2.conf", config + command.str());
    // Its state, caches and run files in the test's folder too.
    std::vector<std::string> args = {
        kIcinga, "daemon", "-c", (engine / "icinga2.conf").string(), "-DRunAsUser=root", "-DRunAsGroup=root"};
    for (const std::string folder : {"CacheDir", "DataDir", "LogDir", "SpoolDir", "InitRunDir"})
        args.push_back("-D" + folder + "=" + engine.string());
    std::filesystem::create_directories(engine / "results");
    test::ChildProcess icinga(args, engine);
    // Read while it runs: its last rotation may replace a file of the same second.
    std::string passed, failed;
    const auto checked = [&] {
        passed = LastResult(engine / "results", "Add to cart");
        failed = LastResult(engine / "results", "Sold out");
        return !passed.empty() && !failed.empty();
    };
    const bool bothChecked = test::Eventually(checked, kEngineWait);
    icinga.Signal(SIGTERM);
    EXPECT_TRUE(icinga.Wait(30000)) << icinga.Output();
    ASSERT_TRUE(bothChecked) << icinga.Output();
    const std::string page = web.Url("/shop.html");
    const std::string perfdata = R"( ?\ttime=[0-9.]+s;;;0 size=29B;;;0)";
    EXPECT_TRUE(std::regex_match(passed, std::regex("OK\tCORVASSE OK - " + page + " 29 bytes in [0-9.]+ s" + perfdata)))
        << passed;
    EXPECT_TRUE(std::regex_match(
        failed, std::regex("CRITICAL\tCORVASSE CRITICAL - " + page + " did not contain \"Sold out today\"" + perfdata)))
        << failed;
}

}  // namespace
}  // namespace corvasse
