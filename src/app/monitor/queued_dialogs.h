#pragma once
// The boxes a watch on the worker thread opens, shown by the window's thread
// in their place among the watch's view calls. The watch waits until the
// user has closed its box, as it would on the window's thread; a cut watch
// stops waiting at once and leaves the box to the user.

#include <string>

#include "app/view/dialogs.h"

namespace corvasse {

class WindowThread;

class QueuedDialogs : public Dialogs {
public:
    // target is used on the window's thread; both must outlive this object.
    QueuedDialogs(Dialogs& target, WindowThread& windowThread);

    void Beep() override;
    // Return once the box is closed; throw AbortedError when the calling
    // thread's abort signal (or the process abort) is raised meanwhile.
    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;

private:
    void ShowAndWait(void (Dialogs::*show)(const std::string&), const std::string& text);

    Dialogs& target_;
    WindowThread& windowThread_;
};

}  // namespace corvasse
