#pragma once
// The one QApplication that widget tests share; created on first use with
// the offscreen platform unless the environment names another, and the
// fixture that has it before any widget. And a wait that keeps its events
// flowing, for what the window's watch thread hands back.

#include <chrono>
#include <cstdlib>
#include <functional>

#include <gtest/gtest.h>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

namespace corvasse::test {

inline QApplication& TestApp() {
    static int argc = 1;
    static char name[] = "corvasse-tests";
    static char* argv[] = {name, nullptr};
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication* app = [] {
        auto* created = new QApplication(argc, argv);
        QApplication::setApplicationName("Corvasse");
        return created;
    }();
    return *app;
}

class QtTest : public ::testing::Test {
protected:
    QApplication& app = TestApp();
};

// Runs the event loop until done() holds, checking every few milliseconds,
// or until limit has passed; done()'s last answer.
inline bool RunEventsUntil(const std::function<bool()>& done,
                           std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    if (done()) return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    check.start(5);
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

}  // namespace corvasse::test
