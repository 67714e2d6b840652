// The activity log failing under the real main window: a log on a full disk
// and a log in a folder that cannot be written. Each failed watch says in the
// status pane that its report could not be logged and sends its alert all
// the same, the timer keeps running, and once the log can be written again
// the next watch logs as ever.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/settings/settings_store.h"
#include "support/loopback.h"
#include "support/monitor_files.h"
#include "support/read_only_folder.h"
#include "support/scripted_peer.h"
#include "support/server_process.h"
#include "support/temp_dir.h"
#include "ui/qt_interval_timer.h"
#include "ui/watching_window.h"

namespace corvasse {
namespace {

namespace peer = test::peer;

// Starts watching a page whose server closes at once, twice: each watch
// fails, and its alert first writes the report to the log, which fails, and
// then goes to the mail server, which refuses it. Then repairs the log and
// watches once more. Returns the pane's lines about the log.
std::vector<std::string> FailingWatchesThenRepair(const MonitorFiles& files, const std::function<void()>& repair) {
    // Alerts go to a loopback port where nothing listens.
    SettingsStore store = SettingsStore::AtFile(files.settings);
    store.WriteSetting("Settings", "txtSMTPhost", "127.0.0.1");
    store.WriteSetting("Settings", "port", std::to_string(test::ClosedPort("127.0.0.1")));
    test::WatchingWindow watch(files);
    auto& dialogs = watch.dialogs;
    auto* timer = watch.window.findChild<QtIntervalTimer*>();
    std::vector<std::string> logLines;
    auto watchOnce = [&] {
        test::ScriptedPeer server({peer::Close()});
        watch.window.SetText(Field::txtURL2watch, "http://127.0.0.1:" + std::to_string(server.Port()) + "/");
        watch.window.SetText(Field::txtWatchFreq, "15");
        const size_t shownBefore = dialogs.calls.size();
        watch.Click("btnOkay");
        // The watch runs on its own thread; the error box of its refused alert ends it.
        ASSERT_TRUE(test::RunEventsUntil([&] { return dialogs.calls.size() > shownBefore; }));
        for (const std::string& line : watch.PaneLines()) {
            if (line.starts_with("Cannot write the log")) logLines.push_back(line);
        }
        // The alert went on to the mail server, and only its refusal ended
        // this watch, not the watching.
        EXPECT_EQ(dialogs.calls.back(), "error:Socket Error # 10061\r\nConnection refused.");
        EXPECT_TRUE(timer->Enabled());
        EXPECT_EQ(timer->Interval(), 15u * 60u * 1000u);
    };
    for (int round = 0; round < 2; ++round) watchOnce();
    const std::vector<std::string> failures = logLines;
    repair();
    watchOnce();
    EXPECT_EQ(logLines, failures) << "the watch after the repair logs without a word";
    EXPECT_EQ(dialogs.calls.size(), 3u);
    watch.Click("btnCancel");
    EXPECT_FALSE(timer->Enabled());
    return failures;
}

TEST(LogFailureTest, LogOnAFullDiskIsShownAndTheAlertGoesOn) {
    test::TempDir dir;
    const MonitorFiles files = test::MonitorFilesIn(dir.Path());
    std::filesystem::create_symlink("/dev/full", files.log);
    const std::string failure = "Cannot write the log \"" + files.log.string() + "\": No space left on device";
    EXPECT_EQ(FailingWatchesThenRepair(files, [&] { std::filesystem::remove(files.log); }),
              (std::vector<std::string>{failure, failure}));
    EXPECT_GT(std::filesystem::file_size(files.log), 0u);
}

TEST(LogFailureTest, LogInAReadOnlyFolderIsShownAndTheAlertGoesOn) {
    test::TempDir dir;
    const std::filesystem::path logFolder = dir.Path() / "logs";
    std::filesystem::create_directory(logFolder);
    auto readOnly = std::make_unique<test::ReadOnlyFolder>(logFolder);
    ASSERT_TRUE(readOnly->Ready()) << "cannot make the folder read-only";
    MonitorFiles files = test::MonitorFilesIn(dir.Path());
    files.log = logFolder / "Corvasse.log";
    const std::string failure = "Cannot write the log \"" + files.log.string() + "\": Read-only file system";
    EXPECT_EQ(FailingWatchesThenRepair(files,
                                       [&] {
                                           EXPECT_FALSE(std::filesystem::exists(files.log));
                                           readOnly.reset();
                                       }),
              (std::vector<std::string>{failure, failure}));
    EXPECT_GT(std::filesystem::file_size(files.log), 0u);
}

}  // namespace
}  // namespace corvasse
