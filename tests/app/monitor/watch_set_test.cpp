// The watches of a folder side by side on a shared pool, with the real
// clients against loopback peers; the window's thread is the test's, and
// every watch's timer ticks when the test says.

#include "app/monitor/watch_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/fakes.h"
#include "common/fiber_pool.h"
#include "support/loopback.h"
#include "support/message_lines.h"
#include "support/monitor_files.h"
#include "support/scripted_peer.h"
#include "support/temp_dir.h"
#include "support/test_window_thread.h"

namespace corvasse {
namespace {

namespace peer = test::peer;
using namespace std::chrono_literals;

const std::string kReply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";

std::string Url(int port) { return "http://127.0.0.1:" + std::to_string(port) + "/"; }

class WatchSetTest : public ::testing::Test {
protected:
    // A watch's parts as the set made them; they live as long as its watch.
    struct Made {
        test::FakeMonitorView* view;
        test::FakeTimer* timer;
        std::function<void()> tick;
    };

    WatchSetTest() { std::filesystem::create_directories(folder_); }

    // A web watch that looks for "ok" every `seconds`.
    WatchFile WebWatch(const std::string& name, const std::string& url, int seconds = 60) {
        const WatchFile file{name, folder_ / (name + ".conf")};
        std::ofstream(file.file) << "[Settings]\nurl2watch=" << url << "\nchecktype=lookfor\ntxtLookFor=ok\n"
                                 << "intervalSeconds=" << seconds << "\n";
        return file;
    }

    bool RunUntilEnded(const std::string& name, size_t count) {
        return window_.RunUntil([&] { return std::count(ended_.begin(), ended_.end(), name) >= long(count); });
    }

    test::TempDir temp_;
    const MonitorFiles files_ = test::MonitorFilesIn(temp_.Path());
    const std::filesystem::path folder_ = files_.settings.parent_path();
    test::TestWindowThread window_;
    std::map<std::string, Made> made_;
    std::vector<std::string> ended_;
    ResultTime now_;
    FiberPool pool_{kWatchThreads};
    WatchSet set_{window_,
                  pool_,
                  files_,
                  [this](const WatchFile& file, std::function<void()> tick) {
                      WatchParts parts{std::make_unique<test::FakeMonitorView>(), std::make_unique<test::FakeDialogs>(),
                                       std::make_unique<test::FakeTimer>()};
                      made_[file.name] = {static_cast<test::FakeMonitorView*>(parts.view.get()),
                                          static_cast<test::FakeTimer*>(parts.timer.get()), std::move(tick)};
                      return parts;
                  },
                  [this](const WatchStatus& status) { ended_.push_back(status.name); },
                  [this] { return now_; }};
};

TEST_F(WatchSetTest, EachWatchKeepsItsOwnScheduleAndAlertsForItselfWhileAnotherHangs) {
    test::ScriptedPeer hung({peer::ReadLine(), peer::Sleep(60000)});
    std::vector<test::PeerStep> answers;
    for (int i = 0; i < 3; ++i) answers.insert(answers.end(), {peer::ReadLine(), peer::Send(kReply), peer::Accept()});
    test::ScriptedPeer up(answers);
    const std::string refused = Url(test::ClosedPort("127.0.0.1"));
    struct Case {
        std::string name, url;
        int seconds;
        // After three ticks.
        LastResult last;
        size_t results, alerts;
    } cases[] = {
        {"hung", Url(hung.Port()), 30, LastResult::Unknown, 0, 0},
        {"shop", Url(up.Port()), 60, LastResult::Up, 3, 0},
        {"blog", refused, 120, LastResult::Down, 3, 3},
    };
    std::vector<WatchFile> files;
    for (const Case& c : cases) files.push_back(WebWatch(c.name, c.url, c.seconds));
    const WatchChanges changes = set_.Sync(files);
    EXPECT_EQ(changes.added, (std::vector<std::string>{"blog", "hung", "shop"}));
    ASSERT_TRUE(hung.WaitSteps(1));
    // Two more ticks each: the hung watch's tick only waits behind its own watch.
    std::optional<ResultTime> firstDown;
    for (size_t round = 1; round <= 3; ++round) {
        if (round > 1) {
            for (const Case& c : cases) made_[c.name].tick();
        }
        ASSERT_TRUE(RunUntilEnded("shop", round));
        ASSERT_TRUE(RunUntilEnded("blog", round));
        if (round == 1) firstDown = set_.Status("blog")->downSince;
    }
    ASSERT_TRUE(firstDown);
    const std::string log = test::ReadFile(files_.log);
    now_ = SystemTime();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const WatchStatus status = *set_.Status(c.name);
        EXPECT_EQ(status.address, c.url);
        EXPECT_TRUE(status.watching);
        EXPECT_EQ(status.last, c.last);
        EXPECT_EQ(size_t(std::count(ended_.begin(), ended_.end(), c.name)), c.results);
        EXPECT_EQ(made_[c.name].timer->interval, uint32_t(c.seconds * 1000));
        ASSERT_TRUE(status.next);
        EXPECT_GT(*status.next, now_);
        EXPECT_LE(*status.next, now_ + std::chrono::seconds(c.seconds));
        // Down since the first failure of the run, not the latest.
        EXPECT_EQ(status.downSince, c.last == LastResult::Down ? firstDown : std::nullopt);
        EXPECT_EQ(status.responseTime.has_value(), c.last == LastResult::Up);
        EXPECT_EQ(size_t(std::ranges::count(test::SplitLines(log), "Watching address: " + c.url)), c.alerts);
        // Its pane has only its own watch.
        for (const Case& other : cases) {
            if (other.name == c.name) continue;
            for (const std::string& line : made_[c.name].view->lines)
                EXPECT_EQ(line.find(other.url), std::string::npos);
        }
    }
    EXPECT_EQ(up.Failure(), "");
}

TEST_F(WatchSetTest, SyncAddsDropsAndRereadsWhatTheFolderHoldsAndEachStartsAndStopsAlone) {
    const std::string refused = Url(test::ClosedPort("127.0.0.1"));
    const std::string other = refused + "other";
    const WatchFile b = WebWatch("b", refused);
    ASSERT_EQ(set_.Sync({WebWatch("a", refused), b}, NewWatches::Stopped).added.size(), 2u);
    EXPECT_FALSE(set_.Status("a")->watching || set_.Status("b")->watching);
    EXPECT_TRUE(set_.StartAll());
    ASSERT_TRUE(RunUntilEnded("a", 1) && RunUntilEnded("b", 1));
    using Names = std::vector<std::string>;
    struct Step {
        const char* name;
        std::map<std::string, std::string> write;  // name: address
        Names listed, added, removed, changed;
    } steps[] = {
        {"nothing changed", {}, {"a", "b"}, {}, {}, {}},
        {"a file added", {{"c", refused}}, {"a", "b", "c"}, {"c"}, {}, {}},
        {"a file removed", {}, {"b", "c"}, {}, {"a"}, {}},
        {"a file changed", {{"b", other}}, {"b", "c"}, {}, {}, {"b"}},
        {"the shared file changed", {{"Corvasse", refused}}, {"Corvasse", "b", "c"}, {"Corvasse"}, {}, {"b", "c"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        for (const auto& [name, url] : step.write) WebWatch(name, url);
        std::vector<WatchFile> files;
        for (const std::string& name : step.listed) files.push_back({name, folder_ / (name + ".conf")});
        const WatchChanges changes = set_.Sync(files);
        EXPECT_EQ(changes.added, step.added);
        EXPECT_EQ(changes.removed, step.removed);
        EXPECT_EQ(changes.changed, step.changed);
        Names names;
        for (const WatchStatus& status : set_.Statuses()) names.push_back(status.name);
        EXPECT_EQ(names, step.listed);
    }
    // The changed watch reads its file again at its next tick, once.
    window_.RunFor(100ms);
    EXPECT_EQ(set_.Status("b")->address, refused);
    const std::string reread = "Settings read again from " + b.file.string();
    made_["b"].tick();
    EXPECT_EQ(made_["b"].view->lines, Names{reread});
    EXPECT_EQ(set_.Status("b")->address, other);
    ASSERT_TRUE(RunUntilEnded("b", 2));
    made_["b"].tick();
    ASSERT_TRUE(RunUntilEnded("b", 3));
    EXPECT_EQ(std::count(made_["b"].view->lines.begin(), made_["b"].view->lines.end(), reread), 1);

    EXPECT_FALSE(set_.StartWatching("x"));
    EXPECT_TRUE(set_.StopWatching("b"));
    EXPECT_TRUE(set_.Status("c")->watching && !set_.Status("b")->watching && !set_.Status("b")->next);
    set_.StopAll();
    EXPECT_FALSE(set_.Status("c")->watching);
    EXPECT_TRUE(set_.StartWatching("c") && set_.Status("c")->next);
}

}  // namespace
}  // namespace corvasse
