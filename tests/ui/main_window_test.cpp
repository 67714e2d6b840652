#include "ui/main_window.h"

#include <fstream>

#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>

#include "app/fakes.h"
#include "app/monitor/monitor.h"
#include "app/settings/settings_store.h"
#include "app/view/activity_log.h"
#include "app/watch/watch_state.h"
#include "history/history_store.h"
#include "support/monitor_files.h"
#include "support/temp_dir.h"
#include "support/watch_results.h"
#include "ui/history_window.h"
#include "ui/log_viewer.h"
#include "ui/qt_dialogs.h"
#include "ui/qt_interval_timer.h"
#include "ui/qt_test_app.h"
#include "ui/watching_window.h"

namespace corvasse {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    QPushButton* Button(const char* name) { return window_->findChild<QPushButton*>(name); }
    std::string StatusPanel() { return watch_.Panel("statusPanel"); }

    using Settings = std::vector<std::pair<std::string, std::string>>;

    // The settings of a form that saves as it stands: a watch of url, and more.
    static Settings Savable(const char* url, std::pair<const char*, const char*> more) {
        return {{"url2watch", url},
                {"txtLookFor", "Welcome"},
                {"txtSendTo", "ops@example.org"},
                {"txtYourEmail", "me@example.org"},
                more};
    }

    // A second window, shown over files of its own that hold settings.
    MainWindow& OpenWith(const Settings& settings) {
        for (const auto& [key, value] : settings) stored_.WriteSetting("Settings", key, value);
        opened_ = std::make_unique<MainWindow>(openedFiles_, &dialogs_);
        opened_->show();
        QApplication::processEvents();
        return *opened_;
    }

    // "Save Settings" in window; what it stored under key.
    std::string SaveAndRead(MainWindow& window, const std::string& key) {
        window.findChild<QPushButton*>("btnSave")->click();
        EXPECT_TRUE(dialogs_.calls.empty()) << dialogs_.calls.front();
        return stored_.ReadSetting("Settings", key);
    }

    QAction* MenuAction(const QString& menu, const QString& entry) { return watch_.MenuAction(menu, entry); }

    test::TempDir temp_;
    test::WatchingWindow watch_{test::MonitorFilesIn(temp_.Path())};
    MainWindow* window_ = &watch_.window;
    test::FakeDialogs& dialogs_ = watch_.dialogs;
    test::TempDir openedFolder_;
    const MonitorFiles openedFiles_ = test::MonitorFilesIn(openedFolder_.Path());
    SettingsStore stored_ = SettingsStore::AtFile(openedFiles_.settings);
    std::unique_ptr<MainWindow> opened_;
};

TEST_F(MainWindowTest, LaysOutPagesButtonsStatusBarAndMenus) {
    EXPECT_TRUE(window_->windowTitle().startsWith("Corvasse - "));
    // The client size is the area below the menu bar.
    EXPECT_EQ(window_->size(), QSize(617, 461 + window_->menuBar()->height()));
    EXPECT_FALSE(window_->windowFlags() & Qt::WindowMaximizeButtonHint);

    auto* pages = window_->findChild<QTabWidget*>();
    ASSERT_EQ(pages->count(), 4);
    EXPECT_EQ(pages->tabText(0), "Status");
    EXPECT_EQ(pages->tabText(1), "URL Details");
    EXPECT_EQ(pages->tabText(2), "SMTP Details");
    EXPECT_EQ(pages->tabText(3), "Alerts");
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
                                  "&View: &Watches...|&History...", "&Help: &About...|Visit &Corvasse web site..."}));
    EXPECT_EQ(MenuAction("&View", "&History...")->shortcut(), QKeySequence("Ctrl+H"));
    EXPECT_EQ(MenuAction("&View", "&Watches...")->shortcut(), QKeySequence("Ctrl+L"));
    EXPECT_FALSE(window_->LogViewer().isVisible());
}

TEST_F(MainWindowTest, ShowingTheWindowLoadedTheStoredSettings) {
    MainWindow& window = OpenWith({{"url2watch", "http://127.0.0.1:8080/x"}, {"cboAuthType", "atLogin"}});
    EXPECT_EQ(window.Text(Field::txtURL2watch), "http://127.0.0.1:8080/x");
    EXPECT_EQ(window.Text(Field::txtWatchFreq), "15");
    EXPECT_TRUE(window.Checked(Field::rad_atLogin));
}

TEST_F(MainWindowTest, TheIntervalInSecondsSetByHandIsTextReadAgainAtEveryStart) {
    MainWindow& window = OpenWith(Savable("http://127.0.0.1:9/", {"intervalSeconds", "30"}));
    auto* seconds = window.findChild<QLabel*>("lblIntervalSeconds");
    ASSERT_NE(seconds, nullptr);
    stored_.WriteSetting("Settings", "intervalSeconds", "5");  // by hand, while the window is open
    window.findChild<QPushButton*>("btnOkay")->click();
    EXPECT_EQ(window.StatusText(), "Timer set to 5000 millisecond interval.");
    EXPECT_EQ(seconds->text(), "5");
}

TEST_F(MainWindowTest, StoredTextSurvivesLoadAndSaveAndIsWrittenBackInUtf8) {
    const struct {
        const char* key;
        Field field;
        std::string stored;
        std::string saved;
    } cases[] = {
        {"txtLookFor", Field::txtLookFor,
         "Gr\xF6\xDF"
         "e fehlt",
         "Gr\xC3\xB6\xC3\x9F"
         "e fehlt"},
        {"txtSendTo", Field::txtSendto, "j\xFCrgen@example.org", "j\xC3\xBCrgen@example.org"},
        {"txtPass", Field::txtPass, "p\xE4ss\xA7", "p\xC3\xA4ss\xC2\xA7"},
        {"txtUserid", Field::txtUserid, "J\xC3\xBCrgen", "J\xC3\xBCrgen"},
        {"url2watch", Field::txtURL2watch,
         "http://127.0.0.1/Gr\xC3\xB6\xC3\x9F"
         "e",
         "http://127.0.0.1/Gr\xC3\xB6\xC3\x9F"
         "e"},
        {"txtSMTPhost", Field::txtSMTPhost, "\xF0\x9F\x98\x80 mail", "\xF0\x9F\x98\x80 mail"},
        {"PingAddr", Field::editIPaddr, "host\xEF\xBF\xBE", "host\xEF\xBF\xBE"},
    };
    Settings settings;
    for (const auto& c : cases) settings.emplace_back(c.key, c.stored);
    MainWindow& window = OpenWith(settings);
    for (const auto& c : cases) EXPECT_EQ(window.Text(c.field), c.saved) << c.key;

    window.findChild<QPushButton*>("btnSave")->click();

    ASSERT_TRUE(dialogs_.calls.empty()) << dialogs_.calls.front();
    for (const auto& c : cases) EXPECT_EQ(stored_.ReadSetting("Settings", c.key), c.saved) << c.key;
}

TEST_F(MainWindowTest, AddressFamilyChoiceAndOfflineBoxLoadAndSaveTheirSettings) {
    Settings settings = Savable("http://[::1]:8080/", {"ipFamily", "ipv4"});
    settings.emplace_back("offlineAware", "y");
    MainWindow& window = OpenWith(settings);
    auto* choice = window.findChild<QComboBox*>();
    ASSERT_NE(choice, nullptr);
    QStringList items;
    for (int i = 0; i < choice->count(); ++i) items << choice->itemText(i);
    EXPECT_EQ(items, QStringList({"Any", "IPv4 only", "IPv6 only", "Each separately"}));
    EXPECT_EQ(choice->currentText(), "IPv4 only");

    for (auto [index, stored] : {std::pair{2, "ipv6"}, std::pair{3, "each"}, std::pair{0, "n/a"}}) {
        choice->setCurrentIndex(index);
        EXPECT_EQ(SaveAndRead(window, "ipFamily"), stored);
    }

    QCheckBox* offline = nullptr;
    for (auto* box : window.findChildren<QCheckBox*>()) {
        if (box->text().startsWith("Do not blame the site")) offline = box;
    }
    ASSERT_NE(offline, nullptr);
    EXPECT_TRUE(offline->isChecked());
    EXPECT_EQ(stored_.ReadSetting("Settings", "offlineAware"), "y");
    offline->setChecked(false);
    EXPECT_EQ(SaveAndRead(window, "offlineAware"), "n/a");
}

TEST_F(MainWindowTest, CertificateWarningBoxAndDaysLoadAndSaveTheirSetting) {
    MainWindow& window = OpenWith(Savable("https://127.0.0.1/", {"certWarnDays", "30"}));
    auto* days = window.findChild<QSpinBox*>();
    ASSERT_NE(days, nullptr);
    EXPECT_TRUE(window.Checked(Field::ckCertWarn));
    EXPECT_EQ(days->value(), 30);
    EXPECT_TRUE(days->isEnabled());

    // The box takes no more than a year.
    days->setValue(400);
    EXPECT_EQ(SaveAndRead(window, "certWarnDays"), "365");

    window.SetChecked(Field::ckCertWarn, false);
    EXPECT_FALSE(days->isEnabled());
    EXPECT_EQ(SaveAndRead(window, "certWarnDays"), "n/a");
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
    EXPECT_EQ(window_->Monitor().Settings().ReadSetting("Settings", "txtSendTo"), "ops@example.org");
}

TEST_F(MainWindowTest, ErrorsEscapingAHandlerGoToTheErrorBoxAndTheProgramGoesOn) {
    window_->SetText(Field::txtWatchFreq, "abc");
    Button("btnOkay")->click();
    EXPECT_EQ(dialogs_.calls, (std::vector<std::string>{"error:Watch interval: 'abc' is not a valid integer value."}));

    dialogs_.calls.clear();
    window_->SetText(Field::txtWatchFreq, "15");
    window_->SetText(Field::txtURL2watch, "https://127.0.0.1/");
    Button("btnOkay")->click();
    // The watch runs on its own thread, and shows its box through this one;
    // "Watching..." is the last text it sets.
    ASSERT_TRUE(test::RunEventsUntil([&] { return StatusPanel() == "Watching..."; }));
    EXPECT_EQ(dialogs_.calls,
              (std::vector<std::string>{"beep", "message:Sorry, we do not support HTTPS protocol at this time."}));
    EXPECT_EQ(window_->findChild<QLabel*>("watchCountPanel")->text(), "Watch count:1");

    Button("btnCancel")->click();
    // The stop's text follows the last events of the watch thread, which may
    // still be on their way.
    EXPECT_TRUE(test::RunEventsUntil([&] { return StatusPanel() == "Watching process stopped..."; })) << StatusPanel();
}

TEST_F(MainWindowTest, EnterGoesToTheFocusedButtonElseToTheDefaultButton) {
    const std::string https = "message:Sorry, we do not support HTTPS protocol at this time.";
    const std::string save = "message:Sorry, you missed entering File Size or what to look for...";
    window_->SetText(Field::txtURL2watch, "https://127.0.0.1/");
    auto* pane = window_->findChild<QPlainTextEdit*>("richStatus");
    struct Case {
        const char* name;
        QWidget* focused;
        std::string box;  // the message box Enter leads to; empty: none
    } cases[] = {
        {"Start Watching", Button("btnOkay"), https},
        {"Stop Watching", Button("btnCancel"), ""},
        {"Save Settings", Button("btnSave"), save},
        {"a line edit", window_->findChild<QLineEdit*>(), save},
        {"a check box", window_->findChild<QCheckBox*>(), save},
        {"the status pane", pane, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs_.calls.clear();
        pane->clear();
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
        QApplication::sendEvent(c.focused, &enter);
        // A watch's beep and box come from the watch's thread, one event each.
        test::RunEventsUntil(
            [&] { return c.box.empty() || (!dialogs_.calls.empty() && dialogs_.calls.back() != "beep"); });
        EXPECT_EQ(dialogs_.calls.empty() ? "" : dialogs_.calls.back(), c.box);
    }
    EXPECT_TRUE(test::RunEventsUntil([&] { return StatusPanel() == "Watching process stopped..."; })) << StatusPanel();
    EXPECT_EQ(pane->toPlainText(), "\n") << "Enter in the pane is a line break";
}

TEST_F(MainWindowTest, TextsFromOutsideAreNeverReadAsMarkup) {
    const std::string reply = "SMTP: 550 <b>mailbox</b> <p>unavailable";
    auto* box = MakeMessageBox(window_, QMessageBox::Critical, reply).release();
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    window_->SetStatusText(reply);
    window_->SetWatchCountText(reply);
    const QLabel* labels[] = {window_->findChild<QLabel*>("statusPanel"),
                              window_->findChild<QLabel*>("watchCountPanel"),
                              box->findChild<QLabel*>("qt_msgbox_label")};
    for (const QLabel* label : labels) {
        SCOPED_TRACE(label->objectName().toStdString());
        // Shown as markup, the tags would take no room.
        EXPECT_GE(label->sizeHint().width(), label->fontMetrics().horizontalAdvance(QString::fromStdString(reply)));
    }
    box->close();
}

TEST_F(MainWindowTest, TicksFallingDueWhileATicksBoxIsOpenOpenNoMoreBoxes) {
    window_->SetText(Field::txtURL2watch, "https://127.0.0.1/");
    auto* timer = window_->findChild<QtIntervalTimer*>();
    ASSERT_NE(timer, nullptr);
    const std::string refusal = "message:Sorry, we do not support HTTPS protocol at this time.";
    auto boxes = [&] { return std::count(dialogs_.calls.begin(), dialogs_.calls.end(), refusal); };
    // The first box stays open for a while, as a user away from the desk
    // would leave it, while some 25 ticks fall due.
    bool open = false;
    int openedInside = 0;
    dialogs_.onMessage = [&] {
        if (open) {
            ++openedInside;
            return;
        }
        open = true;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 500) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        open = false;
    };
    timer->SetInterval(20);
    timer->SetEnabled(true);
    // Closed, the ticks run as usual again and open the next box.
    QElapsedTimer clock;
    clock.start();
    while (boxes() < 2 && clock.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    timer->SetEnabled(false);
    EXPECT_EQ(openedInside, 0);
    EXPECT_GE(boxes(), 2);
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
    EXPECT_TRUE(window_->LogViewer().isVisible());
    EXPECT_EQ(window_->LogViewer().Pane()->toPlainText(), "");

    window_->Monitor().Log().AppendLogLine("one");
    MenuAction("&Log", "&View Log")->trigger();  // visible: not reloaded
    EXPECT_EQ(window_->LogViewer().Pane()->toPlainText(), "");
    window_->LogViewer().hide();
    MenuAction("&Log", "&View Log")->trigger();
    EXPECT_EQ(window_->LogViewer().Pane()->toPlainText(), "one\n \n--- End of File --");

    window_->LogViewer().hide();
    MenuAction("&Log", "&Clear Log")->trigger();
    EXPECT_EQ(window_->LogViewer().Pane()->toPlainText(), "");
    EXPECT_EQ(std::filesystem::file_size(temp_.Path() / "Corvasse.log"), 0u);
}

TEST_F(MainWindowTest, LogViewerReadsEachLineAsUtf8OrElseLatin1) {
    // A status line a server sent in Latin-1 leaves the report's UTF-8 intact.
    window_->Monitor().Log().AppendLogLine(
        "Looked for but did not find:Gr\xC3\xB6\xC3\x9F"
        "e\nHTTP/1.1 200 Tr\xE8s bien");
    MenuAction("&Log", "&View Log")->trigger();
    EXPECT_EQ(window_->LogViewer().Pane()->toPlainText().toStdString(),
              "Looked for but did not find:Gr\xC3\xB6\xC3\x9F"
              "e\nHTTP/1.1 200 Tr\xC3\xA8s bien\n \n--- End of File --");
}

TEST_F(MainWindowTest, HistoryOpensBesideTheWindowForTheWatchOfTheForm) {
    window_->SetText(Field::txtURL2watch, "http://shop.example/");
    MenuAction("&View", "&History...")->trigger();
    HistoryWindow* history = window_->HistoryWindow();
    ASSERT_NE(history, nullptr);
    EXPECT_TRUE(history->isVisible());
    EXPECT_EQ(history->windowTitle(), "Corvasse History");
    EXPECT_EQ(history->windowModality(), Qt::NonModal);
    EXPECT_EQ(history->findChild<QLabel*>("notice")->text().toStdString(),
              "no history database at \"" + (temp_.Path() / "history.sqlite3").string() + "\"");
    EXPECT_TRUE(dialogs_.calls.empty());

    // Once there is one, the next "History..." reads it.
    HistoryStore store(temp_.Path() / "history.sqlite3");
    store.RecordResult(store.FindOrAddWatch(window_->Monitor().Settings().FilePath(), "http://shop.example/"),
                       test::Up(ResultTimeNow() - std::chrono::minutes(1)));
    MenuAction("&View", "&History...")->trigger();
    EXPECT_EQ(window_->HistoryWindow(), history);
    EXPECT_EQ(history->findChild<QLabel*>("notice")->text(), "");
    EXPECT_EQ(history->findChild<QLabel*>("uptime24h")->text(), "24 hours: 100.00 %");
}

TEST_F(MainWindowTest, ClosingTheWindowEndsTheEventLoop) {
    window_->LogViewer().ShowLog();
    QTimer::singleShot(0, window_, [this] { MenuAction("&File", "E&xit")->trigger(); });
    QTimer failSafe;
    failSafe.setSingleShot(true);
    QObject::connect(&failSafe, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    failSafe.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(window_->isVisible());
}

}  // namespace
}  // namespace corvasse
