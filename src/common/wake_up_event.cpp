#include "common/wake_up_event.h"

#include <cstdint>

#include <sys/eventfd.h>
#include <unistd.h>

namespace corvasse {

WakeUpEvent::WakeUpEvent() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void WakeUpEvent::Raise() const noexcept {
    const uint64_t one = 1;
    // Non-blocking: a counter that is already raised needs no more.
    [[maybe_unused]] const ssize_t written = ::write(fd_.Get(), &one, sizeof one);
}

}  // namespace corvasse
