#pragma once
// The window's thread on Qt: a call posted from any thread runs in the
// event loop, as a queued call on this object; calls still queued when it
// goes are dropped.

#include <functional>

#include <QObject>

#include "app/window_thread.h"

namespace corvasse {

class QtWindowThread : public QObject, public WindowThread {
    Q_OBJECT
public:
    explicit QtWindowThread(QObject* parent = nullptr) : QObject(parent) {}

    void Post(std::function<void()> call) override;
};

}  // namespace corvasse
