#pragma once
// The status pane, status bar and progress bar without a window. Each line
// the window would add to the pane is written to a stream as it comes, after
// the local time ("2026-12-06 17:05:09 "), so that a journal shows the run,
// and so is each notice the window's tray would show; the status texts and
// the progress are only kept. A log that cannot be
// written is a failure to act on, said where the message boxes' texts go.
// Every control character of what is written becomes a blank
// (BlankedControls), so that no line steers the terminal or the journal.

#include <cstdio>
#include <functional>
#include <string>

#include "app/view/monitor_view.h"

namespace corvasse {

class ConsoleView : public MonitorView {
public:
    // Pane lines go to lines (flushed one by one), log failures to
    // messages; nullptr drops them. A watch among several names itself with
    // prefix ("[shop] "), which follows the time of a line and begins a
    // message.
    ConsoleView(std::FILE* lines, std::FILE* messages, std::string prefix = {});

    void SetStatusText(const std::string& text) override { statusText_ = text; }
    std::string StatusText() const override { return statusText_; }
    void SetWatchCountText(const std::string&) override {}
    void RepaintStatusBar() override {}
    void AddStatusLine(const std::string& line) override;
    // Lines already written stay written.
    void ClearStatusLines() override {}
    void RepaintStatusPane() override {}
    void ShowLogFailure(const std::string& message) override;
    // Stamped with the watch's time instead of the time of writing.
    void AddResultLine(std::time_t when, const std::string& line) override;
    void Notify(const std::string& notice) override { AddStatusLine(notice); }
    // Outage mode: changed(true) while an outage goes on, changed(false)
    // once none does.
    void OnOutageChange(std::function<void(bool)> changed) { outageChanged_ = std::move(changed); }
    void SetOutageState(const std::string& state) override {
        if (outageChanged_) outageChanged_(!state.empty());
    }
    void SetProgressMax(int max) override { progressMax_ = max; }
    int ProgressMax() const override { return progressMax_; }
    void SetProgressPosition(int) override {}
    void SelectStatusPage() override {}

private:
    std::FILE* lines_;
    std::FILE* messages_;
    std::string prefix_;
    std::string statusText_;
    int progressMax_ = 100;
    std::function<void(bool)> outageChanged_;
};

}  // namespace corvasse
