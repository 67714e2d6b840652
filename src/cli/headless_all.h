#pragma once
// `corvasse --headless --all`: every watch of the settings folder in one
// service, each on its own schedule over a shared pool of threads. Each
// watch's pane lines and messages go to the service's streams as the single
// service writes them, its name in brackets after the time of a line
// ("2026-12-06 17:05:09 [shop] HTTP Connected...") and before a message. The
// event loop, the timers and the signals are the caller's (headless_loop.h).

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/monitor/watch_set.h"

namespace corvasse {

class FiberPool;
class IntervalTimer;
class MetricsBoard;
class WindowThread;

// Makes a watch's timer, whose every tick is to call tick.
using TimerFactory = std::function<std::unique_ptr<IntervalTimer>(std::function<void()> tick)>;

class HeadlessAll {
public:
    // The watches are the *.conf files of the folder of files.settings; they
    // share files.log and files.history. With metrics, each watch's results
    // are told to it. Every argument must outlive this object.
    HeadlessAll(const MonitorFiles& files, WindowThread& windowThread, FiberPool& pool, TimerFactory timers,
                std::FILE* lines, std::FILE* messages, MetricsBoard* metrics = nullptr);

    // Starts every watch of the folder; their first watches run now. False,
    // said on the messages, when the folder holds none.
    bool Start();

    // Reads the folder again: a new file's watch starts, a removed file's
    // stops, a changed file's reads its settings again before its next
    // watch; a line says each.
    void Reload();

private:
    void Say(const std::string& name, const std::string& text) const;

    std::filesystem::path folder_;
    std::FILE* lines_;
    std::FILE* messages_;
    MetricsBoard* metrics_;
    WatchSet watches_;
};

// Raises the soft limit of open files to the hard limit: every watch holds
// some while it runs, and a thousand watches need more than the usual 1,024.
void RaiseOpenFileLimit();

}  // namespace corvasse
