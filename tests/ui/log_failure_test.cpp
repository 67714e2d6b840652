// The activity log failing under the real main window: a log on a full disk
// and a log in a folder that cannot be written. Each failed watch reports the
// log's error in the error box, the timer keeps running, and once the log can
// be written again the next watch works as ever.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/fakes.h"
#include "app/monitor.h"
#include "app/settings_store.h"
#include "support/monitor_files.h"
#include "support/scripted_peer.h"
#include "support/server_process.h"
#include "support/temp_dir.h"
#include "ui/main_window.h"
#include "ui/qt_interval_timer.h"
#include "ui/qt_test_app.h"

namespace corvasse {
namespace {

namespace peer = test::peer;

// Makes the folder read-only for this process. Root ignores permission bits,
// so it gets a read-only bind mount in a mount namespace of its own, which
// nothing outside this process sees.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const std::filesystem::path& folder) : folder_(folder) {
        if (geteuid() != 0) {
            ready_ = ::chmod(folder_.c_str(), 0555) == 0;
            return;
        }
        ready_ = ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                 ::mount(folder_.c_str(), folder_.c_str(), nullptr, MS_BIND, nullptr) == 0;
        mounted_ = ready_;
        ready_ = ready_ && ::mount(nullptr, folder_.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    ~ReadOnlyFolder() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
        if (geteuid() != 0) ::chmod(folder_.c_str(), 0755);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    bool Ready() const { return ready_; }

private:
    std::filesystem::path folder_;
    bool ready_ = false;
    bool mounted_ = false;
};

// Starts watching a page whose server closes at once, twice: each watch
// fails, and its alert first writes the alert to the log, which fails. Then
// repairs the log and watches once more, whose alert now gets past the log.
// Returns the dialogs the failing watches showed.
std::vector<std::string> FailingWatchesThenRepair(const MonitorFiles& files, const std::function<void()>& repair) {
    // Alerts go to a loopback port where nothing listens.
    SettingsStore store = SettingsStore::AtFile(files.settings);
    store.WriteSetting("Settings", "txtSMTPhost", "127.0.0.1");
    store.WriteSetting("Settings", "port", std::to_string(test::FreePort("127.0.0.1")));
    test::FakeDialogs dialogs;
    MainWindow window(files, &dialogs);
    window.show();
    QApplication::processEvents();
    auto* timer = window.findChild<QtIntervalTimer*>();
    auto watchOnce = [&] {
        test::ScriptedPeer server({peer::Close()});
        window.SetText(Field::txtURL2watch, "http://127.0.0.1:" + std::to_string(server.Port()) + "/");
        window.SetText(Field::txtWatchFreq, "15");
        const size_t shownBefore = dialogs.calls.size();
        window.findChild<QPushButton*>("btnOkay")->click();
        // The watch runs on its own thread; its error box ends it.
        EXPECT_TRUE(test::RunEventsUntil([&] { return dialogs.calls.size() > shownBefore; }));
    };
    for (int watch = 0; watch < 2; ++watch) {
        watchOnce();
        // The error ended this watch, not the watching.
        EXPECT_TRUE(timer->Enabled());
        EXPECT_EQ(timer->Interval(), 15u * 60u * 1000u);
    }
    const std::vector<std::string> shown = dialogs.calls;
    repair();
    // Now the alert gets past the log and fails only at the mail server.
    watchOnce();
    EXPECT_EQ(dialogs.calls.size(), shown.size() + 1);
    EXPECT_EQ(dialogs.calls.back().rfind("error:Socket Error # 10061", 0), 0u) << dialogs.calls.back();
    EXPECT_TRUE(timer->Enabled());
    window.findChild<QPushButton*>("btnCancel")->click();
    EXPECT_FALSE(timer->Enabled());
    return shown;
}

TEST(LogFailureTest, LogOnAFullDiskShowsDiskFullAndTheWatchGoesOn) {
    test::TestApp();
    test::TempDir dir;
    const MonitorFiles files = test::MonitorFilesIn(dir.Path());
    std::filesystem::create_symlink("/dev/full", files.log);
    EXPECT_EQ(FailingWatchesThenRepair(files, [&] { std::filesystem::remove(files.log); }),
              (std::vector<std::string>{"error:Disk full.", "error:Disk full."}));
    EXPECT_GT(std::filesystem::file_size(files.log), 0u);
}

TEST(LogFailureTest, LogInAReadOnlyFolderShowsFileAccessDeniedAndTheWatchGoesOn) {
    test::TestApp();
    test::TempDir dir;
    const std::filesystem::path logFolder = dir.Path() / "logs";
    std::filesystem::create_directory(logFolder);
    auto readOnly = std::make_unique<ReadOnlyFolder>(logFolder);
    ASSERT_TRUE(readOnly->Ready()) << "cannot make the folder read-only";
    MonitorFiles files = test::MonitorFilesIn(dir.Path());
    files.log = logFolder / "Corvasse.log";
    EXPECT_EQ(FailingWatchesThenRepair(files,
                                       [&] {
                                           EXPECT_FALSE(std::filesystem::exists(files.log));
                                           readOnly.reset();
                                       }),
              (std::vector<std::string>{"error:File access denied.", "error:File access denied."}));
    EXPECT_GT(std::filesystem::file_size(files.log), 0u);
}

}  // namespace
}  // namespace corvasse
