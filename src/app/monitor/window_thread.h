#pragma once
// The thread that owns the window, as a watch's worker thread reaches it:
// the worker never touches a widget, it hands each call over instead. The
// window system implements it; tests use a fake that runs the calls when
// told.

#include <functional>

namespace corvasse {

class WindowThread {
public:
    virtual ~WindowThread() = default;
    // Runs call on the window's thread soon. Callable from any thread; the
    // calls one thread posts run in the order it posted them.
    virtual void Post(std::function<void()> call) = 0;
};

}  // namespace corvasse
