// The real main window watching a server that takes the request and never
// answers: the window keeps answering while the fetch waits, and "Abort
// Connection" and "Stop Watching" cut the fetch at once, with no alert.

#include <gtest/gtest.h>

#include <QAction>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/monitor_files.h"
#include "support/scripted_peer.h"
#include "support/temp_dir.h"
#include "ui/qt_interval_timer.h"
#include "ui/watching_window.h"

namespace corvasse {
namespace {

namespace peer = test::peer;
using test::Lines;

// How the window's thread fared while a fetch waited: the longest time
// between two rounds of a 10 ms timer, how many rounds there were, and how
// long a click on a page tab took to show its page.
struct Responsiveness {
    qint64 longestGapMs = 0;
    int rounds = 0;
    qint64 tabClickMs = -1;
};

Responsiveness MeasureFor(QTabWidget& pages, int spanMs) {
    Responsiveness measured;
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    QTimer rounds;
    QObject::connect(&rounds, &QTimer::timeout, [&] {
        measured.longestGapMs = std::max(measured.longestGapMs, clock.elapsed() - last);
        last = clock.elapsed();
        ++measured.rounds;
    });
    rounds.start(10);
    // A click on "URL Details" halfway through, delivered as the window
    // system would.
    QMetaObject::Connection shown;
    QTimer::singleShot(spanMs / 2, [&] {
        QTabBar* bar = pages.tabBar();
        const QPointF at = bar->tabRect(1).center();
        const qint64 clicked = clock.elapsed();
        QCoreApplication::postEvent(bar, new QMouseEvent(QEvent::MouseButtonPress, at, bar->mapToGlobal(at),
                                                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(bar, new QMouseEvent(QEvent::MouseButtonRelease, at, bar->mapToGlobal(at),
                                                         Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
        shown = QObject::connect(&pages, &QTabWidget::currentChanged, &pages,
                                 [&, clicked] { measured.tabClickMs = clock.elapsed() - clicked; });
    });
    test::RunEventsUntil([] { return false; }, std::chrono::milliseconds(spanMs));
    // The measurement ends here; a later change of page is none of its business.
    QObject::disconnect(shown);
    measured.longestGapMs = std::max(measured.longestGapMs, clock.elapsed() - last);
    return measured;
}

class SilentServerWatchTest : public ::testing::Test {
protected:
    SilentServerWatchTest() { watch_.FillWebWatch("http://127.0.0.1:" + std::to_string(server_.Port()) + "/"); }

    test::TempDir dir_;
    test::ScriptedPeer server_{{peer::ReadLine(), peer::Sleep(60000)}};
    test::WatchingWindow watch_{test::MonitorFilesIn(dir_.Path())};
    MainWindow& window_ = watch_.window;
};

TEST_F(SilentServerWatchTest, TheWindowAnswersDuringTheFetchAndAbortOrStopCutIt) {
    struct Case {
        const char* name;
        std::function<void()> cut;
        std::string statusText;
        bool timerEnabled;
    } cases[] = {
        {"Abort Connection", [&] { watch_.MenuAction("&File", "&Abort Connection")->trigger(); },
         "Connection Aborted...", true},
        {"Stop Watching", [&] { watch_.Click("btnCancel"); }, "Watching process stopped...", false},
    };
    auto* pages = window_.findChild<QTabWidget*>();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pages->setCurrentIndex(0);
        watch_.Click("btnOkay");
        // Connected; the server keeps quiet from now on.
        ASSERT_TRUE(test::RunEventsUntil([&] { return watch_.PaneLines() == Lines{"HTTP Connected..."}; }));

        const Responsiveness measured = MeasureFor(*pages, 1000);
        std::printf("%s: longest event-loop gap %lld ms over %d rounds, tab click shown after %lld ms\n", c.name,
                    static_cast<long long>(measured.longestGapMs), measured.rounds,
                    static_cast<long long>(measured.tabClickMs));
        EXPECT_EQ(pages->currentIndex(), 1);
        EXPECT_GE(measured.tabClickMs, 0);
        EXPECT_LT(measured.tabClickMs, 200);
        EXPECT_LT(measured.longestGapMs, 200);
        EXPECT_GE(measured.rounds, 20);

        QElapsedTimer clock;
        clock.start();
        c.cut();
        ASSERT_TRUE(test::RunEventsUntil([&] { return window_.StatusText() == c.statusText; })) << window_.StatusText();
        EXPECT_LT(clock.elapsed(), 200);
        EXPECT_EQ(window_.findChild<QtIntervalTimer*>()->Enabled(), c.timerEnabled);
        // Cut by the user, not failed: no alert, no report, not counted.
        test::RunEventsUntil([] { return false; }, std::chrono::milliseconds(200));
        EXPECT_EQ(window_.StatusText(), c.statusText);
        const auto lines = watch_.PaneLines();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "Sending e-mail alert..."), 0);
        EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "Corvasse.log"));
        EXPECT_EQ(watch_.Panel("watchCountPanel"), "");
        EXPECT_TRUE(watch_.dialogs.calls.empty()) << watch_.dialogs.calls.front();
    }
}

}  // namespace
}  // namespace corvasse
