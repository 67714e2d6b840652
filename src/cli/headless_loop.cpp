#include "cli/headless_loop.h"

#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdio>

#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

#include "cli/headless_service.h"
#include "cli/shutdown_watchdog.h"
#include "common/process_abort.h"
#include "ui/qt_interval_timer.h"

namespace corvasse {

namespace {

constinit std::atomic<bool> reloadRequested{false};

void OnShutdownSignal(int) { RaiseProcessAbort(); }
void OnReloadSignal(int) { reloadRequested.store(true); }

void Handle(int signalNumber, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // Waits watch the abort's descriptor; interrupted calls just go on.
    action.sa_flags = SA_RESTART;
    sigaction(signalNumber, &action, nullptr);
}

}  // namespace

int RunHeadless(int& argc, char** argv, const MonitorFiles& files) {
    QCoreApplication app(argc, argv);
    // Qt sets the locale from the environment; the core's date texts rely on it too.
    std::setlocale(LC_ALL, "");
    Handle(SIGTERM, OnShutdownSignal);
    Handle(SIGINT, OnShutdownSignal);
    Handle(SIGHUP, OnReloadSignal);

    QtIntervalTimer timer;
    HeadlessService service(files, timer, stdout, stderr);
    // A shutdown while idle ends the loop; one during a watch ends the watch
    // first (its wait throws AbortedError), and then the loop.
    QSocketNotifier shutdown(ProcessAbortDescriptor(), QSocketNotifier::Read);
    QObject::connect(&shutdown, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    timer.OnTimer = [&service] {
        try {
            service.Timer1Timer(reloadRequested.exchange(false) ? SettingsReload::First : SettingsReload::None);
        } catch (const AbortedError&) {
            // Not a failed watch: nothing to report, and the loop ends next.
        }
    };
    ShutdownWatchdog watchdog(std::nullopt, kShutdownGrace, [] { _exit(kServiceEnded); });

    try {
        if (!service.Start()) return kServiceCouldNotStart;
    } catch (const AbortedError&) {
        return kServiceEnded;
    }
    QCoreApplication::exec();
    return kServiceEnded;
}

}  // namespace corvasse
