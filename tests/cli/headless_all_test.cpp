// `corvasse --headless --all`: every watch of a settings folder in one
// service, each line naming its watch, the folder read again at SIGHUP.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>

#include "support/child_process.h"
#include "support/loopback.h"
#include "support/nginx_server.h"
#include "support/scripted_peer.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

// AddressSanitizer says once, on the program's standard error, that it
// follows the watches' fibers only in part: that line is the sanitizer's,
// not the program's.
std::string ProgramErrors(std::string errors) {
    const size_t note = errors.find("WARNING: ASan doesn't fully support makecontext/swapcontext");
    if (note == std::string::npos) return errors;
    const size_t lineStart = errors.rfind('\n', note);
    const size_t lineEnd = errors.find('\n', note);
    const size_t from = lineStart == std::string::npos ? 0 : lineStart + 1;
    errors.erase(from, lineEnd == std::string::npos ? std::string::npos : lineEnd + 1 - from);
    return errors;
}

constexpr int kStartTimeoutMs = 30000;
constexpr auto kShutdownLimit = std::chrono::milliseconds(1000);

class HeadlessAllTest : public ::testing::Test {
protected:
    HeadlessAllTest() { std::filesystem::create_directories(folder_); }

    // A watch of the page every second that looks for text; its alerts go to
    // a port that refuses them.
    void WriteWatch(const std::string& name, const std::string& text, const std::string& url = "") {
        std::ofstream(folder_ / (name + ".conf"))
            << "[Settings]\nurl2watch=" << (url.empty() ? web_.Url("/index.html") : url)
            << "\nchecktype=lookfor\ntxtLookFor=" << text
            << "\nintervalSeconds=1\ntxtSMTPhost=127.0.0.1\nport=" << mailPort_ << "\n";
    }

    // args: the program's arguments, or a program that runs it and its arguments.
    std::unique_ptr<test::ChildProcess> Run(std::vector<std::string> args) {
        if (!args.front().starts_with("/")) args.insert(args.begin(), CORVASSE_BINARY);
        return std::make_unique<test::ChildProcess>(args, dir_.Path(), test::kDisplayVariables);
    }

    static bool WaitFor(test::ChildProcess& service, const std::function<bool()>& condition) {
        for (int waited = 0; waited < kStartTimeoutMs && service.Running() && !condition(); waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return condition();
    }

    test::TempDir dir_;
    const std::filesystem::path folder_ = dir_.Path() / "watches";
    test::NginxServer web_;
    const int mailPort_ = test::ClosedPort("127.0.0.1");
};

TEST_F(HeadlessAllTest, RunsEveryWatchOfTheFolderAndReadsItAgainAtSighup) {
    web_.WriteFile("index.html", "<p>Welcome</p>\n");
    // A server that accepts and never answers holds its own watch only.
    test::ScriptedPeer silent({test::peer::ReadLine(), test::peer::Sleep(60000)});
    WriteWatch("stuck", "Welcome", "http://127.0.0.1:" + std::to_string(silent.Port()) + "/");
    WriteWatch("shop", "Welcome");
    WriteWatch("blog", "Goodbye");
    // Started with fewer open files allowed than the hard limit.
    auto service = Run({"/usr/bin/prlimit", "--nofile=256:4096", CORVASSE_BINARY, "--headless", "--all", "--watches",
                        folder_.string(), "--log", (dir_.Path() / "all.log").string(), "--history",
                        (dir_.Path() / "h.sqlite3").string()});
    const auto has = [&](const std::string& line) { return service->Output().find(line) != std::string::npos; };
    ASSERT_TRUE(WaitFor(*service, [&] { return has("[shop] HTTP Disconnected...") && has("[blog] Sending e-mail"); }))
        << service->Output() << service->Errors();
    ASSERT_TRUE(silent.WaitSteps(1));
    const std::string limits = test::ReadFile("/proc/" + std::to_string(service->Pid()) + "/limits");
    EXPECT_TRUE(std::regex_search(limits, std::regex(R"(Max open files +4096 +4096 )"))) << limits;

    WriteWatch("news", "Welcome");
    std::filesystem::remove(folder_ / "shop.conf");
    WriteWatch("blog", "Welcome");
    service->Signal(SIGHUP);
    const std::string reread = "[blog] Settings read again from " + (folder_ / "blog.conf").string();
    ASSERT_TRUE(WaitFor(*service, [&] { return has("[news] HTTP Disconnected...") && has(reread); }))
        << service->Output() << service->Errors();
    // A few more watches of those that stay.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_TRUE(service->Running()) << service->Errors();

    const auto sent = std::chrono::steady_clock::now();
    service->Signal(SIGTERM);
    EXPECT_EQ(service->Wait(10000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, kShutdownLimit);

    const std::string output = service->Output();
    const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \[(shop|blog|news|stuck)\] .*)");
    for (const std::string& line : test::SplitLines(output)) EXPECT_TRUE(std::regex_match(line, stamped)) << line;
    // Each said once; after the second of each pair, nothing of the first.
    for (const auto& [line, then] : std::vector<std::pair<std::string, std::string>>{
             {"[shop] Watch removed: its settings file is gone", "[shop] "},
             {"[news] Watch added", "[news] Watch added"},
             {"[blog] Settings changed: read again at the next watch", "[blog] Settings changed"},
             {"[blog] Settings read again from ", "[blog] Sending e-mail alert..."}}) {
        ASSERT_NE(output.find(line), std::string::npos) << line << "\n" << output;
        EXPECT_EQ(output.find(then, output.find(line) + 1), std::string::npos) << line << "\n" << output;
    }
    // Only the failing watch alerted, in the one log; its messages name it.
    const std::string log = test::ReadFile(dir_.Path() / "all.log");
    EXPECT_NE(log.find("Looked for but did not find:Goodbye"), std::string::npos) << log;
    EXPECT_EQ(log.find("Looked for but did not find:Welcome"), std::string::npos) << log;
    EXPECT_TRUE(ProgramErrors(service->Errors()).starts_with("[blog] Socket Error # 10061")) << service->Errors();
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
        // Without --all, the folder's Corvasse.conf is the settings file.
        {{"--headless", "--watches", folder_.string()},
         "corvasse: cannot read the settings file \"" + (folder_ / "Corvasse.conf").string() +
             "\": No such file or directory\n"},
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
