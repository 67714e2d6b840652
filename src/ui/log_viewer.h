#pragma once
// "Corvasse - Log": shows the log file as it was when the window became
// visible, ended by an end-of-file marker. Closing it only hides it.

#include <QWidget>

class QPlainTextEdit;

namespace corvasse {

class ActivityLog;
class HandlerGuard;

class LogViewer : public QWidget {
    Q_OBJECT
public:
    LogViewer(ActivityLog& log, const HandlerGuard& guard, QWidget* parent = nullptr);

    // Shows the viewer, or only brings it to the front when it is visible.
    void ShowLog();

    // Empties the pane and the file ("&Clear Log"). Throws IoError.
    void ClearLog();

    QPlainTextEdit* Pane() const { return RichEdit1; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormShow();
    void FormResize();

    ActivityLog& log_;
    const HandlerGuard& guard_;
    QPlainTextEdit* RichEdit1;
    bool centred_ = false;
};

}  // namespace corvasse
