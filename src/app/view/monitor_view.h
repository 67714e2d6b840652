#pragma once
// What the core shows in the main window: the status pane, the two-panel
// status bar, the progress bar and the page selection.

#include <ctime>
#include <string>

#include "common/date_time_text.h"

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
    // A log entry or history record that could not be written; the watch
    // and its alert go on. The window shows it as a pane line; a front end
    // without a pane says it where its user looks for failures.
    virtual void ShowLogFailure(const std::string& message) { AddStatusLine(message); }

    // Outage mode. A pane line about the result of the watch that ran at
    // when: the window shows it after that time of day ("14:02:07 Up: 2043
    // bytes in 12 ms"); a front end that stamps every line stamps it with it.
    virtual void AddResultLine(std::time_t when, const std::string& line) {
        AddStatusLine(TimeOfDayText(when) + " " + line);
    }
    // A notice worth seeing while the window is hidden: an outage began
    // ("ADDRESS is down: REASON") or ended ("ADDRESS is back up after 4
    // min"). The window shows it as the tray icon's notification; a front
    // end without a tray writes it as a line.
    virtual void Notify(const std::string& /*notice*/) {}
    // The outage going on in a few words, "down since 14:02", or "" when
    // there is none: the window's tray icon tells it in its tip.
    virtual void SetOutageState(const std::string& /*state*/) {}

    virtual void SetProgressMax(int max) = 0;
    virtual int ProgressMax() const = 0;
    virtual void SetProgressPosition(int position) = 0;

    // Brings the "Status" page to the front.
    virtual void SelectStatusPage() = 0;
};

}  // namespace corvasse
