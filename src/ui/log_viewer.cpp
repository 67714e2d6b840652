#include "ui/log_viewer.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShowEvent>
#include <QStringList>

#include "app/view/activity_log.h"
#include "app/view/handler_guard.h"
#include "ui/qt_text.h"

namespace corvasse {

namespace {

constexpr int kTopMarginPx = 8;
constexpr int kClientWidthPx = 473;
constexpr int kClientHeightPx = 318;

}  // namespace

LogViewer::LogViewer(ActivityLog& log, const HandlerGuard& guard, QWidget* parent)
    : QWidget(parent, Qt::Window), log_(log), guard_(guard), RichEdit1(new QPlainTextEdit(this)) {
    setWindowTitle("Corvasse - Log");
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->move(0, kTopMarginPx);
    resize(kClientWidthPx, kClientHeightPx);
}

void LogViewer::ShowLog() {
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    if (!centred_) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect area = screen->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
        centred_ = true;
    }
    show();
}

void LogViewer::ClearLog() {
    RichEdit1->clear();
    log_.Clear();
}

void LogViewer::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) guard_.Run([this] { FormShow(); });
}

void LogViewer::FormShow() {
    const std::string content = log_.ReadAll();  // on failure the pane keeps what it had
    const std::string text = ActivityLog::ViewerText(content);
    // Line by line: a record written in another encoding (Latin-1 bytes from
    // a server, say) must not turn the rest of the log into the wrong letters.
    QStringList lines;
    for (size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
        end = text.find('\n', start);
        std::string_view line = std::string_view(text).substr(start, end - start);  // to the end at npos
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines << FromBytes(line);
    }
    RichEdit1->setPlainText(lines.join('\n'));
}

void LogViewer::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void LogViewer::FormResize() {
    // The pane follows the outer size of the window, frame and caption included.
    const QRect outer = frameGeometry();
    RichEdit1->resize(std::max(0, outer.width() - 10), std::max(0, outer.height() - 40));
}

}  // namespace corvasse
