#include "app/alert/alert_report.h"

#include <cstdio>

#include "app/settings/setting_keys.h"
#include "app/settings/watch_spec.h"
#include "app/view/activity_log.h"
#include "app/view/monitor_view.h"
#include "common/server_text.h"
#include "core/watch_outcome.h"

namespace corvasse {

AlertReport::AlertReport(ActivityLog& log, MonitorView& view) : log_(log), view_(view) {}

void AlertReport::build_msg(const WatchSpec& watchSpec, const WatchOutcome& outcome) {
    AlertText = WebLines(watchSpec, outcome, FoundBy::LatestCheck);
    Close();
}

void AlertReport::BuildOutageReport(const WatchSpec& watchSpec, const WatchOutcome& outcome, const OutageAlert& alert) {
    if (watchSpec.kind == WatchKind::Ping) {
        AlertText = FormatAlertDate(std::time(nullptr)) + "\nPinging host: " + watchSpec.target + "\n";
    } else {
        AlertText = WebLines(watchSpec, outcome, FoundBy::ThisWatch);
    }
    // The reason in them is a server's text, also as an older history kept it.
    for (const std::string& line : alert.moreLines) AlertText += ShortServerText(line) + "\n";
    Close();
}

std::string AlertReport::WebLines(const WatchSpec& watchSpec, const WatchOutcome& outcome, FoundBy foundBy) {
    std::string text = FormatAlertDate(std::time(nullptr)) + "\n";
    text += "Watching address: " + watchSpec.address + "\n";
    if (watchSpec.checkType == kCheckTypeFileSize) {
        text += "Expected file size:" + watchSpec.expectedSize +
                ", Actual file size:" + std::to_string(outcome.pageLength) + "\n";
    } else if (watchSpec.checkType == kCheckTypeLookFor) {
        // The page's length is 0 unless this watch brought a page, which the
        // content check then read: a verdict beside no page is an earlier
        // watch's.
        const bool found = outcome.textFound && (foundBy == FoundBy::LatestCheck || outcome.pageLength > 0);
        text += (found ? "Looked for and found:" : "Looked for but did not find:") + watchSpec.lookFor + "\n";
    } else {
        text = "WARNING: no value found for \"checktype\".\n";
    }
    text += "HTTP reply #:" + ShortServerText(outcome.statusLine) + ", Last Error Number was " +
            std::to_string(outcome.statusCode) + "\n";
    for (const std::string& failure : outcome.familyFailures) text += ShortServerText(failure) + "\n";
    return text;
}

void AlertReport::Close() {
    AlertText += "----------\n";
    try {
        log_.AppendLogLine(AlertText);
    } catch (const IoError& error) {
        view_.ShowLogFailure(log_.WriteFailureText(error));
    }
}

std::string FormatAlertDate(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    const int hour12 = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    char text[64];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d, %02d:%02d %s", local.tm_mon + 1, local.tm_mday,
                  local.tm_year + 1900, hour12, local.tm_min, local.tm_hour < 12 ? "AM" : "PM");
    return text;
}

}  // namespace corvasse
