#pragma once
// What the main window shows the user: the lines of its status pane, and
// the watch count that tells a watch has ended.

#include <string>
#include <vector>

#include <QLabel>
#include <QPlainTextEdit>
#include <QString>

#include "ui/main_window.h"
#include "ui/qt_test_app.h"

namespace corvasse::test {

inline std::vector<std::string> PaneLines(MainWindow& window) {
    std::vector<std::string> lines;
    const QString text = window.findChild<QPlainTextEdit*>("richStatus")->toPlainText();
    if (text.isEmpty()) return lines;
    for (const QString& line : text.split('\n')) lines.push_back(line.toStdString());
    return lines;
}

// Runs the event loop until the status bar counts watch number count and
// the status pane shows "Watching...", the last text a watch sets (it ran on
// its own thread, and everything it reported is shown); false when that
// takes more than half a minute.
inline bool WaitForWatch(MainWindow& window, int count) {
    const QString counted = "Watch count:" + QString::number(count);
    return RunEventsUntil([&] {
        return window.findChild<QLabel*>("watchCountPanel")->text() == counted && window.StatusText() == "Watching...";
    });
}

}  // namespace corvasse::test
