#pragma once
// An event one thread raises to end another thread's poll(): a descriptor
// that becomes readable once raised and stays so (it is never read back), so
// every wait that watches it, now or later, ends.
//
//     waiting thread:  pollfd fds[] = {{socket, POLLIN, 0}, {wake.Descriptor(), POLLIN, 0}};
//     other thread:    wake.Raise();

#include "common/file_descriptor.h"

namespace corvasse {

class WakeUpEvent {
public:
    // Valid() tells whether the system gave a descriptor (errno says why not).
    WakeUpEvent();

    bool Valid() const noexcept { return fd_.Valid(); }
    // The descriptor to poll for POLLIN.
    int Descriptor() const noexcept { return fd_.Get(); }
    // Makes the descriptor readable. Async-signal-safe; raising it again
    // changes nothing.
    void Raise() const noexcept;

private:
    FileDescriptor fd_;
};

}  // namespace corvasse
