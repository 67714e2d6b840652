#pragma once
// The window's view as a watch on the worker thread writes to it: every call
// is handed to the window's thread and carried out there, in the order the
// watch made them, so the pane and the status bar read as if the watch ran
// on the window's thread. What the watch reads back (the status text, the
// progress maximum) is what it set last.

#include <string>
#include <type_traits>

#include "app/monitor/window_thread.h"
#include "app/view/monitor_view.h"

namespace corvasse {

class QueuedView : public MonitorView {
public:
    // Made on the window's thread, whose view target is; both must outlive
    // this object. Used afterwards by one thread only, the worker.
    QueuedView(MonitorView& target, WindowThread& windowThread);

    void SetStatusText(const std::string& text) override;
    std::string StatusText() const override { return statusText_; }
    void SetWatchCountText(const std::string& text) override;
    void RepaintStatusBar() override;
    void AddStatusLine(const std::string& line) override;
    void ClearStatusLines() override;
    void RepaintStatusPane() override;
    void SetProgressMax(int max) override;
    int ProgressMax() const override { return progressMax_; }
    void SetProgressPosition(int position) override;
    void SelectStatusPage() override;
    void Notify(const std::string& notice) override;
    void SetOutageState(const std::string& state) override;

private:
    // Hands call(args) over to the window's thread, the arguments copied.
    template <typename... Params>
    void Forward(void (MonitorView::*call)(Params...), std::decay_t<Params>... args) {
        windowThread_.Post([&target = target_, call, args...] { (target.*call)(args...); });
    }

    MonitorView& target_;
    WindowThread& windowThread_;
    std::string statusText_;
    int progressMax_;
};

}  // namespace corvasse
