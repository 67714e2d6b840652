#include "app/monitor/queued_dialogs.h"

#include <memory>
#include <optional>

#include <poll.h>

#include "app/monitor/window_thread.h"
#include "common/process_abort.h"
#include "common/wake_up_event.h"

namespace corvasse {

QueuedDialogs::QueuedDialogs(Dialogs& target, WindowThread& windowThread)
    : target_(target), windowThread_(windowThread) {}

void QueuedDialogs::Beep() {
    windowThread_.Post([&target = target_] { target.Beep(); });
}

void QueuedDialogs::ShowMessage(const std::string& text) { ShowAndWait(&Dialogs::ShowMessage, text); }

void QueuedDialogs::ShowError(const std::string& text) { ShowAndWait(&Dialogs::ShowError, text); }

void QueuedDialogs::ShowAndWait(void (Dialogs::*show)(const std::string&), const std::string& text) {
    // Shared: a cut watch leaves while the box is still open.
    auto closed = std::make_shared<WakeUpEvent>();
    windowThread_.Post([&target = target_, show, text, closed] {
        (target.*show)(text);
        closed->Raise();
    });
    // Without a descriptor to wait on the box is still shown, in its place;
    // only the wait for it is lost.
    if (!closed->Valid()) return;
    pollfd ready{closed->Descriptor(), POLLIN, 0};
    PollUnlessAborted({&ready, 1}, std::nullopt);
}

}  // namespace corvasse
