// Several processes on one history database: two that record at the same
// time, and one killed (SIGKILL) at random moments 200 times. Every result a
// process was told is written must be there afterwards, each outage must hold
// exactly the down results recorded for it (a result and the state it changes
// are written together or not at all), and the database must stay whole.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "app/outage/outage_tracker.h"
#include "history/history_store.h"
#include "history/sqlite_connection.h"
#include "history/sqlite_statement.h"
#include "support/killed_child.h"
#include "support/temp_dir.h"
#include "support/watch_results.h"

namespace corvasse {
namespace {

using std::chrono::milliseconds;

constexpr const char* kSettings = "/home/ann/.config/Corvasse/Corvasse.conf";
constexpr const char* kAddress = "http://shop.example/";
constexpr int kKills = 200;
constexpr int kMaxKillDelayMs = 20;

// Every down result opens or joins an outage and every up result ends it,
// so that every down result must be counted in an outage.
const OutageSettings kEveryResultCounts{1, std::chrono::minutes(0), 1, RecoveryMail::Send};

// Result number n: its size is n, so that it can be found again; one in
// three is up.
WatchResult NumberedResult(int64_t n) {
    WatchResult result = n % 3 == 0 ? test::Up(test::kDayStart + milliseconds(n * 1000))
                                    : test::Down(test::kDayStart + milliseconds(n * 1000));
    result.size = n;
    return result;
}

// Records numbered results from `first` on through the tracker, sends every
// mail asked for, and reports each number on `written` once its transaction
// is committed. Returns when `count` are written; a failure exits with 3.
[[noreturn]] void RecordNumbered(const std::filesystem::path& file, int64_t first, int64_t count, int written) {
    try {
        HistoryStore store(file);
        OutageTracker tracker(store, store.FindOrAddWatch(kSettings, kAddress), kEveryResultCounts);
        for (int64_t n = first; n < first + count; ++n) {
            for (const OutageAction& action : tracker.Record(NumberedResult(n)).actions) tracker.MailSent(action);
            if (written >= 0 && ::write(written, &n, sizeof n) != sizeof n) _exit(4);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        _exit(3);
    }
    _exit(0);
}

std::string IntegrityCheck(const std::filesystem::path& file) {
    SqliteConnection db(file);
    auto rows = db.Statement("PRAGMA integrity_check").Query();
    return rows.Next() ? rows.Text(0) : "no answer";
}

struct Recorded {
    std::set<int64_t> numbers;
    int64_t downs = 0;
    int64_t downsInOutages = 0;
};

Recorded ReadBack(const std::filesystem::path& file) {
    HistoryStore store(file);
    const WatchId watch = store.FindOrAddWatch(kSettings, kAddress);
    Recorded recorded;
    const TimeRange always{ResultTime{}, ResultTime::max()};
    store.VisitResults(watch, always, [&](const WatchResult& result) {
        recorded.numbers.insert(*result.size);
        if (result.state == ResultState::Down) ++recorded.downs;
    });
    for (const Outage& outage : store.Outages(watch, always)) recorded.downsInOutages += outage.downResults;
    return recorded;
}

TEST(HistoryProcessesTest, TwoProcessesRecordAtOnceWithoutLosingARow) {
    test::TempDir temp;
    const std::filesystem::path file = temp.Path() / "history.sqlite3";
    constexpr int64_t kEach = 400;
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    std::vector<pid_t> children;
    for (int64_t first : {int64_t{0}, kEach}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            char start = 0;
            if (::read(go[0], &start, 1) != 1) _exit(5);
            RecordNumbered(file, first, kEach, -1);
        }
        children.push_back(child);
    }
    // Both start at once.
    ASSERT_EQ(::write(go[1], "gg", 2), 2);
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    ::close(go[0]);
    ::close(go[1]);

    EXPECT_EQ(IntegrityCheck(file), "ok");
    const Recorded recorded = ReadBack(file);
    EXPECT_EQ(recorded.numbers.size(), static_cast<size_t>(2 * kEach));
    EXPECT_EQ(recorded.downsInOutages, recorded.downs);
}

TEST(HistoryProcessesTest, AProcessKilledAtAnyMomentLosesNothingItReportedWritten) {
    test::TempDir temp;
    const std::filesystem::path file = temp.Path() / "history.sqlite3";
    std::mt19937 random(20261208);
    int64_t next = 0;
    int64_t reportedTotal = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        // Most kills land among the results; every fourth may land while
        // the child opens the database (and recovers it from the last kill).
        const test::KilledChild child =
            test::RunAndKill([&](int written) { RecordNumbered(file, next, INT64_MAX - next, written); },
                             kill % 4 == 0 ? test::KillAfter::Start : test::KillAfter::FirstWrite,
                             milliseconds(random() % kMaxKillDelayMs));
        ASSERT_TRUE(child.killed) << "the recording child ended by itself, status " << child.status;
        std::vector<int64_t> reported;
        for (size_t at = 0; at + sizeof(int64_t) <= child.written.size(); at += sizeof(int64_t)) {
            std::memcpy(&reported.emplace_back(), child.written.data() + at, sizeof(int64_t));
        }
        reportedTotal += static_cast<int64_t>(reported.size());

        ASSERT_EQ(IntegrityCheck(file), "ok") << "after kill " << kill;
        const Recorded recorded = ReadBack(file);
        for (int64_t n : reported) ASSERT_TRUE(recorded.numbers.count(n)) << "result " << n << ", kill " << kill;
        ASSERT_EQ(recorded.downsInOutages, recorded.downs) << "after kill " << kill;
        if (!recorded.numbers.empty()) next = *recorded.numbers.rbegin() + 1;
    }
    std::printf("[ crash    ] %d kills, %lld results reported written, %lld in the database\n", kKills,
                static_cast<long long>(reportedTotal), static_cast<long long>(next));
}

}  // namespace
}  // namespace corvasse
