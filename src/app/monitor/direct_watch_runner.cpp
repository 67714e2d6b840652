#include "app/monitor/direct_watch_runner.h"

#include "app/view/handler_guard.h"
#include "app/watch/watch.h"

namespace corvasse {

void DirectWatchRunner::RunWatch() {
    HandlerGuard(boxes_).Run([this] { watch_.Run(); });
}

}  // namespace corvasse
