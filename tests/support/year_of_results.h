#pragma once
// A year of one-minute results for one watch, as a history view meets it
// after a year of watching: 525,600 results (one in 200 down with a reason,
// response times of 5 to 400 ms) and an outage a month. They go in through
// the store's own schema and trigger in one transaction, laid out as results
// added one by one in time order, without 525,600 commits to wait for.

#include <filesystem>
#include <random>
#include <string_view>

#include "history/history_store.h"
#include "history/sqlite_connection.h"
#include "history/sqlite_statement.h"
#include "history/sqlite_transaction.h"
#include "support/recorded_outage.h"
#include "support/watch_results.h"

namespace corvasse::test {

inline constexpr int64_t kYearOfMinutes = 525600;
inline constexpr int kYearOutages = 12;
inline constexpr std::chrono::minutes kYearOutageLength{20};

// Adds the year from start on to the watch of settingsFile and target; the watch.
inline WatchId AddYearOfResults(const std::filesystem::path& file, const std::filesystem::path& settingsFile,
                                std::string_view target, ResultTime start) {
    using std::chrono::days, std::chrono::minutes;
    WatchId watch;
    {
        HistoryStore store(file);
        watch = store.FindOrAddWatch(settingsFile, target);
        for (int month = 0; month < kYearOutages; ++month) {
            const ResultTime began = start + days(30 * month);
            RecordOutage(store, watch, began, began + kYearOutageLength, 20, "Read Timeout");
        }
    }
    SqliteConnection db(file);
    SqliteTransaction transaction(db, TransactionKind::Write);
    SqliteStatement& insert = db.Statement(
        "INSERT INTO result (watch_id, time_ms, state, response_us, size, reason) VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    std::mt19937 random(2026);
    const int64_t startMs = start.time_since_epoch().count();
    for (int64_t i = 0; i < kYearOfMinutes; ++i) {
        const bool down = random() % 200 == 0;
        const int64_t timeMs = startMs + i * 60000 + static_cast<int64_t>(random() % 900);
        if (down) {
            insert.Execute({watch.value, timeMs, int64_t{0}, nullptr, nullptr,
                            std::string_view("Socket Error # 10061 Connection refused.")});
        } else {
            insert.Execute({watch.value, timeMs, int64_t{1}, static_cast<int64_t>(5000 + random() % 395000),
                            static_cast<int64_t>(2043 + random() % 100), std::string_view("")});
        }
    }
    transaction.Commit();
    db.Execute("PRAGMA wal_checkpoint(TRUNCATE)");
    return watch;
}

}  // namespace corvasse::test
