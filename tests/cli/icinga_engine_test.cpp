// check_corvasse run by a real Icinga 2 (Debian's icinga2) through the
// CheckCommand the README gives, taken from the README itself so that the
// two cannot part. The engine's configuration is in tests/cli/icinga.

#include <gtest/gtest.h>

#include <csignal>
#include <regex>

#include "support/child_process.h"
#include "support/http_exchange.h"
#include "support/nginx_server.h"

namespace corvasse {
namespace {

const char* const kIcinga = "/usr/sbin/icinga2";
const std::filesystem::path kTemplate =
    std::filesystem::path(CORVASSE_SOURCE_DIR) / "tests" / "cli" / "icinga" / "icinga2.conf";
constexpr auto kResultsWait = std::chrono::seconds(90);

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

TEST(IcingaEngineTest, RunsTheReadmesCheckCommand) {
    if (!std::filesystem::exists(kIcinga))
        GTEST_SKIP() << "Debian's icinga2 is not installed: scripts/setup-deps.sh installs it";
    const std::string readme = test::ReadFile(std::filesystem::path(CORVASSE_SOURCE_DIR) / "README.md");
    std::smatch command;
    ASSERT_TRUE(std::regex_search(readme, command, std::regex(R"(object CheckCommand "corvasse" \{[\s\S]*?\n\}\n)")));
    test::NginxServer web;
    web.WriteFile("shop.html", "<button>Add to cart</button>\n");
    test::TempDir dir;
    const std::filesystem::path engine = dir.Path();
    std::string config = test::ReadFile(kTemplate);
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
    const bool bothChecked = test::Eventually(checked, kResultsWait);
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
