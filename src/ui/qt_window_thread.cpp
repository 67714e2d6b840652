#include "ui/qt_window_thread.h"

namespace corvasse {

void QtWindowThread::Post(std::function<void()> call) {
    // Qt delivers the events posted to one thread in the order they were posted.
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

}  // namespace corvasse
