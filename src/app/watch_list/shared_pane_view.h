#pragma once
// One watch's view among the watches that share one window: every watch
// writes its lines to the window's status pane, each line starting with the
// watch's name in brackets ("[shop] HTTP Connected...") while another watch
// runs too; the status bar, the progress bar and the tray's outage state
// follow only the watch the window shows. With one watch running the pane
// reads as that watch alone would write it.

#include <functional>
#include <string>

#include "app/view/monitor_view.h"

namespace corvasse {

// Whether the window shows the watch.
enum class PaneRole { Shown, Beside };

class SharedPaneView : public MonitorView {
public:
    // pane must outlive this object; othersRunning tells how many watches
    // other than this one run now.
    SharedPaneView(MonitorView& pane, std::string name, PaneRole role, std::function<int()> othersRunning);

    void SetStatusText(const std::string& text) override;
    std::string StatusText() const override;
    void SetWatchCountText(const std::string& text) override;
    void RepaintStatusBar() override;
    void AddStatusLine(const std::string& line) override;
    // Starting to watch clears the pane, but never another watch's lines.
    void ClearStatusLines() override;
    void RepaintStatusPane() override;
    void Notify(const std::string& notice) override;
    void SetOutageState(const std::string& state) override;
    void SetProgressMax(int max) override;
    int ProgressMax() const override;
    void SetProgressPosition(int position) override;
    void SelectStatusPage() override;

private:
    bool Shown() const { return role_ == PaneRole::Shown; }
    std::string Named(const std::string& text) const;

    MonitorView& pane_;
    std::string name_;
    PaneRole role_;
    std::function<int()> othersRunning_;
    // What a watch beside the shown one would have on its status bar.
    std::string statusText_;
    int progressMax_ = 0;
};

}  // namespace corvasse
