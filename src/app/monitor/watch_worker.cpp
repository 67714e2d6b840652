#include "app/monitor/watch_worker.h"

#include "app/alert/test_mail.h"
#include "app/monitor/window_thread.h"
#include "app/view/handler_guard.h"
#include "common/fiber_pool.h"
#include "common/process_abort.h"

namespace corvasse {

WatchWorker::WatchWorker(const FormFields& form, MonitorView& view, Dialogs& boxes, WindowThread& windowThread,
                         FiberPool& pool, const MonitorFiles& files)
    : form_(form),
      windowThread_(windowThread),
      pool_(pool),
      view_(view, windowThread),
      dialogs_(boxes, windowThread),
      components_(view_, files),
      watch_(values_, view_, dialogs_, components_.settings, components_.log, components_.web, components_.pingClient,
             components_.state, components_.results) {}

WatchWorker::~WatchWorker() {
    std::unique_lock lock(mutex_);
    ending_ = true;
    waiting_.reset();
    waitingMail_.reset();
    if (running_) running_->Raise();
    changed_.wait(lock, [this] { return !working_; });
}

void WatchWorker::RunWatch() { Ask(waiting_, Job::Watch); }

void WatchWorker::RunTestMail() { Ask(waitingMail_, Job::TestMail); }

void WatchWorker::Ask(std::optional<Request>& slot, Job job) {
    FormValues form = FormValues::Of(form_);
    {
        std::lock_guard lock(mutex_);
        if (slot) {
            slot->form = std::move(form);
        } else {
            slot = Request{++requested_, job, std::move(form)};
        }
        if (working_) return;
        working_ = true;
    }
    pool_.Submit([this] { Work(); });
}

WatchWorker::Request WatchWorker::TakeWaiting() {
    std::optional<Request>& first =
        waitingMail_ && (!waiting_ || waitingMail_->number < waiting_->number) ? waitingMail_ : waiting_;
    Request taken = std::move(*first);
    first.reset();
    return taken;
}

void WatchWorker::CutWatch(std::function<void()> then) {
    uint64_t last;
    {
        std::lock_guard lock(mutex_);
        waiting_.reset();
        waitingMail_.reset();
        if (running_) running_->Raise();
        last = taken_;
    }
    if (shown_ >= last) {
        then();
    } else {
        afterCut_.emplace_back(last, std::move(then));
    }
}

void WatchWorker::Work() {
    std::unique_lock lock(mutex_);
    while (!ending_ && (waiting_ || waitingMail_)) {
        Request request = TakeWaiting();
        const uint64_t number = request.number;
        values_ = std::move(request.form);
        taken_ = number;
        const AbortSignal& signal = running_.emplace();
        lock.unlock();
        {
            AbortSignalScope scope(&signal);
            try {
                if (request.job == Job::Watch) {
                    // Unstamped until this watch comes to its result.
                    components_.state.outcome.result.time = ResultTime{};
                    HandlerGuard(dialogs_).Run([this] { watch_.Run(); });
                } else {
                    SendTestMail(components_.alert, values_, components_.settings, view_, dialogs_);
                }
            } catch (const AbortedError&) {
                // Cut: nothing to report and nothing to count.
            }
        }
        std::optional<WatchOutcome> outcome;
        // A watch that came to no result leaves the time unstamped.
        if (request.job == Job::Watch && components_.state.outcome.result.time != ResultTime{}) {
            outcome = components_.state.outcome;
        }
        // Behind every call the watch handed over.
        windowThread_.Post([this, number, outcome = std::move(outcome)] { Shown(number, outcome); });
        lock.lock();
        running_.reset();
    }
    working_ = false;
    // The destructor may be waiting; it may end this object as soon as the
    // lock is given up, so nothing here touches it after that.
    changed_.notify_all();
}

void WatchWorker::Shown(uint64_t number, const std::optional<WatchOutcome>& outcome) {
    shown_ = number;
    if (ended_ && outcome) ended_(*outcome);
    std::vector<std::function<void()>> due;
    std::erase_if(afterCut_, [&](auto& entry) {
        if (entry.first > number) return false;
        due.push_back(std::move(entry.second));
        return true;
    });
    for (const auto& then : due) then();
}

}  // namespace corvasse
