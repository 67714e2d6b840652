#pragma once
// The lines of the main window's status pane, as the user reads them.

#include <string>
#include <vector>

#include <QPlainTextEdit>
#include <QString>

#include "ui/main_window.h"

namespace corvasse::test {

inline std::vector<std::string> PaneLines(MainWindow& window) {
    std::vector<std::string> lines;
    const QString text = window.findChild<QPlainTextEdit*>("richStatus")->toPlainText();
    if (text.isEmpty()) return lines;
    for (const QString& line : text.split('\n')) lines.push_back(line.toStdString());
    return lines;
}

}  // namespace corvasse::test
