#include "app/monitor/watch_set.h"

#include <fstream>
#include <iterator>
#include <utility>

#include "app/monitor/watch_cycle.h"
#include "app/monitor/window_thread.h"
#include "app/settings/form_values.h"
#include "app/settings/settings_form.h"
#include "app/settings/settings_store.h"
#include "app/settings/watch_spec.h"
#include "app/view/dialogs.h"
#include "app/view/handler_guard.h"
#include "app/view/monitor_view.h"
#include "app/watch/interval_timer.h"
#include "app/watch/watch_schedule.h"
#include "core/watch_outcome.h"

namespace corvasse {

namespace {

std::string FileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    // A file that cannot be read differs from every one that can.
    if (!in) return "\n-";
    return "+" + std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What a watch's settings were read from: its own file and the folder's
// Corvasse.conf, whose values it takes where its own file is silent.
std::string SettingsFingerprint(const std::filesystem::path& file) {
    const std::filesystem::path shared = file.parent_path() / kSettingsFileName;
    std::string fingerprint = FileBytes(file);
    if (shared != file) fingerprint += "\n" + FileBytes(shared);
    return fingerprint;
}

}  // namespace

void TakeResult(WatchStatus& status, const WatchResult& result) {
    switch (result.state) {
        case ResultState::Up:
            status.last = LastResult::Up;
            status.downSince.reset();
            break;
        case ResultState::Down:
            status.last = LastResult::Down;
            if (!status.downSince) status.downSince = result.time;
            break;
        case ResultState::Unknown: status.last = LastResult::Offline; break;
    }
    status.lastTime = result.time;
    status.responseTime = result.responseTime;
    status.size = result.size;
}

void TakeResult(WatchStatus& status, const WatchOutcome& outcome) {
    TakeResult(status, outcome.result);
    status.certificateExpiry.reset();
    for (const PeerCertificate& certificate : outcome.certificates) {
        if (!status.certificateExpiry || certificate.notAfter < *status.certificateExpiry)
            status.certificateExpiry = certificate.notAfter;
    }
}

struct WatchSet::Entry {
    explicit Entry(WatchFile watchFile) : file(std::move(watchFile)) {}

    WatchFile file;
    WatchParts parts;
    FormValues form;
    // Made last, so that it goes first: it uses everything above.
    std::unique_ptr<Monitor> monitor;

    std::string fingerprint;
    bool reloadDue = false;
    std::string address;
    // The last result and the run of failures (TakeResult's fields).
    WatchStatus results;

    HandlerGuard Guard() const { return HandlerGuard(*parts.dialogs); }

    // The form as the window shows it on loading, and the address it watches.
    void Load() {
        fingerprint = SettingsFingerprint(file.file);
        FormValues loaded;
        Guard().Run([&] {
            // One read of the files; a snapshot, as the watch may be reading
            // its store on the pool meanwhile.
            SettingsStore settings = monitor->Settings().Snapshot();
            SettingsForm(loaded, *parts.view, *parts.dialogs, settings).Load();
            address = ReadWatchSpec(loaded, settings).target;
        });
        form = std::move(loaded);
    }
};

WatchSet::WatchSet(WindowThread& windowThread, FiberPool& pool, MonitorFiles files, WatchPartsFactory makeParts,
                   std::function<void(const WatchStatus&)> watchEnded, WallClock clock)
    : windowThread_(windowThread),
      pool_(pool),
      files_(std::move(files)),
      makeParts_(std::move(makeParts)),
      watchEnded_(std::move(watchEnded)),
      clock_(std::move(clock)) {}

WatchSet::~WatchSet() {
    watches_.clear();
    leaving_.clear();
}

std::unique_ptr<WatchSet::Entry> WatchSet::Make(const WatchFile& file) {
    auto entry = std::make_unique<Entry>(file);
    Entry* raw = entry.get();
    entry->parts = makeParts_(file, [this, raw] { Tick(*raw); });
    MonitorFiles files = files_;
    files.settings = file.file;
    entry->monitor = std::make_unique<Monitor>(entry->form, *entry->parts.view, *entry->parts.dialogs,
                                               *entry->parts.timer, windowThread_, pool_, files);
    // A file moved away while watching keeps the values it had; the next
    // Sync drops its watch.
    entry->monitor->Settings().SetLostFile(LostFile::ReadsAsLastRead);
    entry->monitor->OnWatchEnded([this, raw](const WatchOutcome& outcome) { Ended(*raw, outcome); });
    entry->Load();
    return entry;
}

WatchChanges WatchSet::Sync(const std::vector<WatchFile>& files, NewWatches start) {
    WatchChanges changes;
    std::map<std::string, const WatchFile*> listed;
    for (const WatchFile& file : files) listed[file.name] = &file;
    for (auto it = watches_.begin(); it != watches_.end();) {
        const auto found = listed.find(it->first);
        if (found != listed.end() && found->second->file == it->second->file.file) {
            ++it;
            continue;
        }
        changes.removed.push_back(it->first);
        Drop(std::move(it->second));
        it = watches_.erase(it);
    }
    for (const auto& [name, file] : listed) {
        const auto found = watches_.find(name);
        if (found == watches_.end()) {
            Entry& entry = *watches_.emplace(name, Make(*file)).first->second;
            changes.added.push_back(name);
            if (start == NewWatches::Start) Start(entry);
            continue;
        }
        Entry& entry = *found->second;
        std::string fingerprint = SettingsFingerprint(file->file);
        if (fingerprint == entry.fingerprint) continue;
        entry.fingerprint = std::move(fingerprint);
        entry.reloadDue = true;
        changes.changed.push_back(name);
    }
    return changes;
}

bool WatchSet::Start(Entry& entry) {
    const bool reload = entry.reloadDue;
    if (reload) {
        entry.reloadDue = false;
        entry.Load();
    }
    entry.Guard().Run([&] { entry.monitor->Cycle().StartWatching(); });
    // After the start, which clears the pane; before the watch's own lines,
    // which come from its thread.
    if (reload) entry.parts.view->AddStatusLine("Settings read again from " + entry.file.file.string());
    return entry.parts.timer->Enabled();
}

void WatchSet::Tick(Entry& entry) {
    if (entry.reloadDue) {
        // As "Start Watching" with the new settings: a changed interval
        // counts from now.
        Start(entry);
        return;
    }
    entry.Guard().Run([&] { entry.monitor->Cycle().TimerTick(); });
}

void WatchSet::Ended(Entry& entry, const WatchOutcome& outcome) {
    if (leaving_.contains(&entry)) return;
    TakeResult(entry.results, outcome);
    if (watchEnded_) watchEnded_(StatusOf(entry));
}

void WatchSet::Drop(std::unique_ptr<Entry> entry) {
    Entry* raw = entry.get();
    raw->parts.timer->SetEnabled(false);
    leaving_.emplace(raw, std::move(entry));
    // The calls the watch handed to the window's thread name its view and
    // its worker: it goes behind them.
    raw->monitor->CutWatch([this, raw] { windowThread_.Post([this, raw] { leaving_.erase(raw); }); });
}

bool WatchSet::StartWatching(const std::string& name) {
    const auto found = watches_.find(name);
    return found != watches_.end() && Start(*found->second);
}

bool WatchSet::StopWatching(const std::string& name) {
    const auto found = watches_.find(name);
    if (found == watches_.end()) return false;
    Entry& entry = *found->second;
    entry.Guard().Run([&] { entry.monitor->Cycle().StopWatching(); });
    return true;
}

bool WatchSet::StartAll() {
    bool all = true;
    for (auto& [name, entry] : watches_) all = Start(*entry) && all;
    return all;
}

void WatchSet::StopAll() {
    for (const auto& [name, entry] : watches_) StopWatching(name);
}

WatchStatus WatchSet::StatusOf(const Entry& entry) const {
    WatchStatus status = entry.results;
    status.name = entry.file.name;
    status.file = entry.file.file;
    status.address = entry.address;
    status.watching = entry.parts.timer->Enabled();
    if (status.watching) status.next = entry.monitor->Schedule().NextTickAfter(clock_());
    return status;
}

std::vector<WatchStatus> WatchSet::Statuses() const {
    std::vector<WatchStatus> statuses;
    statuses.reserve(watches_.size());
    for (const auto& [name, entry] : watches_) statuses.push_back(StatusOf(*entry));
    return statuses;
}

std::optional<WatchStatus> WatchSet::Status(const std::string& name) const {
    const auto found = watches_.find(name);
    if (found == watches_.end()) return std::nullopt;
    return StatusOf(*found->second);
}

Monitor* WatchSet::Find(const std::string& name) {
    const auto found = watches_.find(name);
    return found == watches_.end() ? nullptr : found->second->monitor.get();
}

}  // namespace corvasse
