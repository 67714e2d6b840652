// Whole watches through the real main window: a web watch against a loopback
// nginx, and a ping watch of the loopback address.

#include <gtest/gtest.h>

#include <QProgressBar>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "app/watch/watch_state.h"
#include "support/monitor_files.h"
#include "support/nginx_server.h"
#include "support/temp_dir.h"
#include "ui/watching_window.h"

namespace corvasse {
namespace {

class WebWatchTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::WatchingWindow watch{test::MonitorFilesIn(dir.Path())};
    MainWindow& window = watch.window;
};

TEST_F(WebWatchTest, FetchesThroughARedirectAndShowsEveryStep) {
    test::NginxServer server("absolute_redirect off;\nlocation = /old { return 302 /page.html; }");
    const std::string page = "<html>" + std::string(200000, '.') + " all is well</html>\n";
    server.WriteFile("page.html", page);
    watch.FillWebWatch(server.Url("/old"));

    auto* progress = window.findChild<QProgressBar*>("httpProgressBar");
    ASSERT_NE(progress, nullptr);
    std::vector<int> positions;
    QObject::connect(progress, &QProgressBar::valueChanged, [&](int value) { positions.push_back(value); });

    // "Start Watching" runs the first watch at once, on the watch's own thread.
    ASSERT_TRUE(watch.Start());

    EXPECT_EQ(window.Monitor().State().outcome.pageLength, static_cast<int64_t>(page.size()));
    EXPECT_EQ(window.Monitor().State().outcome.textFound, true);
    // The redirect's own body is read and dropped in a transfer of its own.
    EXPECT_EQ(watch.PaneLines(),
              (test::Lines{"HTTP Connected...", "HTTP done...", "HTTP done...", "HTTP Disconnected..."}));
    EXPECT_EQ(watch.Panel("statusPanel"), "Watching...");
    EXPECT_EQ(watch.Panel("watchCountPanel"), "Watch count:1");
    // The bar climbed to the page's size while the body came in, and went back
    // to 0 when the connection closed.
    EXPECT_EQ(progress->maximum(), static_cast<int>(page.size()));
    ASSERT_GE(positions.size(), 3u);
    EXPECT_EQ(positions.back(), 0);
    EXPECT_EQ(positions[positions.size() - 2], static_cast<int>(page.size()));
    // The page's transfer: a climb through intermediate positions to the end.
    size_t climbStart = positions.size() - 2;
    while (climbStart > 0 && positions[climbStart - 1] <= positions[climbStart]) --climbStart;
    EXPECT_GE(positions.size() - 1 - climbStart, 3u) << "no progress shown while the page came in";
    EXPECT_TRUE(watch.dialogs.calls.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "Corvasse.log"));

    watch.Click("btnCancel");
    EXPECT_EQ(window.StatusText(), "Watching process stopped...");
}

TEST_F(WebWatchTest, PingWatchShowsAndLogsTheResponseTime) {
    window.Monitor().Settings().WriteSetting("Settings", "PingOnly", "y");
    window.SetText(Field::editIPaddr, " 127.0.0.1 ");
    window.SetText(Field::txtWatchFreq, "15");
    ASSERT_TRUE(watch.Start());

    const std::string line = R"(\S.*\S - Ping response time: \d+ \(ms\))";
    const test::Lines lines = watch.PaneLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(line))) << lines[0];
    const std::string log = test::ReadFile(dir.Path() / "Corvasse.log");
    EXPECT_TRUE(std::regex_match(log, std::regex(line + "\r\n"))) << log;
    EXPECT_EQ(window.StatusText(), "Watching...");
    EXPECT_TRUE(watch.dialogs.calls.empty());
    watch.Click("btnCancel");
}

}  // namespace
}  // namespace corvasse
