#include "cli/headless_all.h"

#include <sys/resource.h>

#include "app/metrics/metrics_board.h"
#include "app/watch/interval_timer.h"
#include "cli/console_dialogs.h"
#include "cli/console_view.h"

namespace corvasse {

namespace {

std::string Prefix(const std::string& name) { return "[" + name + "] "; }

}  // namespace

HeadlessAll::HeadlessAll(const MonitorFiles& files, WindowThread& windowThread, FiberPool& pool, TimerFactory timers,
                         std::FILE* lines, std::FILE* messages, MetricsBoard* metrics)
    : folder_(files.settings.parent_path()),
      lines_(lines),
      messages_(messages),
      metrics_(metrics),
      watches_(
          windowThread, pool, files,
          [this, timers = std::move(timers)](const WatchFile& file, std::function<void()> tick) {
              auto view = std::make_unique<ConsoleView>(lines_, messages_, Prefix(file.name));
              if (metrics_ != nullptr)
                  view->OnOutageChange([this, name = file.name](bool outage) { metrics_->SetOutage(name, outage); });
              return WatchParts{std::move(view), std::make_unique<ConsoleDialogs>(messages_, Prefix(file.name)),
                                timers(std::move(tick))};
          },
          [this](const WatchStatus& ended) {
              if (metrics_ != nullptr) metrics_->WatchEnded(ended);
          }) {}

bool HeadlessAll::Start() {
    watches_.Sync(ListWatches(folder_));
    if (metrics_ != nullptr) metrics_->SetWatches(watches_.Statuses());
    if (watches_.Size() == 0) {
        WriteEntry(messages_, "corvasse: no watch (*.conf file) in \"" + folder_.string() + "\"");
        return false;
    }
    return true;
}

void HeadlessAll::Reload() {
    const WatchChanges changes = watches_.Sync(ListWatches(folder_));
    if (metrics_ != nullptr) metrics_->SetWatches(watches_.Statuses());
    for (const std::string& name : changes.removed) Say(name, "Watch removed: its settings file is gone");
    for (const std::string& name : changes.added) Say(name, "Watch added");
    for (const std::string& name : changes.changed) Say(name, "Settings changed: read again at the next watch");
}

void HeadlessAll::Say(const std::string& name, const std::string& text) const {
    ConsoleView(lines_, messages_, Prefix(name)).AddStatusLine(text);
}

void RaiseOpenFileLimit() {
    struct rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max) return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace corvasse
