#include "app/view/ping_error_report.h"

#include "app/view/activity_log.h"
#include "app/view/monitor_view.h"
#include "ping/pinger.h"

namespace corvasse {

PingErrorReport::PingErrorReport(MonitorView& view, ActivityLog& log) : view_(view), log_(log) {}

void PingErrorReport::Bind(Pinger& pinger) {
    pinger.OnError = [this](int errorCode, const std::string& description) { Error(errorCode, description); };
}

void PingErrorReport::Error(int /*errorCode*/, const std::string& description) {
    const std::string line = "Ping error: " + description;
    view_.AddStatusLine(line);
    log_.AppendLogLine(line);
}

}  // namespace corvasse
