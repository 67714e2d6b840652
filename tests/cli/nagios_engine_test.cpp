// check_corvasse run by a real Nagios 4 through the command definitions the
// README gives, taken from the README itself so that the two cannot part.
// The engine's configuration is in tests/cli/nagios.

#include <gtest/gtest.h>
#include <pwd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <regex>
#include <thread>

#include "app/settings/settings_store.h"
#include "support/child_process.h"
#include "support/nginx_server.h"

namespace corvasse {
namespace {

const std::filesystem::path kTemplates = std::filesystem::path(CORVASSE_SOURCE_DIR) / "tests" / "cli" / "nagios";
// Nagios starts and runs every check at once; a busy machine may take its time.
constexpr auto kResultsWait = std::chrono::seconds(90);

// The template with each "@NAME@" replaced.
std::string Filled(std::string text, const std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [name, value] : values) text = std::regex_replace(text, std::regex("@" + name + "@"), value);
    return text;
}

// The service's entry in Nagios' status file, or "" before its first check.
std::string CheckedService(const std::string& status, const std::string& name) {
    std::smatch entry;
    std::regex_search(status, entry, std::regex("servicestatus \\{[^}]*\tservice_description=" + name + "\n[^}]*"));
    return entry.str().find("\thas_been_checked=1\n") == std::string::npos ? "" : entry.str();
}

TEST(NagiosEngineTest, RunsTheReadmesCommandDefinitions) {
    const std::string readme = test::ReadFile(std::filesystem::path(CORVASSE_SOURCE_DIR) / "README.md");
    std::string commands;
    const std::regex definition(R"(define command \{[^}]*\})");
    for (std::sregex_iterator it(readme.begin(), readme.end(), definition), end; it != end; ++it)
        commands += it->str() + "\n";
    test::NginxServer web;
    web.WriteFile("shop.html", "<button>Add to cart</button>\n");
    test::TempDir dir;
    const std::filesystem::path engine = dir.Path() / "nagios";
    const std::filesystem::path settings = dir.Path() / "shop watches" / "shop.conf";
    SettingsStore store = SettingsStore::AtFile(settings);
    store.WriteSetting("Settings", "url2watch", web.Url("/shop.html"));
    store.WriteSetting("Settings", "txtLookFor", "Add to cart");
    std::filesystem::create_directories(engine / "results");
    // Nagios started as root runs as nobody, which must read its files and run the plugin.
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    const std::vector<std::pair<std::string, std::string>> values = {{"ENGINE", engine.string()},
                                                                     {"GROUP", std::to_string(nobody->pw_gid)},
                                                                     {"PAGE", web.Url("/shop.html")},
                                                                     {"SETTINGS", settings.string()}};
    test::WriteFile(engine / "nagios.cfg", Filled(test::ReadFile(kTemplates / "nagios.cfg"), values));
    test::WriteFile(engine / "objects.cfg", commands + Filled(test::ReadFile(kTemplates / "objects.cfg"), values));
    // A copy beside the engine's files: nobody may not reach the build folder (under root's home, say).
    const std::filesystem::path plugins = engine / "plugins";
    std::filesystem::create_directories(plugins);
    std::filesystem::copy_file(CHECK_CORVASSE_BINARY, plugins / "check_corvasse");
    test::WriteFile(engine / "resource.cfg", "$USER1$=" + plugins.string() + "\n");
    const std::string owner = std::to_string(nobody->pw_uid) + ":" + std::to_string(nobody->pw_gid);
    ASSERT_EQ(std::system(("chown -R " + owner + " '" + dir.Path().string() + "'").c_str()), 0);

    test::ChildProcess nagios({"/usr/sbin/nagios4", (engine / "nagios.cfg").string()}, engine);
    const char* names[] = {"Add to cart", "Sold out", "From settings"};
    std::string status;
    auto allChecked = [&] {
        status = test::ReadFile(engine / "status.dat");
        return std::all_of(std::begin(names), std::end(names),
                           [&](auto n) { return !CheckedService(status, n).empty(); });
    };
    for (const auto deadline = std::chrono::steady_clock::now() + kResultsWait;
         !allChecked() && nagios.Running() && std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    nagios.Signal(SIGTERM);
    EXPECT_TRUE(nagios.Wait(30000)) << nagios.Errors();
    // Each service's state and the start of its output; each has performance data.
    const std::string page = web.Url("/shop.html"), passed = "CORVASSE OK - " + page + " 29 bytes in ";
    const std::vector<std::string> expected[] = {
        {"current_state=0\n", "plugin_output=" + passed},
        {"current_state=2\n", "plugin_output=CORVASSE CRITICAL - " + page + " did not contain \"Sold out today\"\n"},
        {"current_state=0\n", "plugin_output=" + passed}};
    for (size_t i = 0; i < std::size(names); ++i) {
        const std::string entry = CheckedService(status, names[i]);
        ASSERT_NE(entry, "") << names[i] << "\n" << nagios.Output() << test::ReadFile(engine / "nagios.log");
        for (const std::string& field : expected[i]) EXPECT_NE(entry.find("\t" + field), std::string::npos) << entry;
        EXPECT_NE(entry.find("\tperformance_data=time="), std::string::npos) << entry;
    }
}

}  // namespace
}  // namespace corvasse
