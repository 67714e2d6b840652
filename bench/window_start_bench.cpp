// How soon the window is up, as a user sees it: the time from starting
// `corvasse --settings F` until its main window is mapped and viewable on an
// X server of its own (Xvfb, with a tray), polled through Xlib every 0.5 ms,
// beside two plain Qt programs built with the same flags: minimal_window
// shows one empty 617x480 QMainWindow titled "Corvasse", same_widgets_window
// the widgets Corvasse's window opens with and nothing behind them. The three
// take turns, the first of them moving on each round, so that a load that
// changes meanwhile weighs on all alike; each is ended once its window shows.
//
// BM_WindowVisible: 21 rounds. Counters: the median time of each
// (corvasse_ms, minimal_ms, same_widgets_ms), corvasse's ratio to the first
// (ratio) and to the second (same_widgets_ratio), and the machine's load (the
// 1-minute load average when it ended, load1).

#include <benchmark/benchmark.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/settings/settings_store.h"
#include "bench_stats.h"
#include "support/temp_dir.h"
#include "support/virtual_desktop.h"

namespace {

using corvasse::bench::LoadAverage;
using corvasse::bench::Median;
using Clock = std::chrono::steady_clock;

constexpr auto kPollInterval = std::chrono::microseconds(500);
constexpr auto kStartLimit = std::chrono::seconds(20);

// A window may go between the listing of the root's children and the
// questions about it; that is no failure.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// The process that owns a top-level window, as it says itself (_NET_WM_PID).
long WindowPid(Display* display, Window window, Atom pidAtom) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr) {
        if (type == XA_CARDINAL && format == 32 && count == 1) pid = *reinterpret_cast<long*>(data);
    }
    if (data != nullptr) XFree(data);
    return pid;
}

bool WindowViewable(Display* display, pid_t pid, Atom pidAtom) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) return false;
    bool viewable = false;
    for (unsigned int i = 0; i < count && !viewable; ++i) {
        XWindowAttributes attributes;
        viewable = WindowPid(display, children[i], pidAtom) == pid &&
                   XGetWindowAttributes(display, children[i], &attributes) != 0 && attributes.map_state == IsViewable;
    }
    if (children != nullptr) XFree(children);
    return viewable;
}

// Starts the program, waits for its window, ends it; the milliseconds from
// the start to the window.
double TimeToWindow(Display* display, Atom pidAtom, const std::vector<std::string>& argv,
                    const std::filesystem::path& workingDir) {
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        if (chdir(workingDir.c_str()) != 0) _exit(127);
        execv(args[0], args.data());
        _exit(127);
    }
    double ms = -1;
    while (Clock::now() - start < kStartLimit) {
        if (WindowViewable(display, pid, pidAtom)) {
            ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            break;
        }
        if (waitpid(pid, nullptr, WNOHANG) == pid) throw std::runtime_error(argv[0] + std::string(" ended early"));
        std::this_thread::sleep_for(kPollInterval);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    if (ms < 0) throw std::runtime_error(argv[0] + std::string(" showed no window"));
    return ms;
}

void BM_WindowVisible(benchmark::State& state) {
    corvasse::test::VirtualDesktop desktop;
    unsetenv("QT_QPA_PLATFORM");
    Display* display = XOpenDisplay(desktop.Display().c_str());
    if (display == nullptr) throw std::runtime_error("cannot open " + desktop.Display());
    XSetErrorHandler(IgnoreXError);
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);

    corvasse::test::TempDir dir;
    // Where the program keeps its history and its window's lock.
    setenv("XDG_STATE_HOME", dir.Path().c_str(), 1);
    setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
    const std::filesystem::path settings = dir.Path() / "Corvasse.conf";
    corvasse::SettingsStore::AtFile(settings).WriteSetting("Settings", "url2watch", "http://127.0.0.1:1/");
    constexpr int kPrograms = 3;
    const std::vector<std::string> programs[kPrograms] = {
        {CORVASSE_BINARY, "--settings", settings.string()}, {MINIMAL_WINDOW_BINARY}, {SAME_WIDGETS_BINARY}};
    std::vector<double> ms[kPrograms];
    int first = 0;
    for (auto _ : state) {
        for (int turn = 0; turn < kPrograms; ++turn) {
            const int which = (first + turn) % kPrograms;
            ms[which].push_back(TimeToWindow(display, pidAtom, programs[which], dir.Path()));
        }
        first = (first + 1) % kPrograms;
    }
    XCloseDisplay(display);
    state.counters["corvasse_ms"] = Median(ms[0]);
    state.counters["minimal_ms"] = Median(ms[1]);
    state.counters["same_widgets_ms"] = Median(ms[2]);
    state.counters["ratio"] = Median(ms[0]) / Median(ms[1]);
    state.counters["same_widgets_ratio"] = Median(ms[0]) / Median(ms[2]);
    state.counters["load1"] = LoadAverage();
}
BENCHMARK(BM_WindowVisible)->Iterations(21)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
