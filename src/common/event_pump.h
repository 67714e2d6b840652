#pragma once
// How code that waits on the user-interface thread keeps the thread's events
// flowing. The window system implements it; tests use a fake.

#include <chrono>

namespace corvasse {

class EventPump {
public:
    virtual ~EventPump() = default;

    // Runs the events that are pending; when none is pending, waits until one
    // arrives or maxWait passes, then runs what arrived.
    virtual void ProcessEvents(std::chrono::milliseconds maxWait) = 0;

    // True once the application was asked to quit while events were being
    // processed. The asker's request stays pending for the outer event loop.
    virtual bool QuitRequested() const = 0;
};

}  // namespace corvasse
