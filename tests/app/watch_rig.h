#pragma once
// One watch over stand-ins for the window, the alert and (unless the test
// gives its own) the network clients, with the settings, the log and the
// history in a temporary folder.
//
//     test::WatchRig rig;
//     rig.settings.WriteSetting("Settings", "ipFamily", "each");
//     rig.watch.Run();
//     EXPECT_EQ(rig.view.lines, ...);

#include <chrono>
#include <filesystem>
#include <vector>

#include "app/fakes.h"
#include "app/monitor/tick_boxes.h"
#include "app/settings/settings_store.h"
#include "app/view/activity_log.h"
#include "app/watch/result_keeper.h"
#include "app/watch/watch.h"
#include "app/watch/watch_schedule.h"
#include "app/watch/watch_state.h"
#include "history/history_store.h"
#include "support/temp_dir.h"

namespace corvasse::test {

struct WatchRig {
    // Clients and clock given stay the caller's; none: the rig's own fakes
    // and the system's clock.
    explicit WatchRig(WebClient* web = nullptr, PingClient* ping = nullptr,
                      const SuspendClock& clock = SystemSuspendClock())
        : watch(form, view, boxes, settings, log, web ? *web : fakeWeb, ping ? *ping : fakePinger, state, results,
                clock) {}

    // Every result the history holds for the watch the form describes.
    std::vector<WatchResult> History() {
        HistoryStore store(historyFile);
        std::vector<WatchResult> recorded;
        const auto watchId = store.FindWatch(settings.FilePath(), ReadWatchSpec(form, settings).target);
        if (!watchId) return recorded;
        const TimeRange always{ResultTime{}, ResultTimeNow() + std::chrono::hours(1)};
        store.VisitResults(*watchId, always, [&](const WatchResult& result) { recorded.push_back(result); });
        return recorded;
    }

    TempDir temp;
    const std::filesystem::path logFile = temp.Path() / "Corvasse.log";
    const std::filesystem::path historyFile = temp.Path() / "history.sqlite3";
    FakeFormFields form;
    FakeMonitorView view;
    FakeDialogs dialogs;
    TickBoxes boxes{dialogs};  // as the window shows a watch's boxes
    SettingsStore settings{temp.Path() / "config"};
    ActivityLog log{logFile};
    FakeWebClient fakeWeb;
    FakePingClient fakePinger;
    FakeAlertSender alert;
    WatchState state;
    WatchSchedule schedule;
    ResultKeeper results{
        view, log, alert, schedule, settings.FilePath(), historyFile, WatchRecording::ResultsAndOutages};
    Watch watch;
};

}  // namespace corvasse::test
