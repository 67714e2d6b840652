#pragma once
// The command line of check_corvasse.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "app/monitor/monitor.h"
#include "cli/thresholds.h"

namespace corvasse {

// Whether a failed check also does what a failed watch of the window does.
enum class AlertMode {
    Silent,   // no mail, no log entry
    Deliver,  // the alert e-mail and the log entries, as a tick of the window
};

// The time-out of a check without --timeout: well within a monitoring
// engine's own time-out for a check (60 s in Nagios), as check_http's.
inline constexpr std::chrono::seconds kDefaultCheckTimeout{10};

struct CheckOptions {
    enum class Request { Check, Help, Version };

    Request request = Request::Check;
    std::optional<std::filesystem::path> settings;
    std::optional<std::filesystem::path> log;
    // The history database to record the result in.
    std::optional<std::filesystem::path> history;
    // Bounds the whole check.
    std::chrono::seconds timeout = kDefaultCheckTimeout;
    AlertMode alert = AlertMode::Silent;

    // The watch given on the command line, in place of the settings file's
    // values of the same meaning: the address (-u) and its check (-s or
    // --max-size), or the host to ping (--ping).
    std::optional<std::string> url;
    std::optional<std::string> lookFor;
    std::optional<int32_t> maxSize;
    std::optional<std::string> pingHost;
    // -w and -c.
    TimeThresholds time;
    // --certificate-days WARN[,CRIT].
    std::optional<CertificateDays> certificateDays;
};

// The longest --timeout: the watchdog waits for it in one poll(), which
// counts milliseconds in an int (about 24.8 days).
inline constexpr std::chrono::seconds kMaxCheckTimeout{2147483};

// The longest --certificate-days.
inline constexpr std::chrono::days kMaxCertificateDays{36500};

// Reads --settings FILE, --log FILE, --history FILE, -t/--timeout SECONDS (a whole number
// from 1 to kMaxCheckTimeout), --alert, -u/--url URL, -s/--string TEXT,
// --max-size BYTES, --ping HOST, -w/--warning and -c/--critical SECONDS (a
// decimal with up to six places), --certificate-days WARN[,CRIT],
// -h/--help and -V/--version. A long option's value may also follow "=", a
// short option's may follow it at once ("-t10"). Throws UsageError for
// anything else, for options that cannot go together, and for an empty
// history file name.
CheckOptions ParseCheckOptions(int argc, const char* const* argv);

// Whether the check reads a settings file: the one --settings names, or
// else the user's own when --alert needs its mail settings or when the
// options give no watch (neither -u nor --ping).
bool ReadsSettingsFile(const CheckOptions& options);

// The files the options name, else the user's own. Without HOME (and the
// XDG variable that would name the folder instead) the user has none: a
// check that needs the settings file, or with --alert the history, throws
// UsageError "no settings file: HOME is not set; name one with --settings"
// (or "no history file: ... --history"); so do FilesFromCommandLine's
// errors.
MonitorFiles CheckFiles(const CheckOptions& options);

// What --help prints.
std::string CheckHelpText();

// What --version prints: "check_corvasse 2.00 (Corvasse)".
std::string CheckVersionLine();

}  // namespace corvasse
