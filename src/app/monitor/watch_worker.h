#pragma once
// Runs a window's watches on the watch pool shared with other watches
// (common/fiber_pool.h), so that the window's thread only shows: the watch
// reads a copy of the form taken on the window's thread when it was asked
// for, and its view calls and boxes are handed back to the window's thread
// in order (QueuedView, QueuedDialogs).
// Each watch runs under an abort signal of its own, which a cut raises: the
// watch's network wait then ends at once with AbortedError. The worker owns
// its clients and settings, so several run side by side; one worker runs
// one job at a time.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "app/monitor/monitor_components.h"
#include "app/monitor/queued_dialogs.h"
#include "app/monitor/queued_view.h"
#include "app/monitor/watch_runner.h"
#include "app/settings/form_values.h"
#include "app/watch/watch.h"
#include "common/abort_signal.h"

namespace corvasse {

class FiberPool;
class WindowThread;

class WatchWorker : public WatchRunner {
public:
    // Made on the window's thread, which form, view and boxes belong to;
    // every object must outlive this one. Watches read copies of form,
    // report to view, open their boxes through boxes and run on pool.
    WatchWorker(const FormFields& form, MonitorView& view, Dialogs& boxes, WindowThread& windowThread, FiberPool& pool,
                const MonitorFiles& files);
    // Cuts the running watch and waits for its job to end.
    ~WatchWorker() override;
    WatchWorker(const WatchWorker&) = delete;
    WatchWorker& operator=(const WatchWorker&) = delete;

    // All three on the window's thread.
    void RunWatch() override;
    void CutWatch(std::function<void()> then) override;
    // "Send Test" with the form as it stands now, on the watches' thread:
    // at once, or after the running watch. One test mail at most waits, and
    // it goes before a waiting watch asked for after it. A cut drops it, or
    // cuts its mail dialogue.
    void RunTestMail();
    // ended runs on the window's thread behind everything a watch reported,
    // for each watch that came to a result (not one cut before it, nor one
    // that refused its address). Set before the first watch.
    void OnWatchEnded(std::function<void(const WatchOutcome&)> ended) { ended_ = std::move(ended); }

    // The parts the watches run over; the settings store and the log may
    // also be used on the window's thread, the rest only between watches.
    MonitorComponents& Components() { return components_; }

private:
    enum class Job { Watch, TestMail };
    struct Request {
        uint64_t number;
        Job job;
        FormValues form;
    };

    void Ask(std::optional<Request>& slot, Job job);
    // The waiting request asked for first, taken from its slot; one must wait.
    Request TakeWaiting();

    // The job on the pool: runs the waiting requests until none waits.
    void Work();
    // On the window's thread, once everything the watch reported is shown.
    void Shown(uint64_t number, const std::optional<WatchOutcome>& outcome);

    const FormFields& form_;
    WindowThread& windowThread_;
    FiberPool& pool_;
    // The watch's side, used only by the running job on the pool.
    FormValues values_;
    QueuedView view_;
    QueuedDialogs dialogs_;
    MonitorComponents components_;
    Watch watch_;

    // The window's thread's side.
    uint64_t requested_ = 0;
    uint64_t shown_ = 0;
    // What a cut runs once the watch of that number is shown.
    std::vector<std::pair<uint64_t, std::function<void()>>> afterCut_;
    std::function<void(const WatchOutcome&)> ended_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Request> waiting_;
    std::optional<Request> waitingMail_;
    uint64_t taken_ = 0;
    std::optional<AbortSignal> running_;
    // A job of this worker is on the pool.
    bool working_ = false;
    bool ending_ = false;
};

}  // namespace corvasse
