#include "common/process_abort.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "common/abort_signal.h"
#include "common/posix_io.h"
#include "common/wake_up_event.h"

namespace corvasse {

namespace {

// Lock-free, so a signal handler may use it.
constinit std::atomic<bool> raised{false};

// Never destroyed: a signal during the exit must not write to a closed
// descriptor whose number may have been given out again.
const WakeUpEvent& AbortEvent() noexcept {
    static const WakeUpEvent* const event = new WakeUpEvent;
    return *event;
}

// Made before main, so that no wait adds a descriptor to the process later
// (tests count them) and a signal handler never meets a half-made one.
[[maybe_unused]] const int madeAtStart = AbortEvent().Descriptor();

}  // namespace

void RaiseProcessAbort() noexcept {
    raised.store(true);
    AbortEvent().Raise();
}

bool ProcessAbortRaised() noexcept { return raised.load(); }

int ProcessAbortDescriptor() noexcept { return AbortEvent().Descriptor(); }

void ThrowIfProcessAborted() {
    const AbortSignal* signal = ThreadAbortSignal();
    if (ProcessAbortRaised() || (signal != nullptr && signal->Raised())) throw AbortedError();
}

int PollUnlessAborted(std::span<pollfd> fds, std::optional<std::chrono::steady_clock::time_point> deadline) {
    ThrowIfProcessAborted();
    std::vector<pollfd> watched(fds.begin(), fds.end());
    watched.push_back({ProcessAbortDescriptor(), POLLIN, 0});
    if (const AbortSignal* signal = ThreadAbortSignal()) watched.push_back({signal->Descriptor(), POLLIN, 0});
    const int ready = PollUntil(watched, deadline);
    const auto aborts = std::span(watched).subspan(fds.size());
    if (std::any_of(aborts.begin(), aborts.end(), [](const pollfd& fd) { return (fd.revents & POLLIN) != 0; })) {
        ThrowIfProcessAborted();
    }
    std::copy(watched.begin(), watched.begin() + static_cast<std::ptrdiff_t>(fds.size()), fds.begin());
    return ready;
}

}  // namespace corvasse
