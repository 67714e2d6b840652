#include "app/monitor/monitor.h"

#include "app/alert/test_mail.h"
#include "app/monitor/direct_watch_runner.h"
#include "app/monitor/monitor_components.h"
#include "app/monitor/tick_boxes.h"
#include "app/monitor/watch_cycle.h"
#include "app/monitor/watch_worker.h"
#include "app/settings/settings_form.h"
#include "app/watch/watch.h"

namespace corvasse {

namespace {

// The service's watch and what it runs over, all on the calling thread.
struct DirectWatch {
    DirectWatch(FormFields& form, MonitorView& view, Dialogs& boxes, const MonitorFiles& files)
        : components(view, files),
          watch(form, view, boxes, components.settings, components.log, components.web, components.pingClient,
                components.state, components.results),
          runner(watch, boxes, components.state) {}

    MonitorComponents components;
    Watch watch;
    DirectWatchRunner runner;
};

}  // namespace

struct Monitor::Parts {
    Parts(FormFields& form, MonitorView& view, Dialogs& dialogs, IntervalTimer& timer, const MonitorFiles& files)
        : form(form),
          view(view),
          boxes(dialogs),
          direct(std::make_unique<DirectWatch>(form, view, boxes, files)),
          runner(direct->runner),
          components(direct->components),
          timer(timer, components.schedule),
          cycle(form, view, boxes, this->timer, runner, components.settings, components.schedule),
          settingsForm(form, view, dialogs, components.settings) {}

    Parts(FormFields& form, MonitorView& view, Dialogs& dialogs, IntervalTimer& timer, WindowThread& windowThread,
          FiberPool& pool, const MonitorFiles& files)
        : form(form),
          view(view),
          boxes(dialogs),
          worker(std::make_unique<WatchWorker>(form, view, boxes, windowThread, pool, files)),
          runner(*worker),
          components(worker->Components()),
          timer(timer, components.schedule),
          cycle(form, view, boxes, this->timer, runner, components.settings, components.schedule),
          settingsForm(form, view, dialogs, components.settings) {}

    FormFields& form;
    MonitorView& view;
    TickBoxes boxes;
    // One of the two.
    std::unique_ptr<DirectWatch> direct;
    std::unique_ptr<WatchWorker> worker;
    WatchRunner& runner;
    MonitorComponents& components;
    // Tells the watches when the next one runs.
    ScheduledTimer timer;
    WatchCycle cycle;
    SettingsForm settingsForm;
};

MonitorFiles MonitorFiles::InFolder(const std::filesystem::path& settingsFolder) {
    return MonitorFiles{settingsFolder / kSettingsFileName};
}

Monitor::Monitor(FormFields& form, MonitorView& view, Dialogs& dialogs, IntervalTimer& timer, const MonitorFiles& files)
    : parts_(std::make_unique<Parts>(form, view, dialogs, timer, files)) {}

Monitor::Monitor(FormFields& form, MonitorView& view, Dialogs& dialogs, IntervalTimer& timer,
                 WindowThread& windowThread, FiberPool& pool, const MonitorFiles& files)
    : parts_(std::make_unique<Parts>(form, view, dialogs, timer, windowThread, pool, files)) {}

Monitor::~Monitor() = default;

SettingsStore& Monitor::Settings() { return parts_->components.settings; }
ActivityLog& Monitor::Log() { return parts_->components.log; }
SettingsForm& Monitor::Form() { return parts_->settingsForm; }
WatchCycle& Monitor::Cycle() { return parts_->cycle; }
const WatchState& Monitor::State() const { return parts_->components.state; }
const WatchSchedule& Monitor::Schedule() const { return parts_->components.schedule; }

void Monitor::CutWatch(std::function<void()> then) { parts_->runner.CutWatch(std::move(then)); }

void Monitor::OnWatchEnded(std::function<void(const WatchOutcome&)> ended) {
    if (parts_->worker) {
        parts_->worker->OnWatchEnded(std::move(ended));
    } else {
        parts_->direct->runner.OnWatchEnded(std::move(ended));
    }
}

void Monitor::OnWatchEnded(std::function<void(const WatchResult&)> ended) {
    OnWatchEnded([ended = std::move(ended)](const WatchOutcome& outcome) { ended(outcome.result); });
}

void Monitor::SendTestMail() {
    Parts& p = *parts_;
    if (p.worker) {
        p.worker->RunTestMail();
    } else {
        corvasse::SendTestMail(p.components.alert, p.form, p.components.settings, p.view, p.boxes);
    }
}

}  // namespace corvasse
