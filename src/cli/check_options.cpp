#include "cli/check_options.h"

#include <climits>
#include <string_view>

#include "app/version.h"
#include "cli/command_line.h"
#include "common/byte_string.h"

namespace corvasse {

namespace {

static_assert(std::chrono::milliseconds(kMaxCheckTimeout).count() <= INT_MAX &&
                  std::chrono::milliseconds(kMaxCheckTimeout + std::chrono::seconds(1)).count() > INT_MAX,
              "the longest time-out is the last whole second a poll() holds");

std::chrono::seconds ParseTimeout(const std::string& text) {
    if (!IsDecimalDigits(text)) throw UsageError("'" + text + "' is not a whole number of seconds of at least 1");
    const std::optional<int64_t> seconds = TryStrToInt64(text);
    if (!seconds || *seconds > kMaxCheckTimeout.count()) {
        throw UsageError("'" + text + "' is too large: the longest time-out is " +
                         std::to_string(kMaxCheckTimeout.count()) + " seconds");
    }
    if (*seconds < 1) throw UsageError("'" + text + "' is not a whole number of seconds of at least 1");
    return std::chrono::seconds(*seconds);
}

}  // namespace

CheckOptions ParseCheckOptions(int argc, const char* const* argv) {
    CheckOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        std::optional<std::string> attached;
        if (const size_t eq = argument.find('='); argument.starts_with("--") && eq != std::string_view::npos) {
            attached = std::string(argument.substr(eq + 1));
            argument = argument.substr(0, eq);
        }
        // The option's value: after "=", or the next argument.
        auto value = [&]() -> std::string {
            if (attached) return *attached;
            if (i + 1 == argc) throw UsageError("option '" + std::string(argument) + "' needs a value");
            return argv[++i];
        };
        auto noValue = [&] {
            if (attached) throw UsageError("option '" + std::string(argument) + "' takes no value");
        };
        if (argument == "--settings") {
            options.settings = value();
        } else if (argument == "--log") {
            options.log = value();
        } else if (argument == "--history") {
            options.history = value();
            if (options.history->empty()) throw UsageError("the history file name is empty");
        } else if (argument == "--timeout") {
            options.timeout = ParseTimeout(value());
        } else if (argument == "--alert") {
            noValue();
            options.alert = AlertMode::Deliver;
        } else if (argument == "--help" || argument == "-h") {
            noValue();
            options.request = CheckOptions::Request::Help;
        } else if (argument == "--version") {
            noValue();
            options.request = CheckOptions::Request::Version;
        } else if (argument.starts_with("-")) {
            throw UsageError("unknown option '" + std::string(argument) + "'");
        } else {
            throw UsageError("unexpected argument '" + std::string(argument) + "'");
        }
    }
    return options;
}

std::string CheckHelpText() {
    return "Usage: check_corvasse [options]\n"
           "Runs the watch of Corvasse's settings once, as a monitoring plugin: prints one\n"
           "status line and exits 0 (OK), 2 (CRITICAL: the watch failed) or 3 (UNKNOWN: the\n"
           "settings cannot be watched, or a bad option).\n"
           "\n"
           "Options:\n"
           "  --settings FILE    use FILE instead of the user's Corvasse.conf\n"
           "  --log FILE         with --alert, write the activity log to FILE instead of\n"
           "                     Corvasse.log in the working directory\n"
           "  --history FILE     record the result in the history database FILE (with\n"
           "                     --alert: instead of the default one)\n"
           "  --timeout SECONDS  give up after SECONDS (CRITICAL), at most 2147483; without it\n"
           "                     the watch's own time-outs apply (connect 120 s, read 120 s)\n"
           "  --alert            on failure also send the alert e-mail and write the log,\n"
           "                     as a watch of the window does, and record the result in\n"
           "                     the history (with outageAlerts=y: one alert per outage)\n"
           "  -h, --help         show this help\n"
           "  --version          show the version\n";
}

std::string CheckVersionLine() { return std::string("check_corvasse ") + kVersion + " (Corvasse)"; }

}  // namespace corvasse
