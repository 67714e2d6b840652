#pragma once
// The short plain-text report of a failed watch: what was watched and what
// went wrong. It is appended to the log and becomes the alert e-mail's body.

#include <ctime>
#include <string>

#include "app/alert/alert_sender.h"

namespace corvasse {

class ActivityLog;
class MonitorView;
struct WatchOutcome;
struct WatchSpec;

class AlertReport {
public:
    AlertReport(ActivityLog& log, MonitorView& view);

    // The latest report; lines end with LF. The delivery extends it in place.
    std::string AlertText;

    // Composes the report of a web watch from its WatchSpec and what it found
    // into AlertText (replacing it), then appends it to the log as one
    // entry: the date line, the address, the check's line (as the saved
    // "checktype" asks: the expected and the actual size, or whether the
    // latest content check found the text, also one of an earlier watch),
    // the HTTP client's status line and the lines of the families the
    // watch failed over (with "ipFamily=each"). The status line and the
    // family lines are a server's text: each goes in as ShortServerText
    // makes it (no control character, at most kReportServerTextMaxBytes).
    // The log is a record of the alert, not a condition for it: when the
    // entry cannot be written, the view is told why and the alert goes on.
    void build_msg(const WatchSpec& watchSpec, const WatchOutcome& outcome);

    // The report of an outage's alert or reminder, logged the same way: a web
    // watch's lines as build_msg writes them, except that the look-for line
    // tells what this watch found, or for a ping watch the date line and
    // "Pinging host: HOST"; then the alert's more lines (each as
    // ShortServerText makes it), then the separator.
    void BuildOutageReport(const WatchSpec& watchSpec, const WatchOutcome& outcome, const OutageAlert& alert);

private:
    // Whose content check the look-for line tells of.
    enum class FoundBy { LatestCheck, ThisWatch };

    // The date line, the address, the check's result and the reply line.
    static std::string WebLines(const WatchSpec& watchSpec, const WatchOutcome& outcome, FoundBy foundBy);
    // Adds the separator and logs the report.
    void Close();

    ActivityLog& log_;
    MonitorView& view_;
};

// The report's time stamp, "mm/dd/yyyy, hh:mm AM/PM" in local time
// ("12/06/2026, 05:05 PM"), on the 12-hour clock.
std::string FormatAlertDate(std::time_t when);

}  // namespace corvasse
