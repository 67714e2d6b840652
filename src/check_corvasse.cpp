// check_corvasse: one watch of Corvasse's settings as a monitoring plugin.
// Built from the core without any Qt library, since a monitoring engine
// starts it for every check and its start-up is its cost.

#include <chrono>
#include <clocale>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>

#include "cli/check_options.h"
#include "cli/command_line.h"
#include "cli/shutdown_watchdog.h"
#include "cli/signal_deadline.h"
#include "cli/watch_check.h"
#include "common/process_abort.h"

namespace {

using namespace corvasse;

int Report(const CheckResult& result) {
    std::fputs(result.Output().c_str(), stdout);
    return static_cast<int>(result.status);
}

int UsageFailure(const std::string& message) {
    std::fprintf(stderr, "check_corvasse: %s\n", message.c_str());
    return Report({CheckStatus::Unknown, message, "", {}});
}

// Runs the check; past the time-out its result is the time-out's.
CheckResult RunBounded(WatchCheck& check, std::chrono::seconds timeout, std::chrono::steady_clock::time_point started) {
    SignalDeadline deadline(started + timeout, kShutdownGrace, TimedOutResult(check.Target(), timeout).Line() + "\n",
                            static_cast<int>(CheckStatus::Critical));
    CheckResult result;
    try {
        result = check.Run();
    } catch (const AbortedError&) {
        result = TimedOutResult(check.Target(), timeout);
    }
    deadline.Disarm();
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const auto started = std::chrono::steady_clock::now();
    std::setlocale(LC_ALL, "");
    CheckOptions options;
    MonitorFiles files;
    try {
        options = ParseCheckOptions(argc, argv);
        if (options.request == CheckOptions::Request::Help) {
            std::fputs(CheckHelpText().c_str(), stdout);
            return 0;
        }
        if (options.request == CheckOptions::Request::Version) {
            std::printf("%s\n", CheckVersionLine().c_str());
            return 0;
        }
        files = CheckFiles(options);
    } catch (const UsageError& error) {
        return UsageFailure(error.what());
    }

    try {
        // The result is recorded when asked for; outage mode needs the alerts.
        const WatchRecording recording = options.alert == AlertMode::Deliver ? WatchRecording::ResultsAndOutages
                                         : options.history                   ? WatchRecording::ResultsOnly
                                                                             : WatchRecording::None;
        WatchCheck check(files, options, recording);
        if (std::optional<CheckResult> unusable = check.Prepare()) return Report(*unusable);
        return Report(RunBounded(check, options.timeout, started));
    } catch (const std::exception& error) {
        return Report({CheckStatus::Unknown, error.what(), "", {}});
    }
}
