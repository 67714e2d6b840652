#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>

#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>
#include <QStringList>

#include "app/settings/settings_store.h"
#include "cli/command_line.h"
#include "cli/headless_loop.h"
#include "cli/metrics_option.h"
#include "cli/print_history.h"
#include "cli/shutdown_watchdog.h"
#include "common/instance_lock.h"
#include "ui/app_icon.h"
#include "ui/main_window.h"

namespace {

// A command line that cannot be followed ends the program with this status.
constexpr int kUsageFailure = 2;
// How long a second program for a settings folder waits for the first one,
// which may be starting, to answer.
constexpr std::chrono::milliseconds kRunningWindowWait{5000};

int UsageFailure(const QString& message, bool pointToHelp) {
    std::fprintf(stderr, "corvasse: %s\n", qPrintable(message));
    if (pointToHelp) std::fputs("Try 'corvasse --help' for more information.\n", stderr);
    return kUsageFailure;
}

std::optional<std::filesystem::path> PathOption(const QCommandLineParser& parser, const QCommandLineOption& option) {
    if (!parser.isSet(option)) return std::nullopt;
    return std::filesystem::path(parser.value(option).toLocal8Bit().toStdString());
}

}  // namespace

int main(int argc, char** argv) {
    // The mode decides which application object there is (the window's needs
    // a display), so the command line is read before there is one.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Watches a web page or a host at a fixed interval and e-mails an alert when the "
        "page fails its check.");
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
    const QCommandLineOption version("version", "Show the version and exit.");
    const QCommandLineOption headless("headless",
                                      "Watch without a window, as a service: start watching at once, write the "
                                      "status lines to standard output and messages to standard error.");
    const QCommandLineOption settings("settings",
                                      "Use the settings in <file> instead of Corvasse.conf in "
                                      "$XDG_CONFIG_HOME/Corvasse.",
                                      "file");
    const QCommandLineOption all("all",
                                 "With --headless: run every watch of the settings folder (each *.conf file) in "
                                 "one service.");
    const QCommandLineOption watches("watches",
                                     "Use the settings folder <dir> instead of $XDG_CONFIG_HOME/Corvasse: its "
                                     "Corvasse.conf, and with --all every watch in it.",
                                     "dir");
    const QCommandLineOption log("log",
                                 "Write the activity log to <file> instead of Corvasse.log in the working "
                                 "directory.",
                                 "file");
    const QCommandLineOption history("history",
                                     "Keep the history of the watch's results in <file> instead of "
                                     "history.sqlite3 in $XDG_STATE_HOME/Corvasse.",
                                     "file");
    const QCommandLineOption printHistory("print-history",
                                          "Print the uptime and the outages of the watch that the settings "
                                          "describe, and exit. No display needed.");
    const QCommandLineOption since(
        "since", "With --print-history: how far back, 1h, 6h, 24h, 7d, 30d (the default) or 1y.", "range", "30d");
    const QCommandLineOption csv("csv", "With --print-history: print the results of that range as CSV instead.");
    const QCommandLineOption metrics("metrics",
                                     "With --headless: serve the watches' metrics for Prometheus at "
                                     "http://<address>/metrics (HOST:PORT, such as 127.0.0.1:9477 or [::1]:9477).",
                                     "address");
    parser.addOptions(
        {help, version, headless, all, watches, settings, log, history, printHistory, since, csv, metrics});
    if (!parser.parse(arguments)) return UsageFailure(parser.errorText(), true);
    if (!parser.positionalArguments().isEmpty()) {
        return UsageFailure("Unexpected argument '" + parser.positionalArguments().constFirst() + "'.", true);
    }
    if (!parser.isSet(printHistory) && (parser.isSet(since) || parser.isSet(csv))) {
        return UsageFailure("--since and --csv go with --print-history.", true);
    }
    if (parser.isSet(printHistory) && parser.isSet(headless)) {
        return UsageFailure("--print-history and --headless cannot be used together.", true);
    }
    if (parser.isSet(all) && parser.isSet(settings)) {
        return UsageFailure("--all and --settings cannot be used together.", true);
    }
    if (parser.isSet(watches) && parser.isSet(settings)) {
        return UsageFailure("--watches and --settings cannot be used together.", true);
    }
    if (parser.isSet(all) && !parser.isSet(headless)) return UsageFailure("--all goes with --headless.", true);
    if (parser.isSet(metrics) && !parser.isSet(headless)) return UsageFailure("--metrics goes with --headless.", true);
    if (parser.isSet(watches) && parser.value(watches).isEmpty()) {
        return UsageFailure("the settings folder name is empty", false);
    }
    const std::optional<corvasse::HistoryRange> range = corvasse::RangeFromKey(parser.value(since).toStdString());
    if (!range)
        return UsageFailure("--since takes 1h, 6h, 24h, 7d, 30d or 1y, not '" + parser.value(since) + "'.", true);
    if (parser.isSet(help)) {
        QCoreApplication app(argc, argv);  // names the program in the usage line
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s\n", corvasse::VersionLine().c_str());
        return 0;
    }
    corvasse::MonitorFiles files;
    std::optional<corvasse::ListenAddress> metricsAddress;
    try {
        // Only the window can make a settings file it was given.
        const bool window = !parser.isSet(headless) && !parser.isSet(printHistory);
        std::optional<std::filesystem::path> settingsFile = PathOption(parser, settings);
        const std::optional<std::filesystem::path> folder = PathOption(parser, watches);
        // With --all the folder's files are the watches, Corvasse.conf or not.
        if (folder && !parser.isSet(all)) settingsFile = *folder / corvasse::kSettingsFileName;
        files = corvasse::FilesFromCommandLine(
            settingsFile, PathOption(parser, log), PathOption(parser, history),
            window ? corvasse::NewSettingsFile::Allowed : corvasse::NewSettingsFile::Refused);
        if (folder && parser.isSet(all)) files.settings = *folder / corvasse::kSettingsFileName;
        if (parser.isSet(headless)) {
            metricsAddress = corvasse::MetricsAddress(
                parser.isSet(metrics) ? std::optional(parser.value(metrics).toStdString()) : std::nullopt,
                files.settings);
        }
    } catch (const corvasse::UsageError& error) {
        return UsageFailure(QString::fromLocal8Bit(error.what()), false);
    }
    if (parser.isSet(printHistory)) {
        return corvasse::PrintHistory(
            files, *range, parser.isSet(csv) ? corvasse::HistoryFormat::Csv : corvasse::HistoryFormat::Summary,
            corvasse::ResultTimeNow(), stdout, stderr);
    }
    if (parser.isSet(all)) return corvasse::RunHeadlessAll(argc, argv, files, metricsAddress);
    if (parser.isSet(headless)) return corvasse::RunHeadless(argc, argv, files, metricsAddress);

    // One window per settings folder: a second program for it shows the first one's.
    std::optional<corvasse::InstanceLock> instance;
    try {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        const corvasse::InstancePaths paths = corvasse::InstancePathsFor(
            files.settings.parent_path(), runtime ? std::optional<std::filesystem::path>(runtime) : std::nullopt);
        instance = corvasse::InstanceLock::Acquire(paths);
        if (!instance) {
            if (corvasse::AskToShowWindow(paths, kRunningWindowWait)) return 0;
            std::fprintf(stderr, "corvasse: the Corvasse running for %s does not answer.\n",
                         files.settings.parent_path().c_str());
            return 1;
        }
    } catch (const std::system_error& error) {
        std::fprintf(stderr, "corvasse: %s; a second window for these settings is not prevented.\n", error.what());
    }

    // Fontconfig reads its configuration and font caches, a third of what
    // the window's first text waits for, while Qt connects to the display.
    std::thread fontconfig([] { FcInit(); });
    QApplication app(argc, argv);
    fontconfig.join();
    // Qt sets the locale from the environment; the core's date texts rely on it too.
    std::setlocale(LC_ALL, "");
    QApplication::setApplicationName("Corvasse");
    QApplication::setDesktopFileName("corvasse");

    auto window = std::make_unique<corvasse::MainWindow>(files);
    window->show();
    // Once the window is up: the icon is read from its image then.
    QApplication::setWindowIcon(corvasse::AppIcon());
    std::unique_ptr<QSocketNotifier> showRequests;
    if (instance) {
        showRequests = std::make_unique<QSocketNotifier>(instance->ListenerFd(), QSocketNotifier::Read);
        QObject::connect(showRequests.get(), &QSocketNotifier::activated, window.get(), [&] {
            if (instance->TakeShowRequests() > 0) window->ShowWindowAgain();
        });
    }
    const int status = QApplication::exec();
    // A watch still running is cut when the window goes, and its thread
    // ends at once, unless it is inside a call that cannot be cut (a name
    // lookup): the program ends all the same within a second of the close.
    corvasse::ShutdownWatchdog watchdog(corvasse::ShutdownWatchdog::Clock::now(), corvasse::kShutdownGrace,
                                        [status] { _exit(status); });
    window.reset();
    watchdog.Disarm();
    return status;
}
