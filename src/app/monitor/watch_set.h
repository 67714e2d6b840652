#pragma once
// The watches of a settings folder run side by side in one process: each is
// a monitor over its own settings file, its own form values (loaded as the
// window loads its form), view, boxes and timer, and all share one pool of
// threads and one window thread. One log and one history database serve
// them all. Everything here runs on the window's thread.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/monitor/monitor.h"
#include "app/settings/watch_folder.h"
#include "core/wall_clock.h"

namespace corvasse {

class Dialogs;
class FiberPool;
class IntervalTimer;
class MonitorView;
class WindowThread;
struct WatchOutcome;

// What a front end makes for each watch: where its lines and boxes go, and
// its timer, whose every tick is to call the tick it was made with.
struct WatchParts {
    std::unique_ptr<MonitorView> view;
    std::unique_ptr<Dialogs> dialogs;
    std::unique_ptr<IntervalTimer> timer;
};
using WatchPartsFactory = std::function<WatchParts(const WatchFile& file, std::function<void()> tick)>;

// What the latest watch that came to a result found.
enum class LastResult {
    Unknown,  // none yet
    Up,
    Down,
    Offline,  // this computer could not have reached the site: not counted
};

struct WatchStatus {
    std::string name;
    std::filesystem::path file;
    // The address fetched, or the host a ping watch pings.
    std::string address;
    bool watching = false;
    LastResult last = LastResult::Unknown;
    std::optional<ResultTime> lastTime;
    std::optional<std::chrono::microseconds> responseTime;
    // The first failure of the current run of failures; none while up.
    std::optional<ResultTime> downSince;
    // When the next watch runs; none while not watching.
    std::optional<ResultTime> next;
    // The last watch's page size, and the earliest end of the certificates
    // it was shown (https only).
    std::optional<int64_t> size;
    std::optional<std::chrono::system_clock::time_point> certificateExpiry;
};

// Takes a result that a watch came to into its status (last, lastTime,
// responseTime, size, downSince): a run of failures goes on across offline
// results. With the outcome, also the certificates it was shown.
void TakeResult(WatchStatus& status, const WatchResult& result);
void TakeResult(WatchStatus& status, const WatchOutcome& outcome);

// Whether Sync starts the watches it adds.
enum class NewWatches { Start, Stopped };

// What a Sync did, by watch name.
struct WatchChanges {
    std::vector<std::string> added;
    std::vector<std::string> removed;
    // Take their new settings at their next watch.
    std::vector<std::string> changed;
};

class WatchSet {
public:
    // Every argument must outlive this object. files gives the log and the
    // history every watch shares; the settings file is each watch's own.
    // watchEnded runs after each watch that came to a result, behind
    // everything it showed. clock tells when the next watches run.
    WatchSet(WindowThread& windowThread, FiberPool& pool, MonitorFiles files, WatchPartsFactory makeParts,
             std::function<void(const WatchStatus&)> watchEnded = {}, WallClock clock = SystemTime);
    // Cuts the running watches and waits for them. The calls its watches
    // handed to the window's thread and that are still queued then must not
    // run (QtWindowThread drops them when it goes after this object).
    ~WatchSet();
    WatchSet(const WatchSet&) = delete;
    WatchSet& operator=(const WatchSet&) = delete;

    // Makes the set what files lists: a new file's watch is added (and
    // started, with NewWatches::Start), a watch whose file is no longer
    // listed is stopped and dropped, and one whose file (or the folder's
    // Corvasse.conf, whose values it shares) changed since it was read
    // reads its settings again before its next watch. A watch that cannot
    // start says why through its boxes and stays, not watching.
    WatchChanges Sync(const std::vector<WatchFile>& files, NewWatches start = NewWatches::Start);

    // As "Start Watching" and "Stop Watching" do for one watch; false for a
    // name that is not in the set, or a watch that could not start (its
    // boxes say why).
    bool StartWatching(const std::string& name);
    bool StopWatching(const std::string& name);
    // Every watch; true when each one started.
    bool StartAll();
    void StopAll();

    // By name.
    std::vector<WatchStatus> Statuses() const;
    std::optional<WatchStatus> Status(const std::string& name) const;
    // The monitor behind a watch, for the window that edits it; nullptr for a
    // name that is not in the set.
    Monitor* Find(const std::string& name);
    std::size_t Size() const { return watches_.size(); }

private:
    struct Entry;

    std::unique_ptr<Entry> Make(const WatchFile& file);
    bool Start(Entry& entry);
    void Tick(Entry& entry);
    void Ended(Entry& entry, const WatchOutcome& outcome);
    // Stops the watch and lets it go once everything it reported is shown.
    void Drop(std::unique_ptr<Entry> entry);
    WatchStatus StatusOf(const Entry& entry) const;

    WindowThread& windowThread_;
    FiberPool& pool_;
    MonitorFiles files_;
    WatchPartsFactory makeParts_;
    std::function<void(const WatchStatus&)> watchEnded_;
    WallClock clock_;
    std::map<std::string, std::unique_ptr<Entry>> watches_;
    // Dropped watches whose last calls to the window's thread are still due.
    std::map<Entry*, std::unique_ptr<Entry>> leaving_;
};

}  // namespace corvasse
