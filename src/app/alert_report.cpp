#include "app/alert_report.h"

#include <cstdio>

#include "app/activity_log.h"
#include "app/form_fields.h"
#include "app/monitor_view.h"
#include "app/setting_keys.h"
#include "app/watch_state.h"
#include "app/web_client.h"
#include "common/server_text.h"

namespace corvasse {

AlertReport::AlertReport(FormFields& form, SettingsStore& settings, WebClient& web, const WatchState& state,
                         ActivityLog& log, MonitorView& view)
    : form_(form), settings_(settings), web_(web), state_(state), log_(log), view_(view) {}

void AlertReport::build_msg() {
    AlertText = WebLines(FoundBy::LatestCheck);
    Close();
}

void AlertReport::BuildOutageReport(const OutageAlert& alert) {
    if (alert.kind == WatchKind::Ping) {
        AlertText = FormatAlertDate(std::time(nullptr)) + "\nPinging host: " + alert.target + "\n";
    } else {
        AlertText = WebLines(FoundBy::ThisWatch);
    }
    // The reason in them is a server's text, also as an older history kept it.
    for (const std::string& line : alert.moreLines) AlertText += ShortServerText(line) + "\n";
    Close();
}

std::string AlertReport::WebLines(FoundBy foundBy) const {
    std::string text = FormatAlertDate(std::time(nullptr)) + "\n";
    text += "Watching address: " + form_.Text(Field::txtURL2watch) + "\n";
    if (form_.Checked(Field::ckPingOnly)) {
        text += "Error Pinging address: " + form_.Text(Field::editIPaddr) + "\n\f";
    } else {
        const std::string checkType = ReadSetting(settings_, setting::checktype);
        if (checkType == kCheckTypeFileSize) {
            text += "Expected file size:" + form_.Text(Field::txtFileSize) +
                    ", Actual file size:" + std::to_string(state_.FetchedBodyLength) + "\n";
        } else if (checkType == kCheckTypeLookFor) {
            // The fetch's length is 0 unless this watch brought a page, which
            // the content check then read: a flag beside no page is an
            // earlier watch's.
            const bool found =
                state_.FoundFlag == "y" && (foundBy == FoundBy::LatestCheck || state_.FetchedBodyLength > 0);
            text += (found ? "Looked for and found:" : "Looked for but did not find:") + form_.Text(Field::txtLookFor) +
                    "\n";
        } else {
            text = "WARNING: no value found for \"checktype\".\n";
        }
    }
    text += "HTTP reply #:" + ShortServerText(web_.ResponseText()) + ", Last Error Number was " +
            std::to_string(web_.ResponseCode()) + "\n";
    for (const std::string& failure : state_.FamilyFailures) text += ShortServerText(failure) + "\n";
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
