#pragma once
// What the core shows in the main window: the status pane, the two-panel
// status bar, the progress bar and the page selection.

#include <string>

namespace corvasse {

class MonitorView {
public:
    virtual ~MonitorView() = default;

    // First status-bar panel: the latest status text.
    virtual void SetStatusText(const std::string& text) = 0;
    virtual std::string StatusText() const = 0;
    // Second status-bar panel: the watch count.
    virtual void SetWatchCountText(const std::string& text) = 0;
    // Paints the status bar at once, while the thread stays busy.
    virtual void RepaintStatusBar() = 0;

    // The status pane grows by whole lines and is cleared when watching starts.
    virtual void AddStatusLine(const std::string& line) = 0;
    virtual void ClearStatusLines() = 0;
    // Paints the status pane at once, while the thread stays busy.
    virtual void RepaintStatusPane() = 0;
    // A log entry that could not be written; the watch and its alert go on.
    // The window shows it as a pane line; a front end without a pane says it
    // where its user looks for failures.
    virtual void ShowLogFailure(const std::string& message) { AddStatusLine(message); }

    virtual void SetProgressMax(int max) = 0;
    virtual int ProgressMax() const = 0;
    virtual void SetProgressPosition(int position) = 0;

    // Brings the "Status" page to the front.
    virtual void SelectStatusPage() = 0;
};

}  // namespace corvasse
