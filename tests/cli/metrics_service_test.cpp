// `corvasse --headless [--all] --metrics HOST:PORT`: the watches' metrics
// served on a loopback port beside the watches, whatever the clients do.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <regex>

#include <poll.h>

#include "app/metrics/metrics_listener.h"
#include "support/child_process.h"
#include "support/http_exchange.h"
#include "support/loopback.h"
#include "support/nginx_server.h"
#include "support/server_process.h"

namespace corvasse {
namespace {

using std::chrono::seconds;
using Clock = std::chrono::steady_clock;

class MetricsServiceTest : public ::testing::Test {
protected:
    MetricsServiceTest() {
        std::filesystem::create_directories(folder_);
        web_.WriteFile("index.html", "<p>Welcome</p>\n");
    }

    // A watch of the page every second; settings adds lines of its own.
    std::filesystem::path WriteWatch(const std::string& name, const std::string& settings = "") {
        const std::filesystem::path file = folder_ / (name + ".conf");
        std::ofstream(file) << "[Settings]\nurl2watch=" << web_.Url("/index.html")
                            << "\nchecktype=lookfor\ntxtLookFor=Welcome\nintervalSeconds=1\n"
                            << settings;
        return file;
    }

    std::unique_ptr<test::ChildProcess> Run(std::vector<std::string> args) {
        args.insert(args.begin(), CORVASSE_BINARY);
        for (const char* option : {"--log", "--history"})
            args.insert(args.end(), {option, (dir_.Path() / option).string()});
        return std::make_unique<test::ChildProcess>(args, dir_.Path(), test::kDisplayVariables);
    }

    std::string Scrape(const std::string& host = "127.0.0.1") {
        return test::HttpExchange(host, port_, "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n");
    }

    test::TempDir dir_;
    const std::filesystem::path folder_ = dir_.Path() / "watches";
    test::NginxServer web_;
    const int port_ = test::TryBind("127.0.0.1", 0);
};

TEST_F(MetricsServiceTest, HostileClientsNeverStopTheWatchesNorHoldTheAnswers) {
    WriteWatch("shop");
    auto service =
        Run({"--headless", "--all", "--watches", folder_.string(), "--metrics", "127.0.0.1:" + std::to_string(port_)});
    const std::string up = R"(corvasse_up{watch="shop",address=")" + web_.Url("/index.html") + "\"} 1\n";
    ASSERT_TRUE(test::Eventually(
        [&] { return test::Accepts("127.0.0.1", port_) && Scrape().find(up) != std::string::npos; }, seconds(60)))
        << service->Output() << service->Errors();
    const std::string head = "GET /metrics HTTP/1.1\r\nX: ", end = "\r\n\r\n";
    const std::pair<std::string, std::string> exchanges[] = {
        {"GET /metrics/../metrics HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found\r\n"},
        {"DELETE /metrics HTTP/1.1\r\n\r\n", "HTTP/1.1 405 Method Not Allowed\r\n"},
        {head + std::string(kMetricsHeadLimitBytes - head.size() - end.size(), 'a') + end, "HTTP/1.1 200 OK\r\n"},
        {head + std::string(kMetricsHeadLimitBytes + 1 - head.size() - end.size(), 'a') + end, ""},
        {head + std::string(3 * kMetricsHeadLimitBytes, 'a'), ""}};
    for (const auto& [request, answer] : exchanges)
        EXPECT_TRUE(test::HttpExchange("127.0.0.1", port_, request).starts_with(answer)) << request.substr(0, 40);
    const std::string headOnly = test::HttpExchange("127.0.0.1", port_, "HEAD /metrics HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(headOnly.starts_with("HTTP/1.1 200 OK\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8\r\n") &&
                headOnly.ends_with(end))
        << headOnly;

    // A head that never ends is cut after its time.
    const FileDescriptor slow = test::ConnectTcp("127.0.0.1", port_);
    test::SendAll(slow, "GET /metrics HTTP/1.1\r\n");
    const auto sent = Clock::now();
    EXPECT_EQ(test::ReadUntilClosed(slow, seconds(60)), "");
    EXPECT_GT(Clock::now() - sent, kMetricsHeadTimeout - seconds(1));
    EXPECT_LT(Clock::now() - sent, seconds(30));

    // A hundred connections at once that send nothing: all but the limit
    // wait, and so does a scrape behind them; the watch goes on meanwhile.
    std::vector<FileDescriptor> idle;
    for (int i = 0; i < 100; ++i) idle.push_back(test::ConnectTcp("127.0.0.1", port_));
    const FileDescriptor queued = test::ConnectTcp("127.0.0.1", port_);
    test::SendAll(queued, "GET /metrics HTTP/1.1\r\n\r\n");
    const auto watches = [&] {
        const std::string output = service->Output(), line = "[shop] HTTP Disconnected";
        size_t count = 0;
        for (size_t at = output.find(line); at != std::string::npos; at = output.find(line, at + 1)) ++count;
        return count;
    };
    const auto before = watches();
    pollfd answer{queued.Get(), POLLIN, 0};
    EXPECT_EQ(poll(&answer, 1, 2000), 0) << "answered beyond the connection limit";
    EXPECT_TRUE(test::Eventually([&] { return watches() >= before + 2; }, seconds(30))) << service->Output();
    idle.clear();
    EXPECT_TRUE(test::ReadUntilClosed(queued, seconds(60)).starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(service->Running()) << service->Errors();
}

TEST_F(MetricsServiceTest, OneWatchServesOnIPv6FromItsSettingsAndRefusesWhatItCannotServe) {
    const std::string address = "[::1]:" + std::to_string(port_);
    const std::string settings = WriteWatch("shop", "metricsListen=" + address + "\n").string();
    auto service = Run({"--headless", "--settings", settings});
    ASSERT_TRUE(test::Eventually(
        [&] {
            return test::Accepts("::1", port_) &&
                   Scrape("::1").find(R"(corvasse_watches_total{watch="shop",address=")" + web_.Url("/index.html") +
                                      R"(",result="up"} )") != std::string::npos;
        },
        seconds(60)))
        << service->Output() << service->Errors();
    const std::string bad = WriteWatch("bad", "metricsListen=9477\n").string();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--headless", "--settings", settings},
         "corvasse: cannot listen for metrics on " + address + ": Address already in use\n"},
        {{"--headless", "--settings", settings, "--metrics", "::1:9477"},
         "corvasse: --metrics takes HOST:PORT, such as 127.0.0.1:9477 or [::1]:9477, not '::1:9477'.\n"},
        {{"--headless", "--settings", bad},
         "corvasse: metricsListen=9477 in the settings file must be HOST:PORT, such as 127.0.0.1:9477 or "
         "[::1]:9477.\n"},
        {{"--metrics", address},
         "corvasse: --metrics goes with --headless.\nTry 'corvasse --help' for more information.\n"}};
    for (const auto& [args, errors] : cases) {
        auto refused = Run(args);
        EXPECT_EQ(refused->Wait(30000), 2) << errors;
        EXPECT_EQ(refused->Errors(), errors);
    }
}

}  // namespace
}  // namespace corvasse
