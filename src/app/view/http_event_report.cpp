#include "app/view/http_event_report.h"

#include <algorithm>
#include <climits>

#include "app/view/monitor_view.h"
#include "http/http_client.h"

namespace corvasse {

namespace {

// The progress bar counts in int; a larger transfer pins at its end.
int ProgressValue(int64_t count) { return static_cast<int>(std::clamp<int64_t>(count, INT_MIN, INT_MAX)); }

}  // namespace

HttpEventReport::HttpEventReport(MonitorView& view) : view_(view) {}

void HttpEventReport::Bind(HttpClient& client) {
    client.OnConnected = [this] { Connected(); };
    client.OnDisconnected = [this] { Disconnected(); };
    client.OnStatus = [this](corvasse::Status, const std::string& text) { Status(text); };
    client.OnWorkBegin = [this](WorkMode, int64_t countMax) { WorkBegin(countMax); };
    client.OnWork = [this](WorkMode, int64_t count) { Work(count); };
    client.OnWorkEnd = [this](WorkMode) { WorkEnd(); };
    client.OnRedirect = [this](std::string&, int, bool&) { Redirect(); };
}

void HttpEventReport::Connected() {
    view_.SetStatusText("HTTP Connected...");
    view_.AddStatusLine("HTTP Connected...");
    view_.RepaintStatusPane();
}

void HttpEventReport::Disconnected() {
    view_.SetStatusText("HTTP Disconnected...");
    view_.AddStatusLine("HTTP Disconnected...");
    view_.RepaintStatusPane();
    view_.SetProgressPosition(0);
}

void HttpEventReport::Status(const std::string& text) { view_.SetStatusText("Status = " + text); }

void HttpEventReport::WorkBegin(int64_t countMax) { view_.SetProgressMax(ProgressValue(countMax)); }

void HttpEventReport::Work(int64_t count) {
    view_.SetProgressPosition(ProgressValue(count));
    view_.SetStatusText("HTTP Working...");
}

void HttpEventReport::WorkEnd() {
    view_.SetStatusText("HTTP done...");
    view_.AddStatusLine("HTTP done...");
    view_.SetProgressPosition(view_.ProgressMax());
}

void HttpEventReport::Redirect() { view_.SetStatusText("HTTP Redirected..."); }

}  // namespace corvasse
