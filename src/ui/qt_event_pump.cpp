#include "ui/qt_event_pump.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

namespace corvasse {

QtEventPump::QtEventPump(QObject* parent) : QObject(parent) {}

void QtEventPump::ProcessEvents(std::chrono::milliseconds maxWait) {
    QCoreApplication* app = QCoreApplication::instance();
    quitRequested_ = false;
    app->installEventFilter(this);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (maxWait.count() > 0 && !quitRequested_) {
        // WaitForMoreEvents alone may sleep for ever; the timer bounds it.
        QTimer wakeUp;
        wakeUp.setSingleShot(true);
        wakeUp.start(maxWait);
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    app->removeEventFilter(this);
    if (quitRequested_) {
        QCoreApplication::postEvent(app, new QEvent(QEvent::Quit));
    }
}

bool QtEventPump::QuitRequested() const { return quitRequested_; }

bool QtEventPump::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Quit && watched == QCoreApplication::instance()) {
        quitRequested_ = true;
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace corvasse
