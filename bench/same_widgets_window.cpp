// The second program window_start_bench compares the program's start with:
// plain Qt showing the widgets that Corvasse's window shows when it opens
// (its menus, four page tabs with a text pane on the first, the buttons and
// the progress bar, a status bar of two panels), with nothing of Corvasse
// behind them. What Qt itself needs to put those on the screen.

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Corvasse");

    const char* const menus[][4] = {{"&File", "&Abort Connection", "&Minimize", "E&xit"},
                                    {"&Log", "&View Log", "&Clear Log", nullptr},
                                    {"&View", "&Watches...", "&History...", nullptr},
                                    {"&Help", "&About...", "Visit &Corvasse web site...", nullptr}};
    for (const auto& entries : menus) {
        QMenu* menu = window.menuBar()->addMenu(entries[0]);
        for (int i = 1; i < 4 && entries[i] != nullptr; ++i) menu->addAction(entries[i]);
    }

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* pages = new QTabWidget;
    auto* status = new QPlainTextEdit;
    status->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    status->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pages->addTab(status, "Status");
    for (const char* title : {"URL Details", "SMTP Details", "Alerts"}) pages->addTab(new QWidget, title);
    layout->addWidget(pages, 1);
    auto* buttons = new QWidget;
    auto* row = new QHBoxLayout(buttons);
    auto* start = new QVBoxLayout;
    start->addWidget(new QProgressBar);
    start->addWidget(new QPushButton("Start &Watching"));
    row->addWidget(new QPushButton("&Save Settings"));
    row->addStretch(1);
    row->addLayout(start);
    row->addWidget(new QPushButton("Stop Watching"), 0, Qt::AlignBottom);
    layout->addWidget(buttons);
    window.setCentralWidget(central);
    window.statusBar()->addWidget(new QLabel, 0);
    window.statusBar()->addWidget(new QLabel, 1);

    window.resize(617, 480);
    window.show();
    return QApplication::exec();
}
