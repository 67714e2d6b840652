#pragma once
// The one QApplication that widget tests share; created on first use with
// the offscreen platform unless the environment names another.

#include <cstdlib>

#include <QApplication>

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

}  // namespace corvasse::test
