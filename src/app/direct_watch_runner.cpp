#include "app/direct_watch_runner.h"

#include "app/handler_guard.h"
#include "app/watch.h"

namespace corvasse {

void DirectWatchRunner::RunWatch() {
    HandlerGuard(boxes_).Run([this] { watch_.Run(); });
}

}  // namespace corvasse
