#pragma once
// Shows the errors a ping meets while it waits: a line in the status pane and
// the same line in the activity log.

#include <string>

namespace corvasse {

class ActivityLog;
class MonitorView;
class Pinger;

class PingErrorReport {
public:
    // The view and the log must outlive this object.
    PingErrorReport(MonitorView& view, ActivityLog& log);

    // Sets the pinger's OnError to Error. The pinger must not raise it after
    // this object is gone.
    void Bind(Pinger& pinger);

    // "Ping error: " and the description, added to the pane (not repainted)
    // and appended to the log; the status panel is left alone. Throws IoError
    // when the log cannot be written.
    void Error(int errorCode, const std::string& description);

private:
    MonitorView& view_;
    ActivityLog& log_;
};

}  // namespace corvasse
