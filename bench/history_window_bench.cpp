// The History window on a year of one-minute results (525,600 rows and an
// outage a month, tests/support/year_of_results.h), on the offscreen
// platform, wall time:
// - BM_WindowOpens: a new window reads the watch's history (four uptimes,
//   the outages and the chart of the last 24 hours) and is painted whole.
// - BM_RangeChange/N: choosing range N (0: 24 hours ... 3: 1 year) and
//   painting the window again.
// - BM_PrintHistory: `corvasse --print-history --since 1y`, a whole process.
// - BM_Sqlite3Figures/N: the sqlite3 tool answering what the window shows for
//   range N straight from the results, as one would without Corvasse: the
//   four uptimes, the minimum and maximum response of each of the chart's
//   columns, and the outages.
// The counter plot_columns is the chart's width in pixels.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/history_view/history_range.h"
#include "app/settings/settings_store.h"
#include "app/view/dialogs.h"
#include "app/view/handler_guard.h"
#include "process_cost.h"
#include "support/temp_dir.h"
#include "support/year_of_results.h"
#include "ui/history_window.h"

namespace {

using namespace corvasse;
using std::chrono::days;

constexpr const char* kSqlite3 = "/usr/bin/sqlite3";
constexpr const char* kAddress = "http://shop.example/";

// Up to now, so that the program run as a process sees the same ranges.
struct Year {
    Year() {
        SettingsStore::AtFile(settings).WriteSetting("Settings", "url2watch", kAddress);
        watch = test::AddYearOfResults(database, settings, kAddress, now - days(365));
    }

    test::TempDir folder;
    std::filesystem::path settings = folder.Path() / "shop.conf";
    std::filesystem::path database = folder.Path() / kHistoryFileName;
    ResultTime now = ResultTimeNow();
    WatchId watch;
};

Year& TheYear() {
    static Year year;
    return year;
}

class NoDialogs : public Dialogs {
public:
    void Beep() override {}
    void ShowMessage(const std::string& text) override { throw std::runtime_error(text); }
    void ShowError(const std::string& text) override { throw std::runtime_error(text); }
};

NoDialogs dialogs;
HandlerGuard guard(dialogs);

std::unique_ptr<HistoryWindow> OpenWindow() {
    Year& year = TheYear();
    auto window = std::make_unique<HistoryWindow>(guard, [&year] { return year.now; });
    window->ShowHistory({year.database, year.settings, kAddress});
    window->grab();
    return window;
}

int PlotColumns(HistoryWindow& window) {
    return static_cast<int>(window.findChild<QChartView*>("chart")->chart()->plotArea().width());
}

void BM_WindowOpens(benchmark::State& state) {
    TheYear();
    int columns = 0;
    for (auto _ : state) columns = PlotColumns(*OpenWindow());
    state.counters["plot_columns"] = columns;
}
BENCHMARK(BM_WindowOpens)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RangeChange(benchmark::State& state) {
    const std::unique_ptr<HistoryWindow> window = OpenWindow();
    auto* ranges = window->findChild<QComboBox*>("range");
    const int range = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        ranges->setCurrentIndex(range == 2 ? 5 : 2);
        window->grab();
        state.ResumeTiming();
        ranges->setCurrentIndex(range);
        window->grab();
    }
    state.counters["plot_columns"] = PlotColumns(*window);
}
// 24 hours to 1 year.
BENCHMARK(BM_RangeChange)->DenseRange(2, 5)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PrintHistory(benchmark::State& state) {
    Year& year = TheYear();
    for (auto _ : state) {
        bench::RunProcess({CORVASSE_BINARY, "--print-history", "--since", "1y", "--settings", year.settings.string(),
                           "--history", year.database.string()});
    }
}
BENCHMARK(BM_PrintHistory)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Sqlite3Figures(benchmark::State& state) {
    Year& year = TheYear();
    const HistoryRange range = kHistoryRanges.at(static_cast<size_t>(state.range(0)));
    const std::unique_ptr<HistoryWindow> window = OpenWindow();
    const int columns = PlotColumns(*window);
    const auto ms = [](ResultTime time) { return std::to_string(time.time_since_epoch().count()); };
    const std::string watch = std::to_string(year.watch.value);
    std::string sql;
    for (const HistoryRange each : kUptimeRanges) {
        sql += "SELECT total(state = 1), total(state = 0) FROM result WHERE watch_id = " + watch +
               " AND time_ms >= " + ms(RangeEndingAt(each, year.now).from) + ";\n";
    }
    const TimeRange shown = RangeEndingAt(range, year.now);
    const std::string width = std::to_string((shown.to - shown.from).count() / columns + 1);
    sql += "SELECT (time_ms - " + ms(shown.from) + ") / " + width +
           " AS c, min(response_us), max(response_us), total(state = 0) FROM result WHERE watch_id = " + watch +
           " AND time_ms >= " + ms(shown.from) + " GROUP BY c;\n";
    sql += "SELECT * FROM outage WHERE watch_id = " + watch + " AND began_ms < " + ms(shown.to) +
           " AND (ended_ms IS NULL OR ended_ms > " + ms(shown.from) + ") ORDER BY began_ms DESC;\n";
    for (auto _ : state) bench::RunProcess({kSqlite3, "-readonly", year.database.string(), sql});
}
BENCHMARK(BM_Sqlite3Figures)->DenseRange(2, 5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
