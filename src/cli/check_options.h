#pragma once
// The command line of check_corvasse.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace corvasse {

// Whether a failed check also does what a failed watch of the window does.
enum class AlertMode {
    Silent,   // no mail, no log entry
    Deliver,  // the alert e-mail and the log entries, as a tick of the window
};

struct CheckOptions {
    enum class Request { Check, Help, Version };

    Request request = Request::Check;
    std::optional<std::filesystem::path> settings;
    std::optional<std::filesystem::path> log;
    // The history database to record the result in.
    std::optional<std::filesystem::path> history;
    // Bounds the whole check; none: only the watch's own time-outs.
    std::optional<std::chrono::seconds> timeout;
    AlertMode alert = AlertMode::Silent;
};

// The longest --timeout: the watchdog waits for it in one poll(), which
// counts milliseconds in an int (about 24.8 days).
inline constexpr std::chrono::seconds kMaxCheckTimeout{2147483};

// Reads --settings FILE, --log FILE, --history FILE, --timeout SECONDS (a
// whole number from 1 to kMaxCheckTimeout), --alert, --help and --version; a
// value may also follow "=". Throws UsageError for anything else, and for an
// empty history file name.
CheckOptions ParseCheckOptions(int argc, const char* const* argv);

// What --help prints.
std::string CheckHelpText();

// What --version prints: "check_corvasse 2.00 (Corvasse)".
std::string CheckVersionLine();

}  // namespace corvasse
