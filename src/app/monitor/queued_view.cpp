#include "app/monitor/queued_view.h"

namespace corvasse {

QueuedView::QueuedView(MonitorView& target, WindowThread& windowThread)
    : target_(target),
      windowThread_(windowThread),
      statusText_(target.StatusText()),
      progressMax_(target.ProgressMax()) {}

void QueuedView::SetStatusText(const std::string& text) {
    statusText_ = text;
    Forward(&MonitorView::SetStatusText, text);
}

void QueuedView::SetWatchCountText(const std::string& text) { Forward(&MonitorView::SetWatchCountText, text); }

void QueuedView::RepaintStatusBar() { Forward(&MonitorView::RepaintStatusBar); }

void QueuedView::AddStatusLine(const std::string& line) { Forward(&MonitorView::AddStatusLine, line); }

void QueuedView::ClearStatusLines() { Forward(&MonitorView::ClearStatusLines); }

void QueuedView::RepaintStatusPane() { Forward(&MonitorView::RepaintStatusPane); }

void QueuedView::SetProgressMax(int max) {
    progressMax_ = max;
    Forward(&MonitorView::SetProgressMax, max);
}

void QueuedView::SetProgressPosition(int position) { Forward(&MonitorView::SetProgressPosition, position); }

void QueuedView::SelectStatusPage() { Forward(&MonitorView::SelectStatusPage); }

void QueuedView::Notify(const std::string& notice) { Forward(&MonitorView::Notify, notice); }

void QueuedView::SetOutageState(const std::string& state) { Forward(&MonitorView::SetOutageState, state); }

}  // namespace corvasse
