#pragma once
// The watch timer. Its tick is delivered by the event loop, never nested
// inside another tick unless the running tick itself processes events.

#include <cstdint>

namespace corvasse {

class IntervalTimer {
public:
    virtual ~IntervalTimer() = default;
    // Enabling a disabled timer starts its period afresh; enabling an enabled
    // one changes nothing.
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    // Milliseconds. A different interval on an enabled timer starts the period
    // afresh; the same interval changes nothing; 0 arms no tick.
    virtual void SetInterval(uint32_t intervalMs) = 0;
    virtual uint32_t Interval() const = 0;
};

}  // namespace corvasse
