#include "app/watch_list/shared_pane_view.h"

namespace corvasse {

SharedPaneView::SharedPaneView(MonitorView& pane, std::string name, PaneRole role, std::function<int()> othersRunning)
    : pane_(pane), name_(std::move(name)), role_(role), othersRunning_(std::move(othersRunning)) {}

std::string SharedPaneView::Named(const std::string& text) const {
    return othersRunning_() > 0 ? "[" + name_ + "] " + text : text;
}

void SharedPaneView::SetStatusText(const std::string& text) {
    statusText_ = text;
    if (Shown()) pane_.SetStatusText(text);
}

std::string SharedPaneView::StatusText() const { return Shown() ? pane_.StatusText() : statusText_; }

void SharedPaneView::SetWatchCountText(const std::string& text) {
    if (Shown()) pane_.SetWatchCountText(text);
}

void SharedPaneView::RepaintStatusBar() {
    if (Shown()) pane_.RepaintStatusBar();
}

void SharedPaneView::AddStatusLine(const std::string& line) { pane_.AddStatusLine(Named(line)); }

void SharedPaneView::ClearStatusLines() {
    if (othersRunning_() == 0) pane_.ClearStatusLines();
}

void SharedPaneView::RepaintStatusPane() { pane_.RepaintStatusPane(); }

void SharedPaneView::Notify(const std::string& notice) { pane_.Notify(Named(notice)); }

void SharedPaneView::SetOutageState(const std::string& state) {
    if (Shown()) pane_.SetOutageState(state);
}

void SharedPaneView::SetProgressMax(int max) {
    progressMax_ = max;
    if (Shown()) pane_.SetProgressMax(max);
}

int SharedPaneView::ProgressMax() const { return Shown() ? pane_.ProgressMax() : progressMax_; }

void SharedPaneView::SetProgressPosition(int position) {
    if (Shown()) pane_.SetProgressPosition(position);
}

void SharedPaneView::SelectStatusPage() {
    if (Shown()) pane_.SelectStatusPage();
}

}  // namespace corvasse
