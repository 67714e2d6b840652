#include "cli/headless_loop.h"

#include <atomic>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

#include "app/metrics/metrics_board.h"
#include "app/metrics/metrics_listener.h"
#include "cli/headless_all.h"
#include "cli/headless_service.h"
#include "cli/shutdown_watchdog.h"
#include "common/fiber_pool.h"
#include "common/file_descriptor.h"
#include "common/process_abort.h"
#include "ui/qt_interval_timer.h"
#include "ui/qt_window_thread.h"

namespace corvasse {

namespace {

constinit std::atomic<bool> reloadRequested{false};
// With --all, SIGHUP also writes a byte here, so that the loop reads the
// folder at once.
constinit std::atomic<int> reloadPipe{-1};

void OnShutdownSignal(int) { RaiseProcessAbort(); }
void OnReloadSignal(int) {
    reloadRequested.store(true);
    const int saved = errno;
    if (const int fd = reloadPipe.load(); fd >= 0) {
        const char byte = 1;
        // A full pipe already has a reload waiting.
        [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
    }
    errno = saved;
}

void Handle(int signalNumber, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // Waits watch the abort's descriptor; interrupted calls just go on.
    action.sa_flags = SA_RESTART;
    sigaction(signalNumber, &action, nullptr);
}

// Serves the board's metrics at the address, when there is one; false, said
// on standard error, when it cannot be listened on.
bool ServeMetrics(const std::optional<ListenAddress>& address, const MetricsBoard& board,
                  std::optional<MetricsListener>& listener) {
    if (!address) return true;
    try {
        listener.emplace(*address, [&board] { return board.Text(); });
    } catch (const MetricsListenError& error) {
        std::fprintf(stderr, "corvasse: %s\n", error.what());
        return false;
    }
    return true;
}

}  // namespace

int RunHeadless(int& argc, char** argv, const MonitorFiles& files, const std::optional<ListenAddress>& metrics) {
    QCoreApplication app(argc, argv);
    // Qt sets the locale from the environment; the core's date texts rely on it too.
    std::setlocale(LC_ALL, "");
    Handle(SIGTERM, OnShutdownSignal);
    Handle(SIGINT, OnShutdownSignal);
    Handle(SIGHUP, OnReloadSignal);

    MetricsBoard board;
    std::optional<MetricsListener> listener;
    if (!ServeMetrics(metrics, board, listener)) return kServiceCouldNotStart;
    QtIntervalTimer timer;
    HeadlessService service(files, timer, stdout, stderr, metrics ? &board : nullptr);
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

int RunHeadlessAll(int& argc, char** argv, const MonitorFiles& files, const std::optional<ListenAddress>& metrics) {
    QCoreApplication app(argc, argv);
    std::setlocale(LC_ALL, "");
    RaiseOpenFileLimit();
    Handle(SIGTERM, OnShutdownSignal);
    Handle(SIGINT, OnShutdownSignal);
    // Outlives the watches, whose ending it bounds.
    ShutdownWatchdog watchdog(std::nullopt, kShutdownGrace, [] { _exit(kServiceEnded); });

    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) {
        std::perror("corvasse");
        return kServiceCouldNotStart;
    }
    const FileDescriptor reloadRead(ends[0]);
    const FileDescriptor reloadWrite(ends[1]);
    MetricsBoard board;
    std::optional<MetricsListener> listener;
    if (!ServeMetrics(metrics, board, listener)) return kServiceCouldNotStart;
    QtWindowThread windowThread;
    FiberPool pool(kWatchThreads);
    HeadlessAll service(
        files, windowThread, pool,
        [](std::function<void()> tick) {
            auto timer = std::make_unique<QtIntervalTimer>();
            timer->OnTimer = std::move(tick);
            return timer;
        },
        stdout, stderr, metrics ? &board : nullptr);
    QSocketNotifier reload(reloadRead.Get(), QSocketNotifier::Read);
    QObject::connect(&reload, &QSocketNotifier::activated, &app, [&] {
        char bytes[64];
        while (read(reloadRead.Get(), bytes, sizeof bytes) > 0) {}
        service.Reload();
    });
    reloadPipe.store(reloadWrite.Get());
    Handle(SIGHUP, OnReloadSignal);
    QSocketNotifier shutdown(ProcessAbortDescriptor(), QSocketNotifier::Read);
    QObject::connect(&shutdown, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    int status = kServiceCouldNotStart;
    if (service.Start()) {
        QCoreApplication::exec();
        status = kServiceEnded;
    }
    reloadPipe.store(-1);
    return status;
}

}  // namespace corvasse
