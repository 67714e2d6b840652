#pragma once
// An abort that one thread raises to end the network work of another: the
// work a watch does on its worker thread, cut by "Abort Connection", "Stop
// Watching" or the closing window. The worker runs its work inside a scope
// that makes the signal its thread's own, and every wait that watches the
// process abort (common/process_abort.h) watches that thread's signal too.
//
//     worker:   AbortSignalScope scope(&signal);  client.Get(url);  // throws AbortedError once raised
//     window:   signal.Raise();

#include <atomic>

#include "common/wake_up_event.h"

namespace corvasse {

class AbortSignal {
public:
    AbortSignal() = default;
    AbortSignal(const AbortSignal&) = delete;
    AbortSignal& operator=(const AbortSignal&) = delete;

    // From any thread; raising it again changes nothing.
    void Raise() noexcept;
    bool Raised() const noexcept { return raised_.load(); }
    // Readable once raised, and from then on; -1 when the system gave no
    // descriptor (the flag still works, but a wait then ends only at its
    // next check).
    int Descriptor() const noexcept { return event_.Descriptor(); }

private:
    std::atomic<bool> raised_{false};
    WakeUpEvent event_;
};

// Makes a signal the calling thread's own while it lives (none: nullptr),
// and gives the thread back the one it had before.
class AbortSignalScope {
public:
    explicit AbortSignalScope(const AbortSignal* signal) noexcept;
    ~AbortSignalScope();
    AbortSignalScope(const AbortSignalScope&) = delete;
    AbortSignalScope& operator=(const AbortSignalScope&) = delete;

private:
    const AbortSignal* previous_;
};

// The calling thread's signal; nullptr outside every scope.
const AbortSignal* ThreadAbortSignal() noexcept;

}  // namespace corvasse
