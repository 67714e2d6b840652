// A window's watches on their worker thread, with the real clients against
// loopback peers; the window's thread is the test's, which runs what the
// worker hands over when it is told to.

#include "app/monitor/watch_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/alert/alert_delivery.h"
#include "app/fakes.h"
#include "app/settings/settings_store.h"
#include "common/fiber_pool.h"
#include "support/loopback.h"
#include "support/monitor_files.h"
#include "support/scripted_peer.h"
#include "support/server_process.h"
#include "support/temp_dir.h"
#include "support/test_window_thread.h"

namespace corvasse {
namespace {

using Clock = std::chrono::steady_clock;
namespace peer = test::peer;

std::string Url(const test::ScriptedPeer& server, const std::string& path = "/") {
    return "http://127.0.0.1:" + std::to_string(server.Port()) + path;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class WatchWorkerTest : public ::testing::Test {
protected:
    WatchWorkerTest() { form_.texts[Field::txtLookFor] = "ok"; }

    void Setting(const char* key, const std::string& value) {
        SettingsStore::AtFile(files_.settings).WriteSetting("Settings", key, value);
    }
    bool LogExists() const { return std::filesystem::exists(files_.log); }

    test::TempDir temp_;
    const MonitorFiles files_ = test::MonitorFilesIn(temp_.Path());
    test::FakeFormFields form_;
    test::FakeMonitorView view_;
    test::FakeDialogs dialogs_;
    test::TestWindowThread window_;
    FiberPool pool_{1};
};

const std::string kReply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";

TEST_F(WatchWorkerTest, ACutEndsTheWaitAtOnceWithoutAnAlertAndTheNextWatchRunsAsUsual) {
    test::ScriptedPeer silentWeb({peer::ReadLine(), peer::Sleep(60000)});
    test::FullListener fullListener;
    test::ScriptedPeer silentMail({peer::Sleep(60000)});
    const std::string refused = "http://127.0.0.1:" + std::to_string(test::ClosedPort("127.0.0.1")) + "/";
    Setting("txtSMTPhost", "127.0.0.1");
    Setting("port", std::to_string(silentMail.Port()));
    form_.texts[Field::txtSendto] = "alerts@example.org";
    struct Case {
        const char* name;
        std::string url;
        // True once the watch waits where the case cuts it.
        std::function<bool()> waiting;
        // The cut dialogue leaves the alert unsent, and the pane says so.
        bool alertCut;
    } cases[] = {
        {"for the reply", Url(silentWeb), [&] { return silentWeb.WaitSteps(1, 0); }, false},
        {"for the connection", "http://127.0.0.1:" + std::to_string(fullListener.Port()) + "/",
         [&] { return view_.statusText.starts_with("Status = Connecting to"); }, false},
        {"for the mail server's greeting", refused, [&] { return silentMail.ConnectionCount() == 1; }, true},
    };
    WatchWorker worker(form_, view_, dialogs_, window_, pool_, files_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view_.lines.clear();
        form_.texts[Field::txtURL2watch] = c.url;
        worker.RunWatch();
        ASSERT_TRUE(window_.RunUntil(c.waiting));

        const auto cut = Clock::now();
        bool shown = false;
        worker.CutWatch([&] {
            shown = true;
            view_.AddStatusLine("cut");
        });
        ASSERT_TRUE(window_.RunUntil([&] { return shown; }));
        EXPECT_LT(Clock::now() - cut, std::chrono::milliseconds(500));
        // Behind everything the cut watch reported; no count, no error box.
        EXPECT_EQ(view_.lines.back(), "cut");
        EXPECT_EQ(view_.watchCountText, "");
        EXPECT_TRUE(dialogs_.calls.empty()) << dialogs_.calls.front();
        EXPECT_EQ(Contains(view_.lines, "Sending e-mail alert..."), c.alertCut);
        EXPECT_EQ(Contains(view_.lines, std::string(kAlertAbortedLine)), c.alertCut);
        // A report is logged only when the site failed before the cut.
        EXPECT_EQ(LogExists(), c.alertCut);
    }

    // The cuts are over: the next watch runs to its end.
    form_.texts[Field::txtURL2watch] = "https://127.0.0.1/";
    worker.RunWatch();
    ASSERT_TRUE(window_.RunUntil([&] { return view_.watchCountText == "Watch count:1"; }));
    EXPECT_EQ(dialogs_.calls,
              (std::vector<std::string>{"beep", "message:Sorry, we do not support HTTPS protocol at this time."}));
}

TEST_F(WatchWorkerTest, WatchesAskedForWhileOneRunsWaitAndAtMostOneFollowsWithTheLatestForm) {
    test::ScriptedPeer web({peer::ReadLine(), peer::Sleep(300), peer::Send(kReply), peer::Close(), peer::Accept(),
                            peer::ReadLine(), peer::Send(kReply), peer::Close()});
    WatchWorker worker(form_, view_, dialogs_, window_, pool_, files_);
    form_.texts[Field::txtURL2watch] = Url(web, "/first");
    worker.RunWatch();
    ASSERT_TRUE(web.WaitSteps(1));
    for (const char* path : {"/second", "/third", "/fourth"}) {
        form_.texts[Field::txtURL2watch] = Url(web, path);
        worker.RunWatch();
    }
    ASSERT_TRUE(window_.RunUntil([&] { return view_.watchCountText == "Watch count:2"; }));
    window_.RunFor(std::chrono::milliseconds(500));
    EXPECT_EQ(view_.watchCountText, "Watch count:2");
    EXPECT_EQ(web.ConnectionCount(), 2u);
    EXPECT_EQ(web.Received(1).substr(0, 16), "GET /fourth HTTP");
    EXPECT_EQ(worker.Components().state.outcome.textFound, true);
    EXPECT_FALSE(LogExists());
}

TEST_F(WatchWorkerTest, AWatchWaitsForItsBoxUnlessItIsCut) {
    form_.texts[Field::txtURL2watch] = "https://127.0.0.1/";
    WatchWorker worker(form_, view_, dialogs_, window_, pool_, files_);
    // Shown on the window's thread, after the beep, before the count.
    std::vector<std::string> countWhileOpen;
    dialogs_.onMessage = [&] { countWhileOpen.push_back(view_.watchCountText); };
    worker.RunWatch();
    ASSERT_TRUE(window_.RunUntil([&] { return view_.watchCountText == "Watch count:1"; }));
    EXPECT_EQ(countWhileOpen, std::vector<std::string>{""});

    // Cut while its box is open, the watch leaves the box to the user.
    bool shown = false;
    dialogs_.onMessage = [&] {
        worker.CutWatch([&] { shown = true; });
        EXPECT_TRUE(window_.RunUntil([&] { return shown; }));
    };
    worker.RunWatch();
    ASSERT_TRUE(window_.RunUntil([&] { return shown; }));
    window_.RunFor(std::chrono::milliseconds(200));
    EXPECT_EQ(view_.watchCountText, "Watch count:1");
    EXPECT_EQ(dialogs_.calls.size(), 4u);
}

TEST_F(WatchWorkerTest, GoingAwayDuringAFetchEndsItsThreadAtOnce) {
    test::ScriptedPeer silentWeb({peer::ReadLine(), peer::Sleep(60000)});
    form_.texts[Field::txtURL2watch] = Url(silentWeb);
    auto worker = std::make_unique<WatchWorker>(form_, view_, dialogs_, window_, pool_, files_);
    worker->RunWatch();
    ASSERT_TRUE(silentWeb.WaitSteps(1));
    const auto start = Clock::now();
    worker.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
}

}  // namespace
}  // namespace corvasse
