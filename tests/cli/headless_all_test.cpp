// `corvasse --headless --all`: every watch of a settings folder in one
// service, each line naming its watch, the folder read again at SIGHUP.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>

#include "app/settings/settings_store.h"
#include "support/child_process.h"
#include "support/loopback.h"
#include "support/nginx_server.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

constexpr int kStartTimeoutMs = 30000;
constexpr auto kShutdownLimit = std::chrono::milliseconds(1000);

class HeadlessAllTest : public ::testing::Test {
protected:
    HeadlessAllTest() { std::filesystem::create_directories(folder_); }

    // A watch of the page every second that looks for text; its alerts go to
    // a port that refuses them.
    void WriteWatch(const std::string& name, const std::string& text) {
        SettingsStore store = SettingsStore::AtFile(folder_ / (name + ".conf"));
        for (const auto& [key, value] :
             std::vector<std::pair<const char*, std::string>>{{"url2watch", web_.Url("/index.html")},
                                                              {"checktype", "lookfor"},
                                                              {"txtLookFor", text},
                                                              {"intervalSeconds", "1"},
                                                              {"txtSMTPhost", "127.0.0.1"},
                                                              {"port", std::to_string(mailPort_)}}) {
            store.WriteSetting("Settings", key, value);
        }
    }

    std::unique_ptr<test::ChildProcess> Run(const std::vector<std::string>& args) {
        std::vector<std::string> command = {CORVASSE_BINARY};
        command.insert(command.end(), args.begin(), args.end());
        return std::make_unique<test::ChildProcess>(command, dir_.Path(), test::kDisplayVariables);
    }

    static bool WaitFor(test::ChildProcess& service, const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
        while (std::chrono::steady_clock::now() < deadline && service.Running()) {
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return condition();
    }

    test::TempDir dir_;
    const std::filesystem::path folder_ = dir_.Path() / "watches";
    test::NginxServer web_;
    const int mailPort_ = test::ClosedPort("127.0.0.1");
};

TEST_F(HeadlessAllTest, RunsEveryWatchOfTheFolderAndReadsItAgainAtSighup) {
    web_.WriteFile("index.html", "<p>Welcome</p>\n");
    WriteWatch("shop", "Welcome");
    WriteWatch("blog", "Goodbye");
    auto service = Run({"--headless", "--all", "--watches", folder_.string(), "--log",
                        (dir_.Path() / "all.log").string(), "--history", (dir_.Path() / "h.sqlite3").string()});
    const auto has = [&](const std::string& line) { return service->Output().find(line) != std::string::npos; };
    ASSERT_TRUE(WaitFor(*service, [&] { return has("[shop] HTTP Disconnected...") && has("[blog] Sending e-mail"); }))
        << service->Output() << service->Errors();

    WriteWatch("news", "Welcome");
    std::filesystem::remove(folder_ / "shop.conf");
    WriteWatch("blog", "Welcome");
    service->Signal(SIGHUP);
    const std::string reread = "[blog] Settings read again from " + (folder_ / "blog.conf").string();
    ASSERT_TRUE(WaitFor(*service, [&] { return has("[news] HTTP Disconnected...") && has(reread); }))
        << service->Output() << service->Errors();
    // A few more watches of those that stay.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    ASSERT_TRUE(service->Running()) << service->Errors();

    const auto sent = std::chrono::steady_clock::now();
    service->Signal(SIGTERM);
    EXPECT_EQ(service->Wait(10000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, kShutdownLimit);

    const std::string output = service->Output();
    const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \[(shop|blog|news)\] .*)");
    for (const std::string& line : test::SplitLines(output)) EXPECT_TRUE(std::regex_match(line, stamped)) << line;
    const struct {
        const char* line;
        // Nothing of it follows the line.
        const char* then;
    } changes[] = {
        {"[shop] Watch removed: its settings file is gone", "[shop] "},
        {"[news] Watch added", nullptr},
        {"[blog] Settings changed: read again at the next watch", nullptr},
        {"[blog] Settings read again from ", "[blog] Sending e-mail alert..."},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.line);
        const size_t at = output.find(c.line);
        ASSERT_NE(at, std::string::npos) << output;
        EXPECT_EQ(output.find(c.line, at + 1), std::string::npos) << "said once";
        if (c.then) {
            EXPECT_EQ(output.find(c.then, at + 1), std::string::npos) << output;
        }
    }
    // Each watch ran on its own every second.
    for (const char* watch : {"[blog] HTTP done...", "[news] HTTP done..."}) {
        long count = 0;
        for (size_t at = output.find(watch); at != std::string::npos; at = output.find(watch, at + 1)) ++count;
        EXPECT_GE(count, 3) << watch;
    }
    // Only the failing watch alerted, in the one log; its messages name it.
    const std::string log = test::ReadFile(dir_.Path() / "all.log");
    EXPECT_NE(log.find("Looked for but did not find:Goodbye"), std::string::npos) << log;
    EXPECT_EQ(log.find("Looked for but did not find:Welcome"), std::string::npos) << log;
    EXPECT_TRUE(service->Errors().starts_with("[blog] Socket Error # 10061")) << service->Errors();
}

TEST_F(HeadlessAllTest, CommandLinesItCannotFollowExitWith2) {
    const std::string help = "Try 'corvasse --help' for more information.\n";
    const std::string settings = (dir_.Path() / "x.conf").string();
    const struct {
        std::vector<std::string> args;
        std::string errors;
    } cases[] = {
        {{"--headless", "--all", "--settings", settings},
         "corvasse: --all and --settings cannot be used together.\n" + help},
        {{"--all"}, "corvasse: --all goes with --headless.\n" + help},
        {{"--headless", "--watches", folder_.string(), "--settings", settings},
         "corvasse: --watches and --settings cannot be used together.\n" + help},
        {{"--headless", "--all", "--watches", folder_.string()},
         "corvasse: no watch (*.conf file) in \"" + folder_.string() + "\"\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.errors);
        auto run = Run(c.args);
        EXPECT_EQ(run->Wait(kStartTimeoutMs), 2);
        EXPECT_EQ(run->Errors(), c.errors);
        EXPECT_EQ(run->Output(), "");
    }
}

}  // namespace
}  // namespace corvasse
