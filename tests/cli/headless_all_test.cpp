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

#include <poll.h>
#include <signal.h>

#include "app/metrics/metrics_listener.h"
#include "support/child_process.h"
#include "support/http_exchange.h"
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

TEST_F(HeadlessAllTest, MetricsStandHostileClientsWhileTheWatchesGoOn) {
    using std::chrono::seconds;
    web_.WriteFile("index.html", "<p>Welcome</p>\n");
    WriteWatch("shop", "Welcome");
    const int port = test::TryBind("127.0.0.1", 0);
    // One watch without --all: it runs on the service's own thread, the answers on theirs.
    auto service =
        Run({"--headless", "--settings", (folder_ / "shop.conf").string(), "--log", (dir_.Path() / "all.log").string(),
             "--history", (dir_.Path() / "h.sqlite3").string(), "--metrics", "127.0.0.1:" + std::to_string(port)});
    const auto exchange = [&](const std::string& request) { return test::HttpExchange("127.0.0.1", port, request); };
    const std::string up = R"(corvasse_up{watch="shop",address=")" + web_.Url("/index.html") + "\"} 1\n";
    ASSERT_TRUE(
        WaitFor(*service, [&] { return exchange("GET /metrics HTTP/1.1\r\n\r\n").find(up) != std::string::npos; }))
        << service->Output() << service->Errors();
    const std::string head = "GET /metrics HTTP/1.1\r\nX: ", end = "\r\n\r\n";
    const std::pair<std::string, std::string> exchanges[] = {
        {"GET /metrics/../metrics HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found\r\n"},
        {"DELETE /metrics HTTP/1.1\r\n\r\n", "HTTP/1.1 405 Method Not Allowed\r\n"},
        {"HEAD /metrics HTTP/1.1\r\n\r\n",
         "HTTP/1.1 200 OK\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8\r\n"},
        {head + std::string(kMetricsHeadLimitBytes - head.size() - end.size(), 'a') + end, "HTTP/1.1 200 OK\r\n"},
        {head + std::string(kMetricsHeadLimitBytes + 1 - head.size() - end.size(), 'a') + end, ""},
        {head + std::string(3 * kMetricsHeadLimitBytes, 'a'), ""}};
    for (const auto& [request, answer] : exchanges) {
        // A head too long is closed at once, unanswered, not at its time-out.
        const auto sent = std::chrono::steady_clock::now();
        const std::string got = exchange(request);
        EXPECT_TRUE(answer.empty()
                        ? got.empty() && std::chrono::steady_clock::now() - sent < kMetricsHeadTimeout - seconds(1)
                        : got.starts_with(answer))
            << request.substr(0, 40) << got.substr(0, 40);
    }
    EXPECT_TRUE(exchange("HEAD /metrics HTTP/1.1\r\n\r\n").ends_with(end));

    // A head that never ends is cut after its time.
    const FileDescriptor slow = test::ConnectTcp("127.0.0.1", port);
    test::SendAll(slow, "GET /metrics HTTP/1.1\r\n");
    const auto sent = std::chrono::steady_clock::now();
    EXPECT_EQ(test::ReadUntilClosed(slow, seconds(60)), "");
    EXPECT_GT(std::chrono::steady_clock::now() - sent, kMetricsHeadTimeout - seconds(1));
    EXPECT_LT(std::chrono::steady_clock::now() - sent, seconds(30));

    // A hundred connections at once that send nothing: those past the limit
    // wait, and so does a scrape behind them, while the watch goes on.
    std::vector<FileDescriptor> idle;
    for (int i = 0; i < 100; ++i) idle.push_back(test::ConnectTcp("127.0.0.1", port));
    const FileDescriptor queued = test::ConnectTcp("127.0.0.1", port);
    test::SendAll(queued, "GET /metrics HTTP/1.1\r\n\r\n");
    const size_t flood = service->Output().size();
    pollfd answer{queued.Get(), POLLIN, 0};
    EXPECT_EQ(poll(&answer, 1, 2000), 0) << "answered past the connection limit";
    // Two more watches ended meanwhile.
    const auto watched = [&](size_t from) { return service->Output().find("HTTP Disconnected", from); };
    EXPECT_TRUE(WaitFor(*service, [&] {
        return watched(flood) != std::string::npos && watched(watched(flood) + 1) != std::string::npos;
    }));
    idle.clear();
    EXPECT_TRUE(test::ReadUntilClosed(queued, seconds(60)).starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(service->Running()) << service->Errors();
}

TEST_F(HeadlessAllTest, CommandLinesItCannotFollowExitWith2) {
    const std::string help = "Try 'corvasse --help' for more information.\n";
    const std::string settings = (dir_.Path() / "x.conf").string();
    const test::LoopbackListener taken("::1");
    const std::string busy = "[::1]:" + std::to_string(taken.Port()), bad = (dir_.Path() / "bad.conf").string();
    std::ofstream(bad) << "[Settings]\nmetricsListen=9477\n";
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
        {{"--headless", "--all", "--watches", folder_.string(), "--metrics", busy},
         "corvasse: cannot listen for metrics on " + busy + ": Address already in use\n"},
        {{"--headless", "--settings", bad, "--metrics", "::1:9477"},
         "corvasse: --metrics takes HOST:PORT, such as 127.0.0.1:9477 or [::1]:9477, not '::1:9477'.\n"},
        {{"--headless", "--settings", bad},
         "corvasse: metricsListen=9477 in the settings file must be HOST:PORT, such as 127.0.0.1:9477 or "
         "[::1]:9477.\n"},
        {{"--metrics", busy}, "corvasse: --metrics goes with --headless.\n" + help},
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
