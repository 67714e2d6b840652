#pragma once
// The real main window over a test's own files, shown on the offscreen
// platform and filled in as a user would, and what it shows the user: the
// lines of its status pane and the watch count that tells a watch has ended.

#include <algorithm>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/fakes.h"
#include "app/monitor/monitor.h"
#include "ui/main_window.h"
#include "ui/qt_test_app.h"

namespace corvasse::test {

using Lines = std::vector<std::string>;

class WatchingWindow {
public:
    explicit WatchingWindow(const MonitorFiles& files) : window(files, &dialogs) {
        window.show();
        QApplication::processEvents();
    }

    // A web watch of url that looks for lookFor, every 15 minutes.
    void FillWebWatch(const std::string& url, const std::string& lookFor = "all is well") {
        window.SetText(Field::txtURL2watch, url);
        window.SetText(Field::txtFileSize, "");
        window.SetText(Field::txtLookFor, lookFor);
        window.SetText(Field::txtWatchFreq, "15");
    }

    // Alerts from me@example.org to sendTo through the mail server at host
    // and port, where they are given (else the form's own).
    void FillMail(const std::optional<std::string>& host, std::optional<int> port = std::nullopt,
                  const std::string& sendTo = "alerts@example.org") {
        if (host) window.SetText(Field::txtSMTPhost, *host);
        if (port) window.SetText(Field::txtPort, std::to_string(*port));
        window.SetText(Field::txtSendto, sendTo);
        window.SetText(Field::txtYourEmail, "me@example.org");
    }

    // "Save Settings"; a failure when it opened a box.
    ::testing::AssertionResult Save() {
        Click("btnSave");
        if (dialogs.calls.empty()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << dialogs.calls.front();
    }

    // "Start Watching", then the events until count watches have ended.
    bool Start(int count = 1) {
        Click("btnOkay");
        return WaitForWatch(count);
    }

    void Click(const char* button) { window.findChild<QPushButton*>(button)->click(); }

    // The entry of the menu bar's menu; null when there is none.
    QAction* MenuAction(const QString& menu, const QString& entry) {
        for (QAction* top : window.menuBar()->actions()) {
            if (top->text() != menu) continue;
            for (QAction* action : top->menu()->actions()) {
                if (action->text() == entry) return action;
            }
        }
        return nullptr;
    }

    std::string Panel(const char* name) const { return window.findChild<QLabel*>(name)->text().toStdString(); }

    Lines PaneLines() const {
        Lines lines;
        const QString text = window.findChild<QPlainTextEdit*>("richStatus")->toPlainText();
        if (text.isEmpty()) return lines;
        for (const QString& line : text.split('\n')) lines.push_back(line.toStdString());
        return lines;
    }

    // The pane lines that match pattern.
    long CountLines(const std::string& pattern) const {
        const Lines lines = PaneLines();
        const std::regex regex(pattern);
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& line) { return std::regex_match(line, regex); });
    }

    // Runs the event loop until the status bar counts watch number count and
    // the status pane shows "Watching...", the last text a watch sets (it ran
    // on its own thread, and everything it reported is shown); false when
    // that takes more than half a minute.
    bool WaitForWatch(int count) {
        const std::string counted = "Watch count:" + std::to_string(count);
        return RunEventsUntil(
            [&] { return Panel("watchCountPanel") == counted && window.StatusText() == "Watching..."; });
    }

    QApplication& app = TestApp();  // before any widget
    FakeDialogs dialogs;
    MainWindow window;
};

}  // namespace corvasse::test
