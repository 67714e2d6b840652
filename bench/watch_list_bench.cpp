// The window with many watches, on the offscreen platform, wall time:
// - BM_ListOpens/N: "View > Watches..." with N watch files in the folder,
//   the list filled and painted whole.
// - BM_EventLoopGap/N: N watches that ping this computer every second, all
//   started at once; each iteration runs the window's event loop for 5
//   seconds, and the counter max_gap_ms is the longest time it went without
//   handling an event (a 5 ms timer), lines the status pane's lines by then.

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <string>

#include "app/monitor/monitor.h"
#include "app/view/dialogs.h"
#include "support/monitor_files.h"
#include "support/temp_dir.h"
#include "ui/main_window.h"
#include "ui/watch_list_window.h"

namespace {

using namespace corvasse;

class NoDialogs : public Dialogs {
public:
    void Beep() override {}
    void ShowMessage(const std::string&) override {}
    void ShowError(const std::string&) override {}
};

// A folder of watch files that ping 127.0.0.1, and the window over it.
struct Folder {
    explicit Folder(int watches) {
        const std::filesystem::path folder = files.settings.parent_path();
        std::filesystem::create_directories(folder);
        for (int i = 0; i < watches; ++i) {
            test::WriteFile(folder / ("watch" + std::to_string(i) + ".conf"),
                            "[Settings]\nPingOnly=y\nPingAddr=127.0.0.1\nintervalSeconds=1\n");
        }
        window = std::make_unique<MainWindow>(files, &dialogs);
        window->show();
        QApplication::processEvents();
    }

    QAction* Watches() const {
        for (QAction* top : window->menuBar()->actions()) {
            for (QAction* action : top->menu()->actions()) {
                if (action->text() == "&Watches...") return action;
            }
        }
        return nullptr;
    }

    test::TempDir temp;
    MonitorFiles files = test::MonitorFilesIn(temp.Path());
    NoDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};

void BM_ListOpens(benchmark::State& state) {
    Folder folder(static_cast<int>(state.range(0)));
    QAction* watches = folder.Watches();
    for (auto _ : state) {
        watches->trigger();
        folder.window->WatchList().grab();
        state.PauseTiming();
        folder.window->WatchList().close();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ListOpens)->Arg(200)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EventLoopGap(benchmark::State& state) {
    Folder folder(static_cast<int>(state.range(0)));
    folder.Watches()->trigger();
    folder.window->WatchList().findChild<QPushButton*>("btnStartAll")->click();
    qint64 maxGap = 0;
    for (auto _ : state) {
        QEventLoop loop;
        QElapsedTimer gap;
        gap.start();
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] { maxGap = std::max(maxGap, gap.restart()); });
        tick.start(5);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    state.counters["max_gap_ms"] = static_cast<double>(maxGap);
    state.counters["lines"] = folder.window->findChild<QPlainTextEdit*>("richStatus")->blockCount();
}
BENCHMARK(BM_EventLoopGap)->Arg(200)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Corvasse");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
