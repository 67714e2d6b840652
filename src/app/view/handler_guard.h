#pragma once
// Every handler that the event loop calls (buttons, menus, the timer, showing
// a window) runs inside this guard: an error that escapes it is shown in the
// standard error box and the program goes on with the next event.

#include <functional>
#include <string>
#include <string_view>

namespace corvasse {

class Dialogs;

// The message as the error box shows it: a full stop is appended when the
// last character sorts after ".".
std::string ErrorBoxText(std::string_view message);

class HandlerGuard {
public:
    explicit HandlerGuard(Dialogs& dialogs) : dialogs_(dialogs) {}

    // Runs the handler; an escaping error goes to the error box, not further.
    void Run(const std::function<void()>& handler) const;

private:
    Dialogs& dialogs_;
};

}  // namespace corvasse
