#include "app/watch_list/shared_pane_view.h"

#include <gtest/gtest.h>

#include "app/fakes.h"

namespace corvasse {
namespace {

// What a watch's view leaves in the window's pane, status bar, progress bar
// and tray, by its role and how many other watches run.
TEST(SharedPaneViewTest, LinesNameTheirWatchWhileOthersRunAndTheBarsFollowTheShownOne) {
    struct Row {
        const char* name;
        PaneRole role;
        int othersRunning;
        std::vector<std::string> lines;  // after "old" was there and the watch started; then its result line
        const char* status;
        int progress;
        const char* outage;
        const char* notice;
    };
    const std::vector<Row> rows = {
        {"shown, alone: as a lone watch",
         PaneRole::Shown,
         0,
         {"HTTP Connected..."},
         "Watching...",
         7,
         "down since 14:02",
         "shop is down"},
        {"shown, beside others",
         PaneRole::Shown,
         2,
         {"old", "[shop] HTTP Connected..."},
         "Watching...",
         7,
         "down since 14:02",
         "[shop] shop is down"},
        {"beside, alone", PaneRole::Beside, 0, {"HTTP Connected..."}, "", 0, "", "shop is down"},
        {"beside, with others",
         PaneRole::Beside,
         1,
         {"old", "[shop] HTTP Connected..."},
         "",
         0,
         "",
         "[shop] shop is down"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::FakeMonitorView pane;
        pane.progressPosition = 0;
        pane.lines = {"old"};
        SharedPaneView view(pane, "shop", row.role, [&] { return row.othersRunning; });
        view.ClearStatusLines();
        view.SelectStatusPage();
        view.SetStatusText("Watching...");
        view.SetProgressMax(10);
        view.SetProgressPosition(7);
        view.AddStatusLine("HTTP Connected...");
        view.AddResultLine(43200, "up");  // the time of day goes before the text
        view.SetOutageState("down since 14:02");
        view.Notify("shop is down");

        ASSERT_EQ(pane.lines.size(), row.lines.size() + 1);
        for (size_t i = 0; i < row.lines.size(); ++i) EXPECT_EQ(pane.lines[i], row.lines[i]);
        EXPECT_EQ(pane.lines.back().substr(pane.lines.back().size() - 3), " up");
        EXPECT_EQ(pane.lines.back().rfind(row.othersRunning > 0 ? "[shop] " : "", 0), 0u) << pane.lines.back();
        EXPECT_EQ(pane.statusText, row.status);
        EXPECT_EQ(pane.progressPosition, row.progress);
        EXPECT_EQ(pane.statusPageSelections, row.role == PaneRole::Shown ? 1 : 0);
        EXPECT_EQ(pane.outageState, row.outage);
        EXPECT_EQ(pane.notices, std::vector<std::string>{row.notice});
        // The watch's own status bar text, shown or not.
        EXPECT_EQ(view.StatusText(), "Watching...");
        EXPECT_EQ(view.ProgressMax(), 10);
    }
}

}  // namespace
}  // namespace corvasse
