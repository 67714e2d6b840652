#pragma once
// Shows an HTTP client's connection, status, transfer and redirect events in
// the main window: the first status-bar panel, the status pane and the
// progress bar.

#include <cstdint>
#include <string>

namespace corvasse {

class HttpClient;
class MonitorView;

class HttpEventReport {
public:
    // The view must outlive this object.
    explicit HttpEventReport(MonitorView& view);

    // Sets the client's OnConnected, OnDisconnected, OnStatus, OnWorkBegin,
    // OnWork, OnWorkEnd and OnRedirect to the handlers below. The client must
    // not raise events after this object is gone.
    void Bind(HttpClient& client);

    // "HTTP Connected..." on the panel and the pane.
    void Connected();
    // "HTTP Disconnected..." on the panel and the pane; progress back to 0.
    void Disconnected();
    // "Status = " and the text on the panel only.
    void Status(const std::string& text);
    // The progress bar's maximum becomes the announced total (0 for none).
    void WorkBegin(int64_t countMax);
    // The progress bar follows the running count; "HTTP Working..." on the panel.
    void Work(int64_t count);
    // "HTTP done..." on the panel and the pane; progress to its maximum.
    void WorkEnd();
    // "HTTP Redirected..." on the panel; the redirect itself is left as it is.
    void Redirect();

private:
    MonitorView& view_;
};

}  // namespace corvasse
