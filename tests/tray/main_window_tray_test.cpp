// The main window hidden to a real system tray: an XEmbed tray (trayer) on a
// display of its own (Xvfb).

#include "ui/main_window.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QSystemTrayIcon>
#include <QTimer>

#include "app/fakes.h"
#include "app/monitor/monitor.h"
#include "support/monitor_files.h"
#include "support/temp_dir.h"
#include "support/virtual_desktop.h"
#include "ui/about_box.h"
#include "ui/log_viewer.h"
#include "ui/qt_dialogs.h"

namespace corvasse {
namespace {

bool WaitForTray() {
    QElapsedTimer clock;
    clock.start();
    while (!QSystemTrayIcon::isSystemTrayAvailable() && clock.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return QSystemTrayIcon::isSystemTrayAvailable();
}

// Notes every request to quit the application and holds it back.
class QuitWatch : public QObject {
public:
    bool requested = false;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Quit || watched != QCoreApplication::instance()) return false;
        requested = true;
        return true;
    }
};

// Only closing the main window ends the program: the other windows and the
// boxes may come and go while it is hidden to the tray.
TEST(MainWindowTrayTest, ClosingOtherWindowsWhileHiddenToTheTrayEndsNothing) {
    // The application goes before its display does, at the end of the test.
    test::VirtualDesktop desktop;
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    int argc = 1;
    char name[] = "corvasse-tray-tests";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QApplication::setApplicationName("Corvasse");
    ASSERT_TRUE(WaitForTray()) << "no system tray on the test display";
    test::TempDir temp;
    test::FakeDialogs dialogs;
    MainWindow window(test::MonitorFilesIn(temp.Path()), &dialogs);
    window.show();
    QuitWatch quit;
    app.installEventFilter(&quit);

    QTimer::singleShot(0, &window, [&] {
        for (QAction* action : window.findChildren<QAction*>()) {
            if (action->text() == "&Minimize") action->trigger();
        }
        EXPECT_FALSE(window.isVisible()) << "not hidden to the tray";
        window.AboutBox().ShowAbout();
        window.AboutBox().close();
        window.LogViewer().ShowLog();
        window.LogViewer().close();
        auto box = MakeMessageBox(nullptr, QMessageBox::NoIcon, "a box of its own");
        box->show();
        box->close();
        // Whatever the closings posted, a request to quit included.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::exit(7);
    });
    EXPECT_EQ(app.exec(), 7);
    EXPECT_FALSE(quit.requested);
}

}  // namespace
}  // namespace corvasse
