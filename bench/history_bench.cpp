// Recording watch results in the history database, and the queries a
// history view makes on a year of one-minute results.
//
// Recording, wall time per result on a file on disk:
// - BM_RecordResult: HistoryStore::RecordResult, one INSERT in a write
//   transaction (what every watch costs).
// - BM_TrackerRecord: OutageTracker::Record, the same with the watch's
//   outage state read and written back (what a watch costs in outage mode).
// - BM_Sqlite3Command: the sqlite3 tool doing the same INSERT into the same
//   database, started once per result, as a shell script would record.
// - BM_Sqlite3Session: one sqlite3 process given 5000 such transactions on
//   standard input (its start and end spread thin); the time per transaction.
//
// A year: 525,600 results one minute apart for one watch
// (tests/support/year_of_results.h). The counter file_MiB is the database's
// size after a checkpoint. BM_Year* then time the queries on it: the uptime
// of a year, the chart's buckets at 2000 pixel columns, the outages, a day's
// results, and all that a history view needs to open (four uptimes, a
// month's buckets, the outages).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include <sys/stat.h>

#include "app/outage/outage_tracker.h"
#include "history/history_store.h"
#include "process_cost.h"
#include "support/temp_dir.h"
#include "support/watch_results.h"
#include "support/year_of_results.h"

namespace {

using namespace corvasse;
using std::chrono::days, std::chrono::hours, std::chrono::minutes, std::chrono::milliseconds;

constexpr const char* kSqlite3 = "/usr/bin/sqlite3";
constexpr const char* kSettings = "/home/ann/.config/Corvasse/Corvasse.conf";
constexpr const char* kAddress = "http://shop.example/";
constexpr int kChartColumns = 2000;
const ResultTime kYearStart = test::kDayStart;
const ResultTime kYearEnd = kYearStart + minutes(test::kYearOfMinutes);

std::unique_ptr<test::TempDir> temp;

std::string InsertStatement(int64_t watch, int64_t timeMs) {
    return "INSERT INTO result (watch_id, time_ms, state, response_us, size, reason) VALUES (" + std::to_string(watch) +
           ", " + std::to_string(timeMs) + ", 1, 12000, 2043, '');";
}

int64_t Ms(ResultTime time) { return time.time_since_epoch().count(); }

// A new database with the watch the benchmarks record for; the watch's id.
int64_t DatabaseWithWatch(const std::filesystem::path& file) {
    HistoryStore store(file);
    return store.FindOrAddWatch(kSettings, kAddress).value;
}

void BM_RecordResult(benchmark::State& state) {
    HistoryStore store(temp->Path() / "record.sqlite3");
    const WatchId watch = store.FindOrAddWatch(kSettings, kAddress);
    ResultTime time = kYearStart;
    for (auto _ : state) {
        time += minutes(1);
        store.RecordResult(watch, test::Up(time));
    }
}
BENCHMARK(BM_RecordResult)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_TrackerRecord(benchmark::State& state) {
    HistoryStore store(temp->Path() / "tracker.sqlite3");
    OutageTracker tracker(store, store.FindOrAddWatch(kSettings, kAddress), OutageSettings{});
    ResultTime time = kYearStart;
    int64_t n = 0;
    for (auto _ : state) {
        time += minutes(1);
        // Now and then an outage, so that its rows are written too.
        const OutageStep step = tracker.Record(++n % 50 < 3 ? test::Down(time) : test::Up(time));
        for (const OutageAction& action : step.actions) tracker.MailSent(action);
    }
}
BENCHMARK(BM_TrackerRecord)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_Sqlite3Command(benchmark::State& state) {
    const std::filesystem::path file = temp->Path() / "command.sqlite3";
    const int64_t watch = DatabaseWithWatch(file);
    int64_t timeMs = Ms(kYearStart);
    for (auto _ : state) {
        timeMs += 60000;
        bench::RunProcess(
            {kSqlite3, file.string(),
             "PRAGMA synchronous = NORMAL; PRAGMA busy_timeout = 10000; " + InsertStatement(watch, timeMs)});
    }
}
BENCHMARK(BM_Sqlite3Command)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_Sqlite3Session(benchmark::State& state) {
    constexpr int kTransactions = 5000;
    const std::filesystem::path file = temp->Path() / "session.sqlite3";
    const std::filesystem::path script = temp->Path() / "session.sql";
    const int64_t watch = DatabaseWithWatch(file);
    int64_t timeMs = Ms(kYearStart);
    for (auto _ : state) {
        state.PauseTiming();
        std::string sql = "PRAGMA synchronous = NORMAL;\n";
        for (int i = 0; i < kTransactions; ++i) {
            timeMs += 60000;
            sql += "BEGIN IMMEDIATE; " + InsertStatement(watch, timeMs) + " COMMIT;\n";
        }
        test::WriteFile(script, sql);
        state.ResumeTiming();
        bench::RunProcess(
            {"/bin/sh", "-c", std::string(kSqlite3) + " '" + file.string() + "' < '" + script.string() + "'"});
    }
    state.counters["per_transaction"] =
        benchmark::Counter(kTransactions, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Sqlite3Session)->Unit(benchmark::kMillisecond)->UseRealTime();

// The year's database, made once.
struct Year {
    std::filesystem::path file;
    std::unique_ptr<HistoryStore> store;
    WatchId watch;
    double fileMiB = 0;
};

Year& TheYear() {
    static Year year = [] {
        Year made;
        made.file = temp->Path() / "year.sqlite3";
        made.watch = test::AddYearOfResults(made.file, kSettings, kAddress, kYearStart);
        struct stat info {};
        ::stat(made.file.c_str(), &info);
        made.fileMiB = static_cast<double>(info.st_size) / (1024.0 * 1024.0);
        std::printf("A year of one-minute results: %lld rows, %.1f MiB\n", static_cast<long long>(test::kYearOfMinutes),
                    made.fileMiB);
        made.store = std::make_unique<HistoryStore>(made.file);
        return made;
    }();
    return year;
}

void BM_YearUptime(benchmark::State& state) {
    Year& year = TheYear();
    for (auto _ : state) benchmark::DoNotOptimize(year.store->CountResults(year.watch, {kYearStart, kYearEnd}));
    state.counters["file_MiB"] = year.fileMiB;
}
BENCHMARK(BM_YearUptime)->Unit(benchmark::kMillisecond)->UseRealTime();

// The chart's buckets for a range of the given number of days.
void BM_YearBuckets(benchmark::State& state) {
    Year& year = TheYear();
    const TimeRange range{kYearEnd - days(state.range(0)), kYearEnd};
    size_t buckets = 0;
    for (auto _ : state) buckets = year.store->ResponseBuckets(year.watch, range, kChartColumns).size();
    state.counters["buckets"] = static_cast<double>(buckets);
}
BENCHMARK(BM_YearBuckets)->Arg(1)->Arg(7)->Arg(30)->Arg(365)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_YearOutages(benchmark::State& state) {
    Year& year = TheYear();
    for (auto _ : state) benchmark::DoNotOptimize(year.store->Outages(year.watch, {kYearStart, kYearEnd}));
}
BENCHMARK(BM_YearOutages)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_YearDayOfResults(benchmark::State& state) {
    Year& year = TheYear();
    int64_t count = 0;
    for (auto _ : state) {
        count = 0;
        year.store->VisitResults(year.watch, {kYearEnd - days(1), kYearEnd}, [&](const WatchResult&) { ++count; });
    }
    state.counters["results"] = static_cast<double>(count);
}
BENCHMARK(BM_YearDayOfResults)->Unit(benchmark::kMillisecond)->UseRealTime();

// What a history view opening on a month needs: four uptimes, the month's
// buckets and the year's outages, on a fresh connection (SQLite's own cache
// empty, the system's file cache warm).
void BM_YearViewOpens(benchmark::State& state) {
    const Year& year = TheYear();
    for (auto _ : state) {
        HistoryStore store(year.file);
        for (const days range : {days(1), days(7), days(30), days(365)}) {
            benchmark::DoNotOptimize(store.CountResults(year.watch, {kYearEnd - range, kYearEnd}));
        }
        benchmark::DoNotOptimize(store.ResponseBuckets(year.watch, {kYearEnd - days(30), kYearEnd}, kChartColumns));
        benchmark::DoNotOptimize(store.Outages(year.watch, {kYearStart, kYearEnd}));
    }
}
BENCHMARK(BM_YearViewOpens)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    temp = std::make_unique<test::TempDir>();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    temp.reset();
    return 0;
}
