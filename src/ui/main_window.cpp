#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/monitor/monitor.h"
#include "app/monitor/watch_cycle.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_form.h"
#include "app/settings/settings_store.h"
#include "app/settings/watch_spec.h"
#include "app/view/activity_log.h"
#include "app/watch/watch_schedule.h"
#include "app/watch_list/day_uptimes.h"
#include "app/watch_list/forwarded_dialogs.h"
#include "app/watch_list/shared_pane_view.h"
#include "app/watch_list/tray_tip.h"
#include "app/watch_list/watch_row.h"
#include "app/watch_list/window_title.h"
#include "common/byte_string.h"
#include "ui/about_box.h"
#include "ui/app_icon.h"
#include "ui/history_window.h"
#include "ui/history_window_module.h"
#include "ui/log_viewer.h"
#include "ui/qt_dialogs.h"
#include "ui/qt_interval_timer.h"
#include "ui/qt_text.h"
#include "ui/qt_window_thread.h"
#include "ui/tray_icon.h"
#include "ui/watch_list_window.h"
#include "ui/web_links.h"

namespace corvasse {

namespace {

constexpr int kClientWidthPx = 617;
constexpr int kClientHeightPx = 461;
constexpr int kButtonPanelHeightPx = 67;
constexpr int kStatusPanelWidthPx = 300;
constexpr int kWatchCountPanelWidthPx = 50;
// How old the list's uptimes may grow while watches end before they are read again.
constexpr std::chrono::minutes kUptimesReadAgain{1};
// How long the tray waits for more watches to end before it shows their state.
constexpr int kTrayStateDelayMs = 200;

}  // namespace

MainWindow::MainWindow(const MonitorFiles& files, Dialogs* dialogs, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      ownDialogs_(dialogs ? nullptr : std::make_unique<QtDialogs>(this)),
      dialogs_(dialogs ? *dialogs : *ownDialogs_),
      guard_(dialogs_),
      Timer1(new QtIntervalTimer(this)),
      windowThread_(std::make_unique<QtWindowThread>()),
      files_(files),
      settingsFolder_(files.settings.parent_path()),
      shownWatch_{files.settings.stem().string(), files.settings},
      log_(files.log) {
    AskSaveChanges = [](QWidget* parent, const QString& text) {
        switch (QMessageBox::question(parent, QApplication::applicationName(), text,
                                      QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                      QMessageBox::Save)) {
            case QMessageBox::Save: return UnsavedChoice::Save;
            case QMessageBox::Discard: return UnsavedChoice::Discard;
            default: return UnsavedChoice::Cancel;
        }
    };
    setWindowTitle(FromBytes(MainWindowTitle(shownWatch_.name)));
    // Only closing this window ends the program (see closeEvent): closing the
    // About box while this window is hidden to the tray must not.
    QApplication::setQuitOnLastWindowClosed(false);
    CreatePages();
    CreateMenus();
    CreateStatusBar();
    // The client size is the area below the menu bar.
    resize(kClientWidthPx, kClientHeightPx + menuBar()->sizeHint().height());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }

    MakeMonitor();
    watchSet_ = std::make_unique<WatchSet>(
        *windowThread_, pool_, files_,
        [this](const WatchFile& watch, std::function<void()> tick) { return MakeWatchParts(watch, std::move(tick)); },
        [this](const WatchStatus& status) { WatchEnded(status); });
    SyncWatchSet();
    // The tick guards itself: its error box counts as a box the tick opened.
    Timer1->OnTimer = [this] { Timer1Timer(); };
    logViewer_ = new corvasse::LogViewer(log_, guard_, this);
    // The About box, the icons and the tray wait until the window is up (FinishStart).
}

MainWindow::~MainWindow() {
    if (uptimeReader_.joinable()) uptimeReader_.join();
    // The watches beside the shown one write to this window until they end.
    watchSet_.reset();
}

template <typename Sender, typename Signal>
void MainWindow::ConnectGuarded(Sender* sender, Signal signal, void (MainWindow::*handler)()) {
    connect(sender, signal, this, [this, handler] { guard_.Run([this, handler] { (this->*handler)(); }); });
}

void MainWindow::CreatePages() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    pages_ = new QTabWidget(central);
    pages_->addTab(CreateStatusPage(), "Status");
    pages_->addTab(CreateUrlPage(), "URL Details");
    pages_->addTab(CreateSmtpPage(), "SMTP Details");
    pages_->addTab(CreateAlertsPage(), "Alerts");
    layout->addWidget(pages_, 1);
    layout->addWidget(CreateButtonPanel());
    setCentralWidget(central);
}

QWidget* MainWindow::CreateStatusPage() {
    richStatus = new QPlainTextEdit;
    richStatus->setObjectName("richStatus");
    richStatus->setLineWrapMode(QPlainTextEdit::NoWrap);
    richStatus->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    richStatus->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    richStatus->setTabChangesFocus(false);
    return richStatus;
}

// Only what the user does marks the fields changed: typing (not setText),
// a click, a choice from the list.
void MainWindow::AddLineEdit(Field field, QLineEdit* edit) {
    lineEdits_[field] = edit;
    connect(edit, &QLineEdit::textEdited, this, [this] { unsaved_ = true; });
}

void MainWindow::AddButton(Field field, QAbstractButton* button) {
    buttons_[field] = button;
    connect(button, &QAbstractButton::clicked, this, [this] { unsaved_ = true; });
}

QWidget* MainWindow::CreateUrlPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    auto* content = new QGroupBox("  Watch for Content  ");
    auto* contentForm = new QFormLayout(content);
    auto* txtURL2watch = new QLineEdit(FromBytes(setting::url2watch.initial));
    auto* txtFileSize = new QLineEdit;
    auto* txtLookFor = new QLineEdit;
    contentForm->addRow("URL to watch:", txtURL2watch);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(txtFileSize);
    sizeRow->addWidget(new QLabel("bytes."));
    contentForm->addRow("Expected File Size:", sizeRow);
    contentForm->addRow("OR look for text:", txtLookFor);
    auto* ckAllowHttps = new QCheckBox("Allow https:// addresses (TLS)");
    auto* ckCertWarn = new QCheckBox("Warn");
    auto* txtCertWarnDays = new QSpinBox;
    txtCertWarnDays->setRange(kCertWarnDaysMin, kCertWarnDaysMax);
    txtCertWarnDays->setValue(FromBytes(setting::certWarnDays.initial).toInt());
    // The days count only with the box ticked.
    txtCertWarnDays->setEnabled(false);
    connect(ckCertWarn, &QCheckBox::toggled, txtCertWarnDays, &QWidget::setEnabled);
    auto* httpsRow = new QHBoxLayout;
    httpsRow->addWidget(ckAllowHttps);
    httpsRow->addStretch(1);
    httpsRow->addWidget(ckCertWarn);
    httpsRow->addWidget(txtCertWarnDays);
    httpsRow->addWidget(new QLabel("days before the certificate expires"));
    contentForm->addRow(httpsRow);
    auto* cboAddressFamily = new QComboBox;
    for (const char* choice : kAddressFamilyChoices) cboAddressFamily->addItem(choice);
    contentForm->addRow("Address family:", cboAddressFamily);
    layout->addWidget(content);

    auto* ping = new QGroupBox("  Ping Only  ");
    auto* pingForm = new QFormLayout(ping);
    auto* ckPingOnly = new QCheckBox("Just ping, don't watch for specific content.");
    auto* editIPaddr = new QLineEdit;
    pingForm->addRow(ckPingOnly);
    pingForm->addRow("Domain or IP Address to Ping:", editIPaddr);
    layout->addWidget(ping);

    auto* frequency = new QHBoxLayout;
    auto* txtWatchFreq = new QLineEdit(FromBytes(setting::txtWatchFreq.initial));
    txtWatchFreq->setMaximumWidth(80);
    frequency->addWidget(new QLabel("Watch interval:"));
    frequency->addWidget(txtWatchFreq);
    frequency->addWidget(new QLabel("minutes."));
    // Shown only while the settings file sets the interval in seconds; text,
    // not a box, since only the file sets it.
    auto* seconds = new QWidget;
    auto* secondsRow = new QHBoxLayout(seconds);
    secondsRow->setContentsMargins(0, 0, 0, 0);
    auto* lblIntervalSeconds = new QLabel;
    lblIntervalSeconds->setObjectName("lblIntervalSeconds");
    lblIntervalSeconds->setTextFormat(Qt::PlainText);
    secondsRow->addWidget(new QLabel("Set by hand instead: every"));
    secondsRow->addWidget(lblIntervalSeconds);
    secondsRow->addWidget(new QLabel("seconds."));
    seconds->setVisible(false);
    frequency->addWidget(seconds);
    frequency->addStretch(1);
    layout->addLayout(frequency);
    layout->addStretch(1);

    AddLineEdit(Field::txtURL2watch, txtURL2watch);
    AddLineEdit(Field::txtFileSize, txtFileSize);
    AddLineEdit(Field::txtLookFor, txtLookFor);
    AddLineEdit(Field::editIPaddr, editIPaddr);
    AddLineEdit(Field::txtWatchFreq, txtWatchFreq);
    labels_[Field::lblIntervalSeconds] = {lblIntervalSeconds, seconds};
    AddButton(Field::ckPingOnly, ckPingOnly);
    AddButton(Field::ckAllowHttps, ckAllowHttps);
    AddButton(Field::ckCertWarn, ckCertWarn);
    spinBoxes_[Field::txtCertWarnDays] = txtCertWarnDays;
    choices_[Field::cboAddressFamily] = cboAddressFamily;
    // Only loading the form sets the days otherwise, and it counts as unchanged after.
    connect(txtCertWarnDays, &QSpinBox::valueChanged, this, [this] { unsaved_ = true; });
    connect(cboAddressFamily, &QComboBox::activated, this, [this] { unsaved_ = true; });
    return page;
}

QWidget* MainWindow::CreateSmtpPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* form = new QFormLayout;
    auto* txtSMTPhost = new QLineEdit;
    auto* txtSendto = new QLineEdit(FromBytes(setting::txtSendTo.initial));
    auto* txtSendto2 = new QLineEdit;
    auto* txtYourEmail = new QLineEdit(FromBytes(setting::txtYourEmail.initial));
    auto* sendto2Label = new QLabel("Send-to E-mail addr. #2:");
    txtSendto2->setEnabled(false);
    sendto2Label->setEnabled(false);
    form->addRow("SMTP Host:", txtSMTPhost);
    // Its own group, so that these choices never clear atLogin/atNone.
    auto* security = new QHBoxLayout;
    auto* securityGroup = new QButtonGroup(page);
    auto* radSecurityNone = new QRadioButton("None");
    auto* radSecurityStartTls = new QRadioButton("STARTTLS");
    auto* radSecurityTls = new QRadioButton("SSL/TLS");
    radSecurityNone->setChecked(true);
    for (QRadioButton* button : {radSecurityNone, radSecurityStartTls, radSecurityTls}) {
        securityGroup->addButton(button);
        security->addWidget(button);
    }
    // The port shares the row, so that the page still fits the window's size.
    auto* txtPort = new QLineEdit;
    txtPort->setMaximumWidth(80);
    security->addStretch(1);
    security->addWidget(new QLabel("Port:"));
    security->addWidget(txtPort);
    form->addRow("Security:", security);
    form->addRow("Send-to E-mail addr:", txtSendto);
    form->addRow(sendto2Label, txtSendto2);
    form->addRow("Your E-mail addr:", txtYourEmail);
    layout->addLayout(form);

    auto* auth = new QGroupBox("SMTP Authentication");
    auto* authForm = new QFormLayout(auth);
    auto* ckPOPbefore = new QCheckBox("POP before SMTP");
    auto* txtUserid = new QLineEdit;
    auto* txtPass = new QLineEdit;  // shown in clear, as the user asked for
    auto* rad_atLogin = new QRadioButton("atLogin");
    auto* rad_atNone = new QRadioButton("atNone");
    auto* authType = new QHBoxLayout;
    authType->addWidget(rad_atLogin);
    authType->addWidget(rad_atNone);
    authType->addStretch(1);
    authForm->addRow(ckPOPbefore);
    authForm->addRow("Userid:", txtUserid);
    authForm->addRow("Password:", txtPass);
    authForm->addRow("Auth. Type:", authType);
    layout->addWidget(auth);
    layout->addStretch(1);

    AddLineEdit(Field::txtSMTPhost, txtSMTPhost);
    AddLineEdit(Field::txtSendto, txtSendto);
    AddLineEdit(Field::txtSendto2, txtSendto2);
    AddLineEdit(Field::txtYourEmail, txtYourEmail);
    AddLineEdit(Field::txtUserid, txtUserid);
    AddLineEdit(Field::txtPass, txtPass);
    AddButton(Field::ckPOPbefore, ckPOPbefore);
    AddButton(Field::rad_atLogin, rad_atLogin);
    AddButton(Field::rad_atNone, rad_atNone);
    AddLineEdit(Field::txtPort, txtPort);
    AddButton(Field::radSecurityNone, radSecurityNone);
    AddButton(Field::radSecurityStartTls, radSecurityStartTls);
    AddButton(Field::radSecurityTls, radSecurityTls);
    return page;
}

QWidget* MainWindow::CreateAlertsPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* ckOutageAlerts = new QCheckBox("Alert once per outage");
    layout->addWidget(ckOutageAlerts);

    // The numbers count only with the switch on.
    auto* outage = new QWidget;
    auto* rows = new QVBoxLayout(outage);
    auto numberRow = [rows](QWidget* before, const QString& after, const std::string_view initial) {
        auto* edit = new QLineEdit(FromBytes(initial));
        edit->setMaximumWidth(60);
        auto* row = new QHBoxLayout;
        row->addWidget(before);
        row->addWidget(edit);
        row->addWidget(new QLabel(after));
        row->addStretch(1);
        rows->addLayout(row);
        return edit;
    };
    auto* txtAlertAfter = numberRow(new QLabel("Alert after"), "failed watches in a row", setting::alertAfter.initial);
    auto* txtRemindMinutes =
        numberRow(new QLabel("Remind every"), "minutes (0: never)", setting::remindMinutes.initial);
    auto* ckRecoveryMail = new QCheckBox("Mail when it is back up, after");
    ckRecoveryMail->setChecked(true);
    auto* txtRecoverAfter = numberRow(ckRecoveryMail, "good watches", setting::recoverAfter.initial);
    outage->setEnabled(false);
    connect(ckOutageAlerts, &QCheckBox::toggled, outage, &QWidget::setEnabled);
    layout->addWidget(outage);
    auto* ckOfflineAware = new QCheckBox("Do not blame the site while this computer is offline or just woke up");
    layout->addWidget(ckOfflineAware);

    // The channels beside the mail: off while empty.
    auto* channels = new QFormLayout;
    auto* txtNtfyUrl = new QLineEdit;
    txtNtfyUrl->setPlaceholderText("https://ntfy.sh/your-topic");
    auto* txtWebhookUrl = new QLineEdit;
    txtWebhookUrl->setPlaceholderText("https://chat.example/hooks/...");
    channels->addRow("Push to ntfy:", txtNtfyUrl);
    channels->addRow("Webhook:", txtWebhookUrl);
    layout->addLayout(channels);

    auto* btnTestMail = new QPushButton("Send Test");
    btnTestMail->setObjectName("btnTestMail");
    btnTestMail->setToolTip("Send a short test message as \"SMTP Details\" and \"Alerts\" stand now");
    btnTestMail->setAutoDefault(true);
    ConnectGuarded(btnTestMail, &QPushButton::clicked, &MainWindow::btnTestMailClick);
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(btnTestMail);
    testRow->addStretch(1);
    layout->addLayout(testRow);
    layout->addStretch(1);

    AddButton(Field::ckOutageAlerts, ckOutageAlerts);
    AddLineEdit(Field::txtAlertAfter, txtAlertAfter);
    AddLineEdit(Field::txtRemindMinutes, txtRemindMinutes);
    AddButton(Field::ckRecoveryMail, ckRecoveryMail);
    AddButton(Field::ckOfflineAware, ckOfflineAware);
    AddLineEdit(Field::txtRecoverAfter, txtRecoverAfter);
    AddLineEdit(Field::txtNtfyUrl, txtNtfyUrl);
    AddLineEdit(Field::txtWebhookUrl, txtWebhookUrl);
    return page;
}

QWidget* MainWindow::CreateButtonPanel() {
    auto* panel = new QWidget;
    panel->setFixedHeight(kButtonPanelHeightPx);
    auto* layout = new QHBoxLayout(panel);

    btnSave = new QPushButton("&Save Settings");
    btnSave->setObjectName("btnSave");
    btnSave->setToolTip("Save settings now");
    btnSave->setDefault(true);
    btnOkay = new QPushButton("Start &Watching");
    btnOkay->setObjectName("btnOkay");
    btnCancel = new QPushButton("Stop Watching");
    btnCancel->setObjectName("btnCancel");
    // A focused button takes Enter itself; keyPressEvent gives it to the
    // default button otherwise.
    btnOkay->setAutoDefault(true);
    btnCancel->setAutoDefault(true);
    httpProgressBar = new QProgressBar;
    httpProgressBar->setObjectName("httpProgressBar");
    httpProgressBar->setToolTip("Loading webpage");
    httpProgressBar->setRange(0, progressMax_);
    httpProgressBar->setTextVisible(false);

    auto* start = new QVBoxLayout;
    start->addWidget(httpProgressBar);
    start->addWidget(btnOkay);
    layout->addWidget(btnSave);
    layout->addStretch(1);
    layout->addLayout(start);
    layout->addWidget(btnCancel, 0, Qt::AlignBottom);

    ConnectGuarded(btnSave, &QPushButton::clicked, &MainWindow::btnSaveClick);
    ConnectGuarded(btnOkay, &QPushButton::clicked, &MainWindow::btnOkayClick);
    ConnectGuarded(btnCancel, &QPushButton::clicked, &MainWindow::btnCancelClick);
    // Esc presses the cancel button wherever the focus is.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, btnCancel, &QPushButton::click);
    return panel;
}

void MainWindow::CreateMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    ConnectGuarded(file->addAction("&Abort Connection"), &QAction::triggered, &MainWindow::mnuAbortConnection1Click);
    file->addSeparator();
    ConnectGuarded(file->addAction("&Minimize"), &QAction::triggered, &MainWindow::mnuMinimizeClick);
    file->addSeparator();
    connect(file->addAction("E&xit"), &QAction::triggered, this, &QWidget::close);

    QMenu* log = menuBar()->addMenu("&Log");
    ConnectGuarded(log->addAction("&View Log"), &QAction::triggered, &MainWindow::mnuViewLog1Click);
    log->addSeparator();
    ConnectGuarded(log->addAction("&Clear Log"), &QAction::triggered, &MainWindow::mnuClearLog1Click);

    QMenu* view = menuBar()->addMenu("&View");
    QAction* watches = view->addAction("&Watches...");
    watches->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    ConnectGuarded(watches, &QAction::triggered, &MainWindow::mnuWatchesClick);
    QAction* history = view->addAction("&History...");
    history->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    ConnectGuarded(history, &QAction::triggered, &MainWindow::mnuHistoryClick);

    QMenu* help = menuBar()->addMenu("&Help");
    ConnectGuarded(help->addAction("&About..."), &QAction::triggered, &MainWindow::mnuAboutClick);
    connect(help->addAction("Visit &Corvasse web site..."), &QAction::triggered, this, [] { OpenProductWebPage(); });
}

void MainWindow::CreateTrayIcon() {
    auto* pmnLeft = new QMenu(this);
    connect(pmnLeft->addAction("&Show window"), &QAction::triggered, this,
            [this] { trayIcon_->SetWindowVisible(true); });
    auto* pmnRight = new QMenu(this);
    connect(pmnRight->addAction("&Show Corvasse"), &QAction::triggered, this,
            [this] { trayIcon_->SetWindowVisible(true); });
    ConnectGuarded(pmnRight->addAction("&Watches..."), &QAction::triggered, &MainWindow::mnuWatchesClick);
    ConnectGuarded(pmnRight->addAction("Start &All"), &QAction::triggered, &MainWindow::StartAllWatches);
    ConnectGuarded(pmnRight->addAction("St&op All"), &QAction::triggered, &MainWindow::StopAllWatches);
    pmnRight->addSeparator();
    connect(pmnRight->addAction("E&xit"), &QAction::triggered, this, &QWidget::close);

    trayIcon_ = std::make_unique<TrayIcon>(this);
    trayIcon_->InstallMinimizeLogic();
    // The tip and the icon: the application's, or what the watches said before there was an icon.
    ShowTrayState();
    trayIcon_->LeftPopupMenu = pmnLeft;
    trayIcon_->RightPopupMenu = pmnRight;
    trayIcon_->SetWindowVisible(true);
    trayIcon_->SetActive(true);
    trayIcon_->SetShowOnLeftClick(true);
}

TrayIcon& MainWindow::Tray() {
    if (!trayIcon_) CreateTrayIcon();
    return *trayIcon_;
}

corvasse::AboutBox& MainWindow::AboutBox() {
    if (!aboutBox_) aboutBox_ = std::make_unique<corvasse::AboutBox>();
    return *aboutBox_;
}

void MainWindow::CreateStatusBar() {
    // Status texts may come from servers: never read as markup.
    statusPanel_ = new QLabel;
    statusPanel_->setObjectName("statusPanel");
    statusPanel_->setTextFormat(Qt::PlainText);
    statusPanel_->setFixedWidth(kStatusPanelWidthPx);
    watchCountPanel_ = new QLabel;
    watchCountPanel_->setObjectName("watchCountPanel");
    watchCountPanel_->setTextFormat(Qt::PlainText);
    watchCountPanel_->setMinimumWidth(kWatchCountPanelWidthPx);
    QStatusBar* bar = statusBar();
    bar->setObjectName("StatusBar1");
    bar->setSizeGripEnabled(false);
    bar->addWidget(statusPanel_);
    bar->addWidget(watchCountPanel_, 1);  // the last panel takes the rest of the bar
}

// --- FormFields ---

std::string MainWindow::Text(Field field) const {
    if (auto spin = spinBoxes_.find(field); spin != spinBoxes_.end()) return std::to_string(spin->second->value());
    if (auto choice = choices_.find(field); choice != choices_.end()) return ToBytes(choice->second->currentText());
    if (auto label = labels_.find(field); label != labels_.end()) return ToBytes(label->second.text->text());
    auto it = lineEdits_.find(field);
    return it == lineEdits_.end() ? std::string() : ToBytes(it->second->text());
}

void MainWindow::SetText(Field field, const std::string& text) {
    if (auto choice = choices_.find(field); choice != choices_.end()) {
        choice->second->setCurrentText(FromBytes(text));
    }
    if (auto it = lineEdits_.find(field); it != lineEdits_.end()) it->second->setText(FromBytes(text));
    if (auto spin = spinBoxes_.find(field); spin != spinBoxes_.end()) spin->second->setValue(FromBytes(text).toInt());
    if (auto label = labels_.find(field); label != labels_.end()) {
        label->second.text->setText(FromBytes(text));
        label->second.row->setVisible(!text.empty());
    }
}

bool MainWindow::Checked(Field field) const {
    auto it = buttons_.find(field);
    return it != buttons_.end() && it->second->isChecked();
}

void MainWindow::SetChecked(Field field, bool checked) {
    if (auto it = buttons_.find(field); it != buttons_.end()) it->second->setChecked(checked);
}

// --- MonitorView ---

void MainWindow::SetStatusText(const std::string& text) { statusPanel_->setText(FromBytes(text)); }

std::string MainWindow::StatusText() const { return ToBytes(statusPanel_->text()); }

void MainWindow::SetWatchCountText(const std::string& text) { watchCountPanel_->setText(FromBytes(text)); }

void MainWindow::RepaintStatusBar() { statusBar()->repaint(); }

void MainWindow::AddStatusLine(const std::string& line) { richStatus->appendPlainText(FromBytes(line)); }

void MainWindow::ClearStatusLines() { richStatus->clear(); }

void MainWindow::RepaintStatusPane() { richStatus->viewport()->repaint(); }

void MainWindow::SetProgressMax(int max) {
    progressMax_ = max;
    // A range of 0..0 would make Qt animate a busy bar; an empty bar is meant.
    httpProgressBar->setRange(0, std::max(max, 1));
    SetProgressPosition(progressPosition_);
}

void MainWindow::SetProgressPosition(int position) {
    progressPosition_ = position;
    // A position outside the range shows as the nearest end.
    httpProgressBar->setValue(std::clamp(position, 0, progressMax_));
}

void MainWindow::SelectStatusPage() { pages_->setCurrentIndex(0); }

void MainWindow::Notify(const std::string& notice) {
    if (trayIcon_) trayIcon_->ShowMessage(FromBytes(notice));
}

void MainWindow::SetOutageState(const std::string& state) {
    outageState_ = state;
    ShowTrayState();
}

// --- Window events ---

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Restoring from the tray or from a minimised state is not a new show.
    if (shown_) return;
    shown_ = true;
    guard_.Run([this] { FormShow(); });
    // The window is mapped once this event returns; what it does not draw comes after.
    QTimer::singleShot(0, this, [this] { guard_.Run([this] { FinishStart(); }); });
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // Enter that no focused widget took (a line edit, a check box) presses the
    // default button; a focused button and the multi-line pane keep theirs.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        btnSave->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    closed_ = true;
    trayIcon_.reset();  // removes the icon from the tray
    // Closing the main window by any means ends the program, other windows included.
    QCoreApplication::quit();
}

// --- Handlers ---

void MainWindow::FormShow() {
    monitor_->Form().Load();
    unsaved_ = false;
}

void MainWindow::FinishStart() {
    // Closed before it was up: no icon comes back to the tray.
    if (closed_) return;
    setWindowIcon(AppIcon());
    Tray();
    if (StartsAllWatches(settingsFolder_)) StartAllWatches();
}

void MainWindow::btnSaveClick() {
    monitor_->Form().Save();
    unsaved_ = false;
    // The other watches share what went to Corvasse.conf: they read it again before their next watch.
    SyncWatchSet();
}

void MainWindow::btnOkayClick() {
    StartShownWatch();
    WatchesChanged();
}

void MainWindow::StartShownWatch() {
    try {
        monitor_->Cycle().StartWatching();
    } catch (const ConversionError& error) {
        // The box names the field, which the text alone does not.
        dialogs_.ShowError(ErrorBoxText(std::string("Watch interval: ") + error.what()));
    }
}

void MainWindow::btnCancelClick() {
    monitor_->Cycle().StopWatching();
    WatchesChanged();
}

void MainWindow::Timer1Timer() { monitor_->Cycle().TimerTick(); }

void MainWindow::mnuAbortConnection1Click() { monitor_->Cycle().AbortConnection(); }

void MainWindow::mnuMinimizeClick() { Tray().SetWindowVisible(false); }

void MainWindow::mnuViewLog1Click() { logViewer_->ShowLog(); }

void MainWindow::mnuClearLog1Click() { logViewer_->ClearLog(); }

void MainWindow::mnuHistoryClick() {
    if (historyWindow_ == nullptr) historyWindow_ = NewHistoryWindow(guard_, this);
    SettingsStore& settings = monitor_->Settings();
    historyWindow_->ShowHistory({files_.history, settings.FilePath(), ReadWatchSpec(*this, settings).target});
}

void MainWindow::mnuAboutClick() { AboutBox().ShowAbout(); }

void MainWindow::btnTestMailClick() { monitor_->SendTestMail(); }

void MainWindow::mnuWatchesClick() {
    RefreshWatchList();
    WatchList().ShowList();
}

// --- The watch list ---

corvasse::WatchListWindow& MainWindow::WatchList() {
    if (watchList_ == nullptr) {
        WatchListWindow::Actions actions;
        actions.newWatch = [this](const std::string& name) { NewWatch(name); };
        actions.edit = [this](const std::string& name) { EditWatch(name); };
        actions.start = [this](const std::string& name) { StartWatch(name); };
        actions.stop = [this](const std::string& name) { StopWatch(name); };
        actions.history = [this](const std::string& name) { ShowWatchHistory(name); };
        actions.remove = [this](const std::string& name) { RemoveWatchNamed(name); };
        actions.startAll = [this] { StartAllWatches(); };
        actions.stopAll = [this] { StopAllWatches(); };
        actions.setStartAll = [this](bool on) { SetStartAll(on); };
        watchList_ = new corvasse::WatchListWindow(guard_, std::move(actions), this);
    }
    return *watchList_;
}

std::optional<WatchFile> MainWindow::FindWatch(const std::string& name) const {
    for (WatchFile& watch : ListWatches(settingsFolder_)) {
        if (watch.name == name) return std::move(watch);
    }
    return std::nullopt;
}

void MainWindow::MakeMonitor() {
    const std::string name = shownWatch_.name;
    shownPane_ =
        std::make_unique<SharedPaneView>(*this, name, PaneRole::Shown, [this, name] { return OthersRunning(name); });
    monitor_ =
        std::make_unique<corvasse::Monitor>(*this, *shownPane_, dialogs_, *Timer1, *windowThread_, pool_, files_);
    monitor_->OnWatchEnded([this](const WatchResult& result) {
        TakeResult(shownStatus_, result);
        WatchEnded(ShownStatus());
    });
}

WatchParts MainWindow::MakeWatchParts(const WatchFile& watch, std::function<void()> tick) {
    WatchParts parts;
    const std::string name = watch.name;
    parts.view =
        std::make_unique<SharedPaneView>(*this, name, PaneRole::Beside, [this, name] { return OthersRunning(name); });
    parts.dialogs = std::make_unique<ForwardedDialogs>(dialogs_, name);
    auto timer = std::make_unique<QtIntervalTimer>();
    timer->OnTimer = std::move(tick);
    parts.timer = std::move(timer);
    return parts;
}

void MainWindow::SyncWatchSet() {
    std::vector<WatchFile> others = ListWatches(settingsFolder_);
    std::erase_if(others, [this](const WatchFile& watch) { return watch.name == shownWatch_.name; });
    watchSet_->Sync(others, NewWatches::Stopped);
}

int MainWindow::OthersRunning(const std::string& name) const {
    return static_cast<int>(running_.size() - running_.count(name));
}

WatchStatus MainWindow::ShownStatus() const {
    WatchStatus status = shownStatus_;
    status.name = shownWatch_.name;
    status.file = shownWatch_.file;
    // As the form stands, without reading the file at every watch's end.
    status.address = Checked(Field::ckPingOnly) ? Trim(Text(Field::editIPaddr)) : Text(Field::txtURL2watch);
    status.watching = Timer1->Enabled();
    if (status.watching) status.next = monitor_->Schedule().NextTickAfter(ResultTimeNow());
    return status;
}

std::vector<WatchStatus> MainWindow::Statuses() const {
    std::vector<WatchStatus> statuses = watchSet_->Statuses();
    const auto place =
        std::lower_bound(statuses.begin(), statuses.end(), shownWatch_.name,
                         [](const WatchStatus& status, const std::string& name) { return status.name < name; });
    statuses.insert(place, ShownStatus());
    return statuses;
}

void MainWindow::WatchesChanged() {
    running_.clear();
    for (const WatchStatus& status : watchSet_->Statuses()) {
        if (status.watching) running_.insert(status.name);
    }
    if (Timer1->Enabled()) running_.insert(shownWatch_.name);
    ShowTrayState();
    if (watchList_ != nullptr && watchList_->isVisible()) ShowWatchRows();
}

void MainWindow::WatchEnded(const WatchStatus& status) {
    // Watches that end together change the tray once.
    if (!trayStateDue_) {
        trayStateDue_ = true;
        QTimer::singleShot(kTrayStateDelayMs, this, [this] {
            trayStateDue_ = false;
            ShowTrayState();
        });
    }
    if (watchList_ == nullptr || !watchList_->isVisible()) return;
    if (ResultTimeNow() - uptimesReadAt_ >= kUptimesReadAgain) ReadUptimes();
    const auto uptime = dayUptimes_.find(status.name);
    watchList_->ShowRow(MakeWatchRow(status, uptime == dayUptimes_.end() ? "" : uptime->second));
}

void MainWindow::ShowTrayState() {
    if (!trayIcon_) return;
    const QString name = QApplication::applicationName();
    // The shown watch alone keeps the tip it always had.
    if (OthersRunning(shownWatch_.name) == 0) {
        trayIcon_->SetHint(outageState_.empty() ? name : name + ": " + FromBytes(outageState_));
        trayIcon_->SetIcon(outageState_.empty() ? AppIcon() : DownIcon());
        return;
    }
    const std::vector<WatchStatus> statuses = Statuses();
    const bool anyDown = std::any_of(statuses.begin(), statuses.end(),
                                     [](const WatchStatus& status) { return status.watching && status.downSince; });
    trayIcon_->SetHint(FromBytes(TrayTipText(ToBytes(name), statuses)));
    trayIcon_->SetIcon(anyDown ? DownIcon() : AppIcon());
}

void MainWindow::RefreshWatchList() {
    SyncWatchSet();
    ShowWatchRows();
    WatchList().SetStartAll(StartsAllWatches(settingsFolder_));
    ReadUptimes();
}

void MainWindow::ReadUptimes() {
    if (uptimesReading_) return;
    uptimesReading_ = true;
    uptimesReadAt_ = ResultTimeNow();
    if (uptimeReader_.joinable()) uptimeReader_.join();
    uptimeReader_ = std::thread([this, watches = ListWatches(settingsFolder_), history = files_.history] {
        std::vector<std::string> uptimes = ReadDayUptimes(watches, history, ResultTimeNow());
        windowThread_->Post([this, watches, uptimes = std::move(uptimes)] { UptimesRead(watches, uptimes); });
    });
}

void MainWindow::ShowWatchRows() {
    std::vector<WatchRow> rows;
    for (const WatchStatus& status : Statuses()) {
        const auto uptime = dayUptimes_.find(status.name);
        rows.push_back(MakeWatchRow(status, uptime == dayUptimes_.end() ? "" : uptime->second));
    }
    WatchList().ShowRows(rows);
}

void MainWindow::UptimesRead(const std::vector<WatchFile>& watches, const std::vector<std::string>& uptimes) {
    uptimesReading_ = false;
    for (std::size_t i = 0; i < watches.size(); ++i) dayUptimes_[watches[i].name] = uptimes[i];
    ShowWatchRows();
}

void MainWindow::NewWatch(const std::string& name) {
    if (const std::optional<std::string> refusal = WatchNameRefusal(settingsFolder_, name)) {
        dialogs_.ShowMessage(*refusal);
        return;
    }
    if (!MayLeaveShownWatch(name)) return;
    ShowWatch(CreateWatch(settingsFolder_, name));
}

void MainWindow::EditWatch(const std::string& name) {
    if (name != shownWatch_.name) {
        const std::optional<WatchFile> watch = FindWatch(name);
        if (!watch) throw std::runtime_error("There is no watch \"" + name + "\" any more");
        if (!MayLeaveShownWatch(name)) return;
        ShowWatch(*watch);
    }
    ShowWindowAgain();
}

bool MainWindow::MayLeaveShownWatch(const std::string& next) {
    if (!unsaved_) return true;
    const std::string question = "The settings of \"" + shownWatch_.name +
                                 "\" were changed and not saved. Save them before showing \"" + next + "\"?";
    switch (AskSaveChanges(this, FromBytes(question))) {
        case UnsavedChoice::Save: btnSaveClick(); return true;
        case UnsavedChoice::Discard: return true;
        case UnsavedChoice::Cancel: break;
    }
    return false;
}

void MainWindow::ShowWindowAgain() {
    Tray().SetWindowVisible(true);
    raise();
    activateWindow();
}

void MainWindow::ShowWatch(const WatchFile& watch) {
    const WatchFile before = shownWatch_;
    const bool beforeRan = Timer1->Enabled();
    const std::optional<WatchStatus> after = watchSet_->Status(watch.name);
    if (beforeRan) Timer1->SetEnabled(false);
    monitor_.reset();
    files_.settings = watch.file;
    shownWatch_ = watch;
    shownStatus_ = after.value_or(WatchStatus{});
    outageState_.clear();
    MakeMonitor();
    // The set lets go of the watch shown now and takes the one shown before.
    SyncWatchSet();
    if (beforeRan) watchSet_->StartWatching(before.name);
    setWindowTitle(FromBytes(MainWindowTitle(watch.name)));
    monitor_->Form().Load();
    unsaved_ = false;
    if (after && after->watching) monitor_->Cycle().StartWatching();
    WatchesChanged();
}

void MainWindow::StartWatch(const std::string& name) {
    if (name == shownWatch_.name) {
        btnOkayClick();
        return;
    }
    watchSet_->StartWatching(name);
    WatchesChanged();
}

void MainWindow::StopWatch(const std::string& name) {
    if (name == shownWatch_.name) {
        btnCancelClick();
        return;
    }
    watchSet_->StopWatching(name);
    WatchesChanged();
}

void MainWindow::StartAllWatches() {
    if (!Timer1->Enabled()) StartShownWatch();
    for (const WatchStatus& status : watchSet_->Statuses()) {
        if (!status.watching) watchSet_->StartWatching(status.name);
    }
    WatchesChanged();
}

void MainWindow::StopAllWatches() {
    if (Timer1->Enabled()) btnCancelClick();
    watchSet_->StopAll();
    WatchesChanged();
}

void MainWindow::RemoveWatchNamed(const std::string& name) {
    const std::optional<WatchFile> watch = FindWatch(name);
    if (!watch) return;
    RemoveWatch(*watch);
    dayUptimes_.erase(name);
    // The window goes on with the watch whose values every other one shares.
    const std::filesystem::path shared = settingsFolder_ / kSettingsFileName;
    if (name == shownWatch_.name) ShowWatch({shared.stem().string(), shared});
    RefreshWatchList();
}

void MainWindow::ShowWatchHistory(const std::string& name) {
    if (name == shownWatch_.name) {
        mnuHistoryClick();
        return;
    }
    const std::optional<WatchStatus> status = watchSet_->Status(name);
    if (!status) return;
    if (historyWindow_ == nullptr) historyWindow_ = NewHistoryWindow(guard_, this);
    historyWindow_->ShowHistory({files_.history, status->file, status->address});
}

void MainWindow::SetStartAll(bool on) { SetStartsAllWatches(settingsFolder_, on); }

}  // namespace corvasse
