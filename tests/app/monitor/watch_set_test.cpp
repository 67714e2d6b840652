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
#include "app/settings/settings_store.h"
#include "common/fiber_pool.h"
#include "support/loopback.h"
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

std::string FileText(const std::filesystem::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

class WatchSetTest : public ::testing::Test {
protected:
    // A watch's parts as the set made them; they live as long as its watch.
    struct Made {
        test::FakeMonitorView* view;
        test::FakeDialogs* dialogs;
        test::FakeTimer* timer;
        std::function<void()> tick;
    };

    WatchSetTest() { std::filesystem::create_directories(folder_); }

    WatchFile Write(const std::string& name, const std::map<std::string, std::string>& values) {
        const WatchFile file{name, folder_ / (name + ".conf")};
        SettingsStore store = SettingsStore::AtFile(file.file);
        for (const auto& [key, value] : values) store.WriteSetting("Settings", key, value);
        return file;
    }
    // A web watch that looks for "ok" every `seconds`.
    WatchFile WebWatch(const std::string& name, const std::string& url, int seconds = 60) {
        return Write(name, {{"url2watch", url},
                            {"checktype", "lookfor"},
                            {"txtLookFor", "ok"},
                            {"intervalSeconds", std::to_string(seconds)}});
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
                                          static_cast<test::FakeDialogs*>(parts.dialogs.get()),
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
        std::string name;
        std::string url;
        int seconds;
        // After three ticks.
        LastResult last;
        size_t results;
        size_t alerts;
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
    const std::string log = FileText(files_.log);
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
        EXPECT_EQ(Count(log, c.url), c.alerts);

        // Its pane has only its own watch.
        for (const Case& other : cases) {
            if (other.name == c.name) continue;
            for (const std::string& line : made_[c.name].view->lines)
                EXPECT_EQ(line.find(other.url), std::string::npos);
        }
    }
    EXPECT_EQ(up.Failure(), "");
}

TEST_F(WatchSetTest, SyncAddsDropsAndRereadsWhatTheFolderHolds) {
    const std::string refused = Url(test::ClosedPort("127.0.0.1"));
    const WatchFile a = WebWatch("a", refused);
    const WatchFile b = WebWatch("b", refused);
    ASSERT_EQ(set_.Sync({a, b}).added.size(), 2u);
    ASSERT_TRUE(RunUntilEnded("a", 1));
    ASSERT_TRUE(RunUntilEnded("b", 1));

    const std::string other = Url(test::ClosedPort("127.0.0.1")) + "other";
    struct Step {
        const char* name;
        std::function<std::vector<WatchFile>()> change;
        std::vector<std::string> added, removed, changed, names;
    } steps[] = {
        {"nothing changed",
         [&] {
             return std::vector{a, b};
         },
         {},
         {},
         {},
         {"a", "b"}},
        {"a file added",
         [&] {
             return std::vector{a, b, WebWatch("c", refused)};
         },
         {"c"},
         {},
         {},
         {"a", "b", "c"}},
        {"a file removed",
         [&] {
             return std::vector{b, WatchFile{"c", folder_ / "c.conf"}};
         },
         {},
         {"a"},
         {},
         {"b", "c"}},
        {"a file changed",
         [&] {
             WebWatch("b", other);
             return std::vector{b, WatchFile{"c", folder_ / "c.conf"}};
         },
         {},
         {},
         {"b"},
         {"b", "c"}},
        {"the shared file changed",
         [&] {
             return std::vector{b, WatchFile{"c", folder_ / "c.conf"}, WebWatch("Corvasse", refused)};
         },
         {"Corvasse"},
         {},
         {"b", "c"},
         {"Corvasse", "b", "c"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const WatchChanges changes = set_.Sync(step.change());
        EXPECT_EQ(changes.added, step.added);
        EXPECT_EQ(changes.removed, step.removed);
        EXPECT_EQ(changes.changed, step.changed);
        std::vector<std::string> names;
        for (const WatchStatus& status : set_.Statuses()) names.push_back(status.name);
        EXPECT_EQ(names, step.names);
    }
    // The dropped watch goes once its last calls ran; the changed one reads
    // its file again at its next tick, and watches the new address.
    window_.RunFor(100ms);
    EXPECT_EQ(set_.Size(), 3u);
    EXPECT_EQ(set_.Status("b")->address, refused);
    const std::string reread = "Settings read again from " + b.file.string();
    made_["b"].tick();
    EXPECT_EQ(made_["b"].view->lines, std::vector<std::string>{reread});
    EXPECT_EQ(set_.Status("b")->address, other);
    ASSERT_TRUE(RunUntilEnded("b", 2));
    // Read once: not again at the tick after.
    made_["b"].tick();
    ASSERT_TRUE(RunUntilEnded("b", 3));
    EXPECT_EQ(std::count(made_["b"].view->lines.begin(), made_["b"].view->lines.end(), reread), 1);
}

TEST_F(WatchSetTest, StartAndStopActOnOneWatchOrOnAll) {
    const std::string refused = Url(test::ClosedPort("127.0.0.1"));
    set_.Sync({WebWatch("a", refused), WebWatch("b", refused)}, NewWatches::Stopped);
    struct Step {
        const char* name;
        std::function<bool()> act;
        bool result, a, b;
    } steps[] = {
        {"added stopped", [] { return true; }, true, false, false},
        {"start one", [&] { return set_.StartWatching("a"); }, true, true, false},
        {"start a stranger", [&] { return set_.StartWatching("x"); }, false, true, false},
        {"start all", [&] { return set_.StartAll(); }, true, true, true},
        {"stop one", [&] { return set_.StopWatching("b"); }, true, true, false},
        {"stop all",
         [&] {
             set_.StopAll();
             return true;
         },
         true, false, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        EXPECT_EQ(step.act(), step.result);
        EXPECT_EQ(set_.Status("a")->watching, step.a);
        EXPECT_EQ(set_.Status("b")->watching, step.b);
        EXPECT_EQ(set_.Status("b")->next.has_value(), step.b);
    }
}

}  // namespace
}  // namespace corvasse
