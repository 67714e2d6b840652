#include "app/monitor/direct_watch_runner.h"

#include "app/view/handler_guard.h"
#include "app/watch/watch.h"
#include "app/watch/watch_state.h"

namespace corvasse {

void DirectWatchRunner::RunWatch() {
    // Unstamped until this watch comes to its result.
    state_.outcome.result.time = ResultTime{};
    HandlerGuard(boxes_).Run([this] { watch_.Run(); });
    if (ended_ && state_.outcome.result.time != ResultTime{}) ended_(state_.outcome);
}

}  // namespace corvasse
