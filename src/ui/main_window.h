#pragma once
// The main window: the "Status", "URL Details", "SMTP Details" and "Alerts"
// pages, the button panel with the progress bar, the two-panel status bar and
// the menus.
// It shows what the monitor reports and forwards every button, menu command
// and timer tick to it, each inside the handler guard.

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <QMainWindow>

#include "app/monitor/monitor.h"
#include "app/monitor/watch_set.h"
#include "app/settings/form_fields.h"
#include "app/settings/watch_folder.h"
#include "app/view/activity_log.h"
#include "app/view/handler_guard.h"
#include "app/view/monitor_view.h"
#include "app/watch_list/watch_row.h"
#include "common/fiber_pool.h"

class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QSpinBox;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QWidget;

namespace corvasse {

class AboutBox;
class HistoryWindow;
class LogViewer;
class QtIntervalTimer;
class QtWindowThread;
class TrayIcon;
class SharedPaneView;
class WatchListWindow;

class MainWindow : public QMainWindow, public FormFields, public MonitorView {
    Q_OBJECT
public:
    // The settings and the log live in files. Message boxes go through
    // dialogs, or through Qt's message boxes when it is null.
    explicit MainWindow(const MonitorFiles& files, Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    // FormFields
    std::string Text(Field field) const override;
    void SetText(Field field, const std::string& text) override;
    bool Checked(Field field) const override;
    void SetChecked(Field field, bool checked) override;

    // MonitorView
    void SetStatusText(const std::string& text) override;
    std::string StatusText() const override;
    void SetWatchCountText(const std::string& text) override;
    void RepaintStatusBar() override;
    void AddStatusLine(const std::string& line) override;
    void ClearStatusLines() override;
    void RepaintStatusPane() override;
    void SetProgressMax(int max) override;
    int ProgressMax() const override { return progressMax_; }
    void SetProgressPosition(int position) override;
    void SelectStatusPage() override;
    // Outage mode: a notification of the tray icon, and its tip
    // ("Corvasse: down since 14:02", or the application's name).
    void Notify(const std::string& notice) override;
    void SetOutageState(const std::string& state) override;

    // The types these accessors share their names with are spelled
    // corvasse::Monitor and so on inside the class.
    corvasse::Monitor& Monitor() { return *monitor_; }
    corvasse::LogViewer& LogViewer() { return *logViewer_; }
    // Made when "History..." is first chosen; null before.
    corvasse::HistoryWindow* HistoryWindow() { return historyWindow_; }
    // Made when first asked for.
    corvasse::AboutBox& AboutBox();
    // "Corvasse Watches", made when first asked for.
    corvasse::WatchListWindow& WatchList();
    // Made once the window is up, or when asked for before.
    TrayIcon& Tray();
    // Shows the window again (from the tray, or minimised) and brings it to
    // the front.
    void ShowWindowAgain();
    // The watch the window shows and edits.
    const WatchFile& ShownWatch() const { return shownWatch_; }

    // What showing another watch asks when the user changed the shown one's
    // fields since they were loaded or saved; a box unless replaced.
    enum class UnsavedChoice { Save, Discard, Cancel };
    std::function<UnsavedChoice(QWidget* parent, const QString& text)> AskSaveChanges;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreatePages();
    QWidget* CreateStatusPage();
    QWidget* CreateUrlPage();
    QWidget* CreateSmtpPage();
    QWidget* CreateAlertsPage();
    QWidget* CreateButtonPanel();
    void CreateMenus();
    void CreateStatusBar();
    void CreateTrayIcon();
    void AddLineEdit(Field field, QLineEdit* edit);
    void AddButton(Field field, QAbstractButton* button);
    // Connects a signal to a handler that runs inside the guard.
    template <typename Sender, typename Signal>
    void ConnectGuarded(Sender* sender, Signal signal, void (MainWindow::*handler)());

    // Handlers, named after their component and event.
    void FormShow();
    // After the first show: what the window does not need to draw.
    void FinishStart();
    void btnSaveClick();
    void btnOkayClick();
    void btnCancelClick();
    void Timer1Timer();
    void mnuAbortConnection1Click();
    void mnuMinimizeClick();
    void mnuViewLog1Click();
    void mnuClearLog1Click();
    void mnuHistoryClick();
    void mnuAboutClick();
    void btnTestMailClick();
    void mnuWatchesClick();

    // False when the user keeps the shown watch, with changes not saved,
    // rather than show next; saves them first when asked to.
    bool MayLeaveShownWatch(const std::string& next);

    // The watch list's actions, by watch name.
    void NewWatch(const std::string& name);
    void EditWatch(const std::string& name);
    void RemoveWatchNamed(const std::string& name);
    void ShowWatchHistory(const std::string& name);
    void SetStartAll(bool on);
    void StartWatch(const std::string& name);
    void StopWatch(const std::string& name);
    void StartAllWatches();
    // "Start Watching" of the shown watch.
    void StartShownWatch();
    void StopAllWatches();

    // The shown watch runs in the window's own monitor, exactly as a lone
    // watch does; every other watch of the folder runs in the watch set.
    // Makes the monitor the watch's, over the window's form and pane.
    void MakeMonitor();
    // Loads the watch's file into the window, which then edits it; a watch
    // running moves between the monitor and the set.
    void ShowWatch(const WatchFile& watch);
    std::optional<WatchFile> FindWatch(const std::string& name) const;
    // The set holds every watch of the folder but the shown one.
    void SyncWatchSet();
    // After a watch started or stopped: who runs, the tray and the rows.
    void WatchesChanged();
    WatchParts MakeWatchParts(const WatchFile& watch, std::function<void()> tick);
    // How many watches other than the named one run now.
    int OthersRunning(const std::string& name) const;
    WatchStatus ShownStatus() const;
    std::vector<WatchStatus> Statuses() const;
    // A watch came to a result.
    void WatchEnded(const WatchStatus& status);
    void ShowTrayState();
    // The list's rows afresh; the uptimes follow, read away from the
    // window's thread.
    void RefreshWatchList();
    void ShowWatchRows();
    // Reads the uptimes beside the window, unless a read is under way.
    void ReadUptimes();
    void UptimesRead(const std::vector<WatchFile>& watches, const std::vector<std::string>& uptimes);

    std::unique_ptr<Dialogs> ownDialogs_;
    Dialogs& dialogs_;
    HandlerGuard guard_;
    QtIntervalTimer* Timer1;
    // Before the monitor, so that the calls its worker posted go with it.
    std::unique_ptr<QtWindowThread> windowThread_;
    // Where the watches run; it outlives the monitor, whose worker waits for
    // its running watch.
    corvasse::FiberPool pool_{kWatchThreads};

    QTabWidget* pages_ = nullptr;
    QPlainTextEdit* richStatus = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnOkay = nullptr;
    QPushButton* btnCancel = nullptr;
    QProgressBar* httpProgressBar = nullptr;
    QLabel* statusPanel_ = nullptr;
    QLabel* watchCountPanel_ = nullptr;
    std::map<Field, QLineEdit*> lineEdits_;
    std::map<Field, QAbstractButton*> buttons_;
    std::map<Field, QComboBox*> choices_;
    std::map<Field, QSpinBox*> spinBoxes_;
    // A field shown as text, and the row that shows only while it holds one.
    struct TextLabel {
        QLabel* text;
        QWidget* row;
    };
    std::map<Field, TextLabel> labels_;
    int progressMax_ = 100;
    int progressPosition_ = 0;
    bool shown_ = false;
    bool closed_ = false;

    // The user changed a field since the shown watch was loaded or saved.
    bool unsaved_ = false;
    // The settings file is the shown watch's.
    MonitorFiles files_;
    std::filesystem::path settingsFolder_;
    WatchFile shownWatch_;
    std::unique_ptr<SharedPaneView> shownPane_;
    std::unique_ptr<corvasse::Monitor> monitor_;
    // The shown watch's results, as the set keeps its own watches'.
    WatchStatus shownStatus_;
    std::unique_ptr<WatchSet> watchSet_;
    std::set<std::string> running_;
    // The tray's tip for the shown watch alone: its outage state.
    std::string outageState_;
    bool trayStateDue_ = false;
    // The log of every watch, as the log viewer shows it.
    ActivityLog log_;
    corvasse::LogViewer* logViewer_ = nullptr;
    corvasse::HistoryWindow* historyWindow_ = nullptr;
    std::unique_ptr<corvasse::AboutBox> aboutBox_;
    std::unique_ptr<TrayIcon> trayIcon_;
    corvasse::WatchListWindow* watchList_ = nullptr;
    // Each watch's uptime over a day, by name, as last read.
    std::map<std::string, std::string> dayUptimes_;
    std::thread uptimeReader_;
    bool uptimesReading_ = false;
    ResultTime uptimesReadAt_;
};

}  // namespace corvasse
