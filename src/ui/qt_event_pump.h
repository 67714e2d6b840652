#pragma once
// The event pump on Qt: runs the user-interface thread's events while a ping
// waits, and holds back a quit request until the wait has ended.

#include <QObject>

#include "common/event_pump.h"

namespace corvasse {

class QtEventPump : public QObject, public EventPump {
    Q_OBJECT
public:
    explicit QtEventPump(QObject* parent = nullptr);

    // Runs the pending events; with maxWaitMs above 0 and none pending, sleeps
    // until one arrives or maxWaitMs pass and runs what arrived. A quit request
    // (QCoreApplication::quit, the last window closed) met meanwhile is taken
    // out of the way and posted again afterwards, so the outer event loop
    // still ends once the waiting code has returned.
    void ProcessEvents(std::chrono::milliseconds maxWait) override;

    // True when the latest ProcessEvents met a quit request.
    bool QuitRequested() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool quitRequested_ = false;
};

}  // namespace corvasse
