#include "ui/qt_window_thread.h"

namespace corvasse {

void QtWindowThread::Post(std::function<void()> call) {
    {
        std::lock_guard lock(mutex_);
        queued_.push_back(std::move(call));
    }
    QMetaObject::invokeMethod(this, "RunQueued", Qt::QueuedConnection);
}

void QtWindowThread::RunQueued() {
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(mutex_);
            if (queued_.empty()) return;
            call = std::move(queued_.front());
            queued_.pop_front();
        }
        call();
    }
}

}  // namespace corvasse
