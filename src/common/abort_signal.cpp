#include "common/abort_signal.h"

namespace corvasse {

namespace {

thread_local const AbortSignal* threadSignal = nullptr;

}  // namespace

void AbortSignal::Raise() noexcept {
    raised_.store(true);
    event_.Raise();
}

AbortSignalScope::AbortSignalScope(const AbortSignal* signal) noexcept : previous_(threadSignal) {
    threadSignal = signal;
}

AbortSignalScope::~AbortSignalScope() { threadSignal = previous_; }

const AbortSignal* ThreadAbortSignal() noexcept { return threadSignal; }

}  // namespace corvasse
