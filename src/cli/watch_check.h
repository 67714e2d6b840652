#pragma once
// One watch of the configured kind, run as a monitoring plugin's check: the
// fetch and content check, or the ping, exactly as a tick of the window runs
// it, and its outcome as one status line with performance data.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/watch/result_keeper.h"
#include "cli/check_options.h"
#include "cli/check_status.h"

namespace corvasse {

struct MonitorFiles;

struct CheckResult {
    CheckStatus status = CheckStatus::Unknown;
    std::string text;
    // Performance data ("time=0.012345s;;;0 size=2048B;;;0"); empty when none.
    std::string perfData;
    // What the check could not do beside its result (a log it could not
    // write), one line each after the status line.
    std::vector<std::string> details;

    // "CORVASSE OK - <text> | <performance data>" on one line: the text with
    // every control character as a blank and "|" as a broken bar, so that
    // the performance data is the plugin's own.
    std::string Line() const;
    // The status line and the details, each ended by a line feed.
    std::string Output() const;
};

// The CRITICAL result of a check that did not end within its time-out.
CheckResult TimedOutResult(const std::string& target, std::chrono::seconds timeout);

class WatchCheck {
public:
    // The options' watch stands in for the settings file's values of the
    // same meaning, and their thresholds judge the outcome. With
    // AlertMode::Silent nothing is mailed and nothing is logged. The result
    // goes to the history as recording says; with outage mode the alerts
    // follow the outage model over the history's stored state. The settings
    // file, when ReadsSettingsFile says one is read, is read once, at
    // Prepare; a missing folder of it is not created.
    WatchCheck(const MonitorFiles& files, const CheckOptions& options, WatchRecording recording);
    ~WatchCheck();
    WatchCheck(const WatchCheck&) = delete;
    WatchCheck& operator=(const WatchCheck&) = delete;

    // Loads the settings as the settings form does when the window is shown
    // and tells whether they can be watched: nothing when they can, else the
    // UNKNOWN result that says why (no address or host, an https:// address
    // without "allowHttps" set to "y", an expected size or - with alerts - an
    // SMTP port that is not a whole number). Throws RegistryError.
    std::optional<CheckResult> Prepare();

    // What Prepare found to watch: the address, or the host to ping.
    const std::string& Target() const;

    // Runs the watch once. OK when it passed, CRITICAL when the fetch, the
    // content check or the ping failed; then the thresholds: a time past -w
    // or -c, a certificate within --certificate-days, the worse state
    // winning. Throws AbortedError when the process abort is raised
    // meanwhile.
    CheckResult Run();

private:
    CheckResult Outcome() const;

    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace corvasse
