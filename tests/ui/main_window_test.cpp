#include "ui/main_window.h"

#include <fstream>

#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/activity_log.h"
#include "app/fakes.h"
#include "app/monitor.h"
#include "app/settings_store.h"
#include "app/watch_state.h"
#include "support/temp_dir.h"
#include "ui/log_viewer.h"
#include "ui/qt_test_app.h"

namespace corvasse {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::TestApp();
        window_ = std::make_unique<MainWindow>(MonitorFiles::InFolder(temp_.Path() / "config"), &dialogs_);
        window_->show();
        QApplication::processEvents();
    }

    QPushButton* Button(const char* name) { return window_->findChild<QPushButton*>(name); }
    QString Pane() { return window_->findChild<QPlainTextEdit*>("richStatus")->toPlainText(); }
    QString StatusPanel() { return window_->findChild<QLabel*>("statusPanel")->text(); }

    QAction* MenuAction(const QString& menu, const QString& entry) {
        for (QAction* top : window_->menuBar()->actions()) {
            if (top->text() != menu) continue;
            for (QAction* action : top->menu()->actions()) {
                if (action->text() == entry) return action;
            }
        }
        return nullptr;
    }

    test::TempDir temp_;
    test::ScopedWorkingDir cwd_{temp_.Path()};
    test::FakeDialogs dialogs_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTest, LaysOutPagesButtonsStatusBarAndMenus) {
    EXPECT_TRUE(window_->windowTitle().startsWith("Corvasse - "));
    EXPECT_EQ(window_->size(), QSize(617, 461));
    EXPECT_FALSE(window_->windowFlags() & Qt::WindowMaximizeButtonHint);

    auto* pages = window_->findChild<QTabWidget*>();
    ASSERT_EQ(pages->count(), 3);
    EXPECT_EQ(pages->tabText(0), "Status");
    EXPECT_EQ(pages->tabText(1), "URL Details");
    EXPECT_EQ(pages->tabText(2), "SMTP Details");
    EXPECT_EQ(pages->currentIndex(), 0);

    EXPECT_EQ(Button("btnSave")->text(), "&Save Settings");
    EXPECT_TRUE(Button("btnSave")->isDefault());
    EXPECT_EQ(Button("btnOkay")->text(), "Start &Watching");
    EXPECT_EQ(Button("btnCancel")->text(), "Stop Watching");
    EXPECT_EQ(window_->findChild<QProgressBar*>("httpProgressBar")->toolTip(), "Loading webpage");
    EXPECT_EQ(window_->findChild<QLabel*>("statusPanel")->width(), 300);
    EXPECT_FALSE(window_->statusBar()->isSizeGripEnabled());

    QStringList menus;
    for (QAction* top : window_->menuBar()->actions()) {
        QStringList entries;
        for (QAction* action : top->menu()->actions()) entries << (action->isSeparator() ? "-" : action->text());
        menus << top->text() + ": " + entries.join("|");
    }
    EXPECT_EQ(menus, QStringList({"&File: &Abort Connection|-|&Minimize|-|E&xit", "&Log: &View Log|-|&Clear Log",
                                  "&Help: &About...|Visit &Corvasse web site..."}));
    EXPECT_FALSE(window_->logViewer().isVisible());
}

TEST_F(MainWindowTest, ShowingTheWindowLoadedTheStoredSettings) {
    SettingsStore store(temp_.Path() / "config2");
    store.WriteSetting("Settings", "url2watch", "http://127.0.0.1:8080/x");
    store.WriteSetting("Settings", "cboAuthType", "atLogin");
    MainWindow window(MonitorFiles::InFolder(temp_.Path() / "config2"), &dialogs_);
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(window.Text(Field::txtURL2watch), "http://127.0.0.1:8080/x");
    EXPECT_EQ(window.Text(Field::txtWatchFreq), "15");
    EXPECT_TRUE(window.Checked(Field::rad_atLogin));
}

TEST_F(MainWindowTest, SaveValidatesThroughTheDialogs) {
    window_->SetText(Field::txtURL2watch, "http://a");
    Button("btnSave")->click();
    EXPECT_EQ(dialogs_.calls, (std::vector<std::string>{"beep", "message:Sorry, invalid URL entered..."}));

    dialogs_.calls.clear();
    window_->SetText(Field::txtURL2watch, "  http://127.0.0.1/  ");
    window_->SetText(Field::txtLookFor, "ok");
    window_->SetText(Field::txtSendto, "ops@example.org");
    Button("btnSave")->click();
    EXPECT_TRUE(dialogs_.calls.empty());
    EXPECT_EQ(window_->Text(Field::txtURL2watch), "http://127.0.0.1/");
    EXPECT_EQ(StatusPanel(), "Settings saved...");
    EXPECT_EQ(window_->monitor().Settings().ReadSetting("Settings", "txtSendTo"), "ops@example.org");
}

TEST_F(MainWindowTest, ErrorsEscapingAHandlerGoToTheErrorBoxAndTheProgramGoesOn) {
    window_->SetText(Field::txtWatchFreq, "abc");
    Button("btnOkay")->click();
    EXPECT_EQ(dialogs_.calls, (std::vector<std::string>{"error:'abc' is not a valid integer value."}));

    dialogs_.calls.clear();
    window_->SetText(Field::txtWatchFreq, "15");
    window_->SetText(Field::txtURL2watch, "https://127.0.0.1/");
    Button("btnOkay")->click();
    EXPECT_EQ(dialogs_.calls,
              (std::vector<std::string>{"beep", "message:Sorry, we do not support HTTPS protocol at this time."}));
    EXPECT_EQ(window_->findChild<QLabel*>("watchCountPanel")->text(), "Watch count:1");
    EXPECT_EQ(StatusPanel(), "Watching...");

    Button("btnCancel")->click();
    EXPECT_EQ(StatusPanel(), "Watching process stopped...");
}

TEST_F(MainWindowTest, ProgressBarShowsPositionsOutsideItsRangeAtTheNearestEnd) {
    auto* bar = window_->findChild<QProgressBar*>("httpProgressBar");
    window_->SetProgressMax(1000);
    window_->SetProgressPosition(1500);
    EXPECT_EQ(bar->value(), 1000);
    window_->SetProgressMax(0);  // no total announced: an empty bar, not a busy one
    EXPECT_EQ(bar->value(), 0);
    EXPECT_GT(bar->maximum(), bar->minimum());
    EXPECT_EQ(window_->ProgressMax(), 0);
}

TEST_F(MainWindowTest, LogViewerShowsTheFileWithItsEndMarkerAndClearEmptiesIt) {
    MenuAction("&Log", "&View Log")->trigger();
    ASSERT_EQ(dialogs_.calls.size(), 1u);
    EXPECT_EQ(dialogs_.calls[0], "error:Cannot open file \"" + (temp_.Path() / "Corvasse.log").string() +
                                     "\". No such file or directory.");
    EXPECT_TRUE(window_->logViewer().isVisible());
    EXPECT_EQ(window_->logViewer().Pane()->toPlainText(), "");

    window_->monitor().Log().AppendLogLine("one");
    MenuAction("&Log", "&View Log")->trigger();  // visible: not reloaded
    EXPECT_EQ(window_->logViewer().Pane()->toPlainText(), "");
    window_->logViewer().hide();
    MenuAction("&Log", "&View Log")->trigger();
    EXPECT_EQ(window_->logViewer().Pane()->toPlainText(), "one\n \n--- End of File --");

    window_->logViewer().hide();
    MenuAction("&Log", "&Clear Log")->trigger();
    EXPECT_EQ(window_->logViewer().Pane()->toPlainText(), "");
    EXPECT_EQ(std::filesystem::file_size(temp_.Path() / "Corvasse.log"), 0u);
}

TEST_F(MainWindowTest, ClosingTheWindowEndsTheEventLoop) {
    window_->logViewer().ShowLog();
    QTimer::singleShot(0, window_.get(), [this] { MenuAction("&File", "E&xit")->trigger(); });
    QTimer failSafe;
    failSafe.setSingleShot(true);
    QObject::connect(&failSafe, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    failSafe.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(window_->isVisible());
}

}  // namespace
}  // namespace corvasse
