#include "ui/log_viewer.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShowEvent>

#include "app/activity_log.h"
#include "app/handler_guard.h"

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
    RichEdit1->setPlainText(QString::fromLocal8Bit(ActivityLog::ViewerText(content)).replace("\r\n", "\n"));
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
