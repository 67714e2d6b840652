// What the main window leaves until it is up: the tray icon with its menus
// and the window's icon come with the first events after the show, not
// after a close that came first.

#include "ui/main_window.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>

#include "app/fakes.h"
#include "support/monitor_files.h"
#include "support/temp_dir.h"
#include "ui/qt_test_app.h"

namespace corvasse {
namespace {

class WindowStartTest : public test::QtTest {
protected:
    bool HasTrayMenus(const MainWindow& window) const {
        for (const QAction* action : window.findChildren<QAction*>()) {
            if (action->text() == "&Show window") return true;
        }
        return false;
    }

    test::TempDir temp_;
    test::FakeDialogs dialogs_;
};

TEST_F(WindowStartTest, TheTrayAndTheIconComeOnceTheWindowIsUpUnlessItClosedFirst) {
    for (const bool closeFirst : {false, true}) {
        MainWindow window(test::MonitorFilesIn(temp_.Path()), &dialogs_);
        window.show();
        EXPECT_FALSE(HasTrayMenus(window));
        if (closeFirst) window.close();
        QApplication::processEvents();
        EXPECT_EQ(HasTrayMenus(window), !closeFirst) << "closed first: " << closeFirst;
        EXPECT_EQ(window.windowIcon().isNull(), closeFirst) << "closed first: " << closeFirst;
    }
    EXPECT_TRUE(dialogs_.calls.empty());
}

}  // namespace
}  // namespace corvasse
