#include "cli/signal_deadline.h"

#include <csignal>
#include <stdexcept>
#include <utility>

#include <unistd.h>

#include "common/process_abort.h"

namespace corvasse {

namespace {

// What the handler needs; set before the timer is armed and left alone until
// it is disarmed, so the handler only reads it.
std::string lastWord;
int exitCode = 0;
std::chrono::milliseconds grace{0};
timer_t armedTimer{};
volatile sig_atomic_t deadlinePassed = 0;

void Arm(timer_t timer, std::chrono::nanoseconds after) {
    // A zero time would disarm the timer instead.
    if (after <= std::chrono::nanoseconds::zero()) after = std::chrono::nanoseconds(1);
    const auto seconds = std::chrono::floor<std::chrono::seconds>(after);
    itimerspec when{};
    when.it_value.tv_sec = static_cast<time_t>(seconds.count());
    when.it_value.tv_nsec = static_cast<long>((after - seconds).count());
    timer_settime(timer, 0, &when, nullptr);
}

void OnTimer(int) {
    if (deadlinePassed == 0) {
        deadlinePassed = 1;
        RaiseProcessAbort();
        Arm(armedTimer, grace);
        return;
    }
    [[maybe_unused]] const ssize_t written = write(STDOUT_FILENO, lastWord.data(), lastWord.size());
    _exit(exitCode);
}

}  // namespace

SignalDeadline::SignalDeadline(std::chrono::steady_clock::time_point deadline, std::chrono::milliseconds graceTime,
                               std::string word, int code) {
    lastWord = std::move(word);
    exitCode = code;
    grace = graceTime;
    deadlinePassed = 0;
    struct sigaction action {};
    action.sa_handler = OnTimer;
    sigemptyset(&action.sa_mask);
    // Waits watch the abort's descriptor; interrupted calls just go on.
    action.sa_flags = SA_RESTART;
    sigaction(SIGALRM, &action, nullptr);
    sigevent event{};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = SIGALRM;
    if (timer_create(CLOCK_MONOTONIC, &event, &timer_) != 0)
        throw std::runtime_error("cannot create the time-out's timer");
    armedTimer = timer_;
    armed_ = true;
    Arm(timer_, deadline - std::chrono::steady_clock::now());
}

SignalDeadline::~SignalDeadline() { Disarm(); }

void SignalDeadline::Disarm() {
    if (!armed_) return;
    armed_ = false;
    timer_delete(timer_);
}

}  // namespace corvasse
