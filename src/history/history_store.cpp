#include "history/history_store.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/errno_text.h"
#include "common/private_folder.h"
#include "common/utf8_text.h"
#include "history/history_error.h"
#include "history/sqlite_connection.h"
#include "history/sqlite_statement.h"
#include "history/sqlite_transaction.h"

namespace corvasse {

namespace {

using std::chrono::hours;
using std::chrono::milliseconds;

// "Corv" in the file's header: tells our database from another program's.
constexpr int64_t kApplicationId = 0x436F7276;
constexpr int64_t kSchemaVersion = 1;

// Times are Unix time in milliseconds (UTC); response times microseconds;
// result.state and outage.recovery hold the numbers of ResultState and
// Recovery. result_hour sums the results of each UTC hour (time_ms / 3600000),
// its response times those of the up results only.
constexpr const char* kSchema = R"sql(
CREATE TABLE watch (
    id INTEGER PRIMARY KEY,
    settings_file TEXT NOT NULL,
    target TEXT NOT NULL,
    downs_in_row INTEGER NOT NULL DEFAULT 0,
    ups_in_row INTEGER NOT NULL DEFAULT 0,
    first_down_ms INTEGER,
    first_reason TEXT NOT NULL DEFAULT '',
    last_reason TEXT NOT NULL DEFAULT '',
    UNIQUE (settings_file, target)
);
CREATE TABLE result (
    id INTEGER PRIMARY KEY,
    watch_id INTEGER NOT NULL REFERENCES watch (id),
    time_ms INTEGER NOT NULL,
    state INTEGER NOT NULL CHECK (state IN (0, 1, 2)),
    response_us INTEGER,
    size INTEGER,
    reason TEXT NOT NULL DEFAULT ''
);
CREATE INDEX result_by_time ON result (watch_id, time_ms);
CREATE TABLE result_hour (
    watch_id INTEGER NOT NULL,
    hour INTEGER NOT NULL,
    up INTEGER NOT NULL,
    down INTEGER NOT NULL,
    min_response_us INTEGER,
    max_response_us INTEGER,
    PRIMARY KEY (watch_id, hour)
) WITHOUT ROWID;
CREATE TRIGGER result_hour_sum AFTER INSERT ON result BEGIN
    INSERT INTO result_hour VALUES (
        NEW.watch_id, NEW.time_ms / 3600000, NEW.state = 1, NEW.state = 0,
        iif(NEW.state = 1, NEW.response_us, NULL), iif(NEW.state = 1, NEW.response_us, NULL))
    ON CONFLICT (watch_id, hour) DO UPDATE SET
        up = up + excluded.up,
        down = down + excluded.down,
        min_response_us = coalesce(min(min_response_us, excluded.min_response_us), min_response_us,
                                   excluded.min_response_us),
        max_response_us = coalesce(max(max_response_us, excluded.max_response_us), max_response_us,
                                   excluded.max_response_us);
END;
CREATE TABLE outage (
    id INTEGER PRIMARY KEY,
    watch_id INTEGER NOT NULL REFERENCES watch (id),
    began_ms INTEGER NOT NULL,
    ended_ms INTEGER,
    down_results INTEGER NOT NULL,
    first_reason TEXT NOT NULL,
    last_reason TEXT NOT NULL,
    alerts_sent INTEGER NOT NULL DEFAULT 0,
    last_alert_ms INTEGER,
    recovery INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX outage_by_time ON outage (watch_id, began_ms);
CREATE TABLE certificate_warning (
    watch_id INTEGER NOT NULL REFERENCES watch (id),
    issuer TEXT NOT NULL,
    serial TEXT NOT NULL,
    kind INTEGER NOT NULL,
    sent_ms INTEGER NOT NULL,
    PRIMARY KEY (watch_id, issuer, serial, kind)
) WITHOUT ROWID;
CREATE TABLE store_state (
    name TEXT PRIMARY KEY,
    value INTEGER
) WITHOUT ROWID;
)sql";

// When watching was off during an outage (a later addition to the schema).
constexpr const char* kPauseTable = R"sql(
CREATE TABLE IF NOT EXISTS outage_pause (
    outage_id INTEGER NOT NULL REFERENCES outage (id),
    from_ms INTEGER NOT NULL,
    to_ms INTEGER NOT NULL,
    PRIMARY KEY (outage_id, from_ms)
) WITHOUT ROWID;
)sql";

constexpr const char* kOutageColumns =
    "id, began_ms, ended_ms, down_results, first_reason, last_reason, alerts_sent, last_alert_ms, recovery";

int64_t Ms(ResultTime time) { return time.time_since_epoch().count(); }
ResultTime TimeOf(int64_t ms) { return ResultTime(milliseconds(ms)); }
std::optional<ResultTime> OptionalTimeOf(std::optional<int64_t> ms) {
    if (!ms) return std::nullopt;
    return TimeOf(*ms);
}
SqliteValue OptionalMs(std::optional<ResultTime> time) {
    if (!time) return nullptr;
    return Ms(*time);
}
SqliteValue OptionalUs(std::optional<std::chrono::microseconds> duration) {
    if (!duration) return nullptr;
    return duration->count();
}
std::optional<std::chrono::microseconds> OptionalMicroseconds(std::optional<int64_t> us) {
    if (!us) return std::nullopt;
    return std::chrono::microseconds(*us);
}
int64_t Hour(std::chrono::sys_time<hours> hour) { return hour.time_since_epoch().count(); }

Outage ReadOutage(const SqliteCursor& row) {
    Outage outage;
    outage.id = OutageId{row.Int(0)};
    outage.began = TimeOf(row.Int(1));
    outage.ended = OptionalTimeOf(row.OptionalInt(2));
    outage.downResults = row.Int(3);
    outage.firstReason = row.Text(4);
    outage.lastReason = row.Text(5);
    outage.alertsSent = row.Int(6);
    outage.lastAlert = OptionalTimeOf(row.OptionalInt(7));
    outage.recovery = static_cast<Recovery>(row.Int(8));
    return outage;
}

std::vector<Outage> ReadOutages(SqliteStatement& statement, std::initializer_list<SqliteValue> values) {
    std::vector<Outage> outages;
    for (auto rows = statement.Query(values); rows.Next();) outages.push_back(ReadOutage(rows));
    return outages;
}

// SQLite says no more than "unable to open database file" when the folder
// or the file cannot be written, and the write-ahead log needs the folder.
// A file that cannot be read is said as a reader says it.
void CheckWritable(const std::filesystem::path& file) {
    if (::faccessat(AT_FDCWD, file.parent_path().c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        throw HistoryError(file, "cannot write to its folder: " + ErrnoText(errno));
    }
    if (::faccessat(AT_FDCWD, file.c_str(), R_OK, AT_EACCESS) != 0 && errno != ENOENT) {
        throw HistoryError(file, "cannot read it: " + ErrnoText(errno));
    }
    if (::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) {
        throw HistoryError(file, "cannot write to it: " + ErrnoText(errno));
    }
}

// SQLite would open a device or a pipe too, and put its journal beside it
// (as root, a /dev/null-journal that anyone may write).
void CheckRegularFile(const std::filesystem::path& file) {
    struct stat status {};
    if (::stat(file.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        throw HistoryError(file, S_ISDIR(status.st_mode) ? "it is a folder, not a file" : "it is not a regular file");
    }
}

void CheckReadable(const std::filesystem::path& file) {
    if (::faccessat(AT_FDCWD, file.c_str(), R_OK, AT_EACCESS) != 0) {
        throw HistoryError(file, "cannot read it: " + ErrnoText(errno));
    }
}

// A settings file as a watch names it: absolute, with symbolic links resolved.
std::string WatchFileName(const std::filesystem::path& settingsFile) {
    std::error_code error;
    std::filesystem::path path = std::filesystem::weakly_canonical(std::filesystem::absolute(settingsFile), error);
    if (error) path = std::filesystem::absolute(settingsFile).lexically_normal();
    return path.string();
}

// A reason as kept: its first kKeptReasonBytes, cut between two characters.
std::string KeptReason(std::string_view reason) {
    if (reason.size() <= kKeptReasonBytes) return std::string(reason);
    size_t end = 0;
    while (end < reason.size()) {
        const size_t length = std::max<size_t>(Utf8CharacterLength(reason.substr(end)), 1);
        if (end + length > kKeptReasonBytes) break;
        end += length;
    }
    return std::string(reason.substr(0, end));
}

void Add(ResultCount& sum, const ResultCount& more) {
    sum.up += more.up;
    sum.down += more.down;
}

}  // namespace

HistoryStore::HistoryStore(std::filesystem::path file, HistoryAccess access) {
    file = std::filesystem::absolute(file);
    CheckRegularFile(file);
    if (access == HistoryAccess::ReadWrite) {
        try {
            CreatePrivateFolder(file.parent_path());
        } catch (const std::system_error& error) {
            throw HistoryError(file, "cannot create its folder: " + ErrnoText(error.code().value()));
        }
        CheckWritable(file);
    } else {
        CheckReadable(file);
    }
    db_ = std::make_unique<SqliteConnection>(file, access);
    OpenSchema(access);
}

HistoryStore::~HistoryStore() = default;

const std::filesystem::path& HistoryStore::FilePath() const { return db_->File(); }

void HistoryStore::OpenSchema(HistoryAccess access) {
    const bool writer = access == HistoryAccess::ReadWrite;
    db_->Execute(("PRAGMA busy_timeout = " + std::to_string(kBusyTimeout.count())).c_str());
    if (writer) {
        // The first statement that reads the file: a file that is not a database fails here.
        db_->ExecuteWhenUnlocked("PRAGMA journal_mode = WAL", kBusyTimeout);
        db_->Execute("PRAGMA synchronous = NORMAL");
    }
    // A writer takes the write lock even when the schema is there, so that a
    // database that cannot be written says so now, not at the first result.
    SqliteTransaction transaction(*db_, writer ? TransactionKind::Write : TransactionKind::Read);
    const auto value = [&](const char* sql) {
        auto rows = db_->Statement(sql).Query();
        return rows.Next() ? rows.Int(0) : 0;
    };
    if (value("SELECT count(*) FROM sqlite_schema") == 0) {
        if (!writer) throw HistoryError(FilePath(), "the file holds no history");
        db_->Execute(kSchema);
        db_->Execute(kPauseTable);
        db_->Execute(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
        db_->Execute(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    } else if (value("PRAGMA application_id") != kApplicationId) {
        throw HistoryError(FilePath(), "the file is another program's database");
    } else if (value("PRAGMA user_version") > kSchemaVersion) {
        throw HistoryError(FilePath(), "the file was made by a newer version of Corvasse");
    } else if (writer) {
        // Added to the first version's files in place: what reads them without it ignores it.
        db_->Execute(kPauseTable);
    }
    transaction.Commit();
}

std::optional<WatchId> HistoryStore::FindWatch(const std::filesystem::path& settingsFile, std::string_view target) {
    auto rows = db_->Statement("SELECT id FROM watch WHERE settings_file = ?1 AND target = ?2")
                    .Query({WatchFileName(settingsFile), target});
    if (!rows.Next()) return std::nullopt;
    return WatchId{rows.Int(0)};
}

WatchId HistoryStore::FindOrAddWatch(const std::filesystem::path& settingsFile, std::string_view target) {
    // Only a new watch takes the write lock; another process may add the same one meanwhile.
    if (const std::optional<WatchId> known = FindWatch(settingsFile, target)) return *known;
    db_->Statement("INSERT OR IGNORE INTO watch (settings_file, target) VALUES (?1, ?2)")
        .Execute({WatchFileName(settingsFile), target});
    const std::optional<WatchId> added = FindWatch(settingsFile, target);
    if (!added) throw HistoryError(FilePath(), "the watch just added is not there");
    return *added;
}

void HistoryStore::RecordResult(WatchId watch, const WatchResult& result) {
    SqliteTransaction transaction(*db_, TransactionKind::Write);
    const ResultTime nextPrune = WriteResult(watch, result);
    transaction.Commit();
    nextPrune_ = nextPrune;
}

ResultTime HistoryStore::WriteResult(WatchId watch, const WatchResult& result) {
    // Before the result goes in: the prune is bounded by the results already stored.
    const ResultTime nextPrune = PruneIfDue(result.time);
    db_->Statement(
           "INSERT INTO result (watch_id, time_ms, state, response_us, size, reason) VALUES (?1, ?2, ?3, ?4, ?5, ?6)")
        .Execute({watch.value, Ms(result.time), static_cast<int64_t>(result.state), OptionalUs(result.responseTime),
                  OrNull(result.size), KeptReason(result.reason)});
    return nextPrune;
}

std::optional<ResultTime> HistoryStore::NewestResult(WatchId watch) {
    auto rows = db_->Statement("SELECT max(time_ms) FROM result WHERE watch_id = ?1").Query({watch.value});
    return rows.Next() ? OptionalTimeOf(rows.OptionalInt(0)) : std::nullopt;
}

ResultTime HistoryStore::PruneIfDue(ResultTime now) {
    if (nextPrune_ && now < *nextPrune_) return *nextPrune_;
    std::optional<int64_t> last;
    {
        auto rows = db_->Statement("SELECT value FROM store_state WHERE name = 'last_prune_ms'").Query();
        if (rows.Next()) last = rows.OptionalInt(0);
    }
    // A mark ahead of now was set by a clock that ran ahead: it is not waited for.
    if (last && TimeOf(*last) <= now && now - TimeOf(*last) < kPruneInterval) return TimeOf(*last) + kPruneInterval;
    std::optional<int64_t> newest;
    {
        // Through each watch's index: the newest result stored, of any watch.
        auto rows =
            db_->Statement("SELECT max((SELECT max(time_ms) FROM result WHERE result.watch_id = watch.id)) FROM watch")
                .Query();
        if (rows.Next()) newest = rows.OptionalInt(0);
    }
    db_->Statement("INSERT OR REPLACE INTO store_state (name, value) VALUES ('last_prune_ms', ?1)").Execute({Ms(now)});
    if (!newest) return now + kPruneInterval;
    // A clock that jumped ahead must not take the real results with it: what
    // goes is older than the retention both before now and before the newest
    // result already stored.
    const ResultTime cutoff = std::min(now, TimeOf(*newest)) - kResultRetention;
    db_->Statement("DELETE FROM result WHERE watch_id IN (SELECT id FROM watch) AND time_ms < ?1")
        .Execute({Ms(cutoff)});
    // Only hours whose every result is gone; the summary of the hour that
    // holds the cut-off keeps counting its removed results.
    db_->Statement("DELETE FROM result_hour WHERE watch_id IN (SELECT id FROM watch) AND hour < ?1")
        .Execute({Hour(std::chrono::floor<hours>(cutoff))});
    return now + kPruneInterval;
}

OutageState HistoryStore::ReadState(WatchId watch) {
    OutageState state;
    {
        auto rows = db_->Statement(
                           "SELECT downs_in_row, ups_in_row, first_down_ms, first_reason, last_reason FROM watch "
                           "WHERE id = ?1")
                        .Query({watch.value});
        if (rows.Next()) {
            state.streak.downsInRow = rows.Int(0);
            state.streak.upsInRow = rows.Int(1);
            state.streak.firstDown = OptionalTimeOf(rows.OptionalInt(2));
            state.streak.firstReason = rows.Text(3);
            state.streak.lastReason = rows.Text(4);
        }
    }
    std::vector<Outage> ongoing = ReadOutages(
        db_->Statement(std::string("SELECT ") + kOutageColumns +
                       " FROM outage WHERE watch_id = ?1 AND ended_ms IS NULL ORDER BY began_ms DESC LIMIT 1"),
        {watch.value});
    if (!ongoing.empty()) state.ongoing = std::move(ongoing.front());
    state.recoveryMailDue =
        ReadOutages(db_->Statement(std::string("SELECT ") + kOutageColumns +
                                   " FROM outage WHERE watch_id = ?1 AND recovery = 1 ORDER BY began_ms"),
                    {watch.value});
    const auto readPauses = [&](Outage& outage) {
        auto rows = db_->Statement("SELECT from_ms, to_ms FROM outage_pause WHERE outage_id = ?1 ORDER BY from_ms")
                        .Query({outage.id.value});
        while (rows.Next()) outage.pauses.push_back({TimeOf(rows.Int(0)), TimeOf(rows.Int(1))});
    };
    if (state.ongoing) readPauses(*state.ongoing);
    for (Outage& outage : state.recoveryMailDue) readPauses(outage);
    return state;
}

void HistoryStore::WriteState(WatchId watch, OutageState& state) {
    const WatchStreak& streak = state.streak;
    db_->Statement(
           "UPDATE watch SET downs_in_row = ?2, ups_in_row = ?3, first_down_ms = ?4, first_reason = ?5, "
           "last_reason = ?6 WHERE id = ?1")
        .Execute({watch.value, streak.downsInRow, streak.upsInRow, OptionalMs(streak.firstDown),
                  KeptReason(streak.firstReason), KeptReason(streak.lastReason)});
    auto write = [&](Outage& outage) {
        const std::string firstReason = KeptReason(outage.firstReason);
        const std::string lastReason = KeptReason(outage.lastReason);
        const std::initializer_list<SqliteValue> values = {outage.id.value,
                                                           watch.value,
                                                           Ms(outage.began),
                                                           OptionalMs(outage.ended),
                                                           outage.downResults,
                                                           firstReason,
                                                           lastReason,
                                                           outage.alertsSent,
                                                           OptionalMs(outage.lastAlert),
                                                           static_cast<int64_t>(outage.recovery)};
        if (outage.id.value != 0) {
            db_->Statement(
                   "UPDATE outage SET watch_id = ?2, began_ms = ?3, ended_ms = ?4, down_results = ?5, "
                   "first_reason = ?6, last_reason = ?7, alerts_sent = ?8, last_alert_ms = ?9, recovery = ?10 "
                   "WHERE id = ?1")
                .Execute(values);
            return;
        }
        db_->Statement(
               "INSERT INTO outage (id, watch_id, began_ms, ended_ms, down_results, first_reason, last_reason, "
               "alerts_sent, last_alert_ms, recovery) VALUES (NULL, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)")
            .Execute(values);
        outage.id = OutageId{db_->LastInsertRowId()};
    };
    const auto writePauses = [&](const Outage& outage) {
        for (const TimeRange& pause : outage.pauses) {
            db_->Statement("INSERT OR IGNORE INTO outage_pause (outage_id, from_ms, to_ms) VALUES (?1, ?2, ?3)")
                .Execute({outage.id.value, Ms(pause.from), Ms(pause.to)});
        }
    };
    if (state.ongoing) {
        write(*state.ongoing);
        writePauses(*state.ongoing);
    }
    for (Outage& outage : state.recoveryMailDue) write(outage);
}

void HistoryStore::MarkAlertSent(OutageId outage, ResultTime when) {
    db_->Statement(
           "UPDATE outage SET alerts_sent = alerts_sent + 1, last_alert_ms = max(coalesce(last_alert_ms, ?2), ?2) "
           "WHERE id = ?1")
        .Execute({outage.value, Ms(when)});
}

void HistoryStore::MarkAlertHandedOver(OutageId outage, ResultTime when) {
    db_->Statement("UPDATE outage SET last_alert_ms = ?2 WHERE id = ?1 AND alerts_sent = 0")
        .Execute({outage.value, Ms(when)});
}

void HistoryStore::ClearAlertHandedOver(OutageId outage) {
    db_->Statement("UPDATE outage SET last_alert_ms = NULL WHERE id = ?1 AND alerts_sent = 0").Execute({outage.value});
}

void HistoryStore::MarkRecoverySent(OutageId outage) {
    db_->Statement("UPDATE outage SET recovery = 2 WHERE id = ?1 AND recovery = 1").Execute({outage.value});
}

OutageState HistoryStore::CurrentState(WatchId watch) {
    SqliteTransaction transaction(*db_, TransactionKind::Read);
    OutageState state = ReadState(watch);
    transaction.Commit();
    return state;
}

bool HistoryStore::HasResults(WatchId watch) {
    return db_->Statement("SELECT 1 FROM result WHERE watch_id = ?1 LIMIT 1").Query({watch.value}).Next();
}

void HistoryStore::VisitResults(WatchId watch, TimeRange range, const std::function<void(const WatchResult&)>& visit) {
    auto rows = db_->Statement(
                       "SELECT time_ms, state, response_us, size, reason FROM result "
                       "WHERE watch_id = ?1 AND time_ms >= ?2 AND time_ms < ?3 ORDER BY time_ms")
                    .Query({watch.value, Ms(range.from), Ms(range.to)});
    while (rows.Next()) {
        visit(WatchResult{TimeOf(rows.Int(0)), static_cast<ResultState>(rows.Int(1)),
                          OptionalMicroseconds(rows.OptionalInt(2)), rows.OptionalInt(3), rows.Text(4)});
    }
}

ResultCount HistoryStore::CountRaw(WatchId watch, TimeRange range) {
    auto rows = db_->Statement(
                       "SELECT total(state = 1), total(state = 0) FROM result "
                       "WHERE watch_id = ?1 AND time_ms >= ?2 AND time_ms < ?3")
                    .Query({watch.value, Ms(range.from), Ms(range.to)});
    rows.Next();
    return ResultCount{rows.Int(0), rows.Int(1)};
}

ResultCount HistoryStore::CountResults(WatchId watch, TimeRange range) {
    // The whole hours inside the range from the summary, the rest at either end from the results.
    const auto firstHour = std::chrono::ceil<hours>(range.from);
    const auto endHour = std::chrono::floor<hours>(range.to);
    if (firstHour >= endHour) return CountRaw(watch, range);
    SqliteTransaction transaction(*db_, TransactionKind::Read);
    ResultCount count = CountRaw(watch, {range.from, firstHour});
    Add(count, CountRaw(watch, {endHour, range.to}));
    {
        auto rows = db_->Statement(
                           "SELECT total(up), total(down) FROM result_hour "
                           "WHERE watch_id = ?1 AND hour >= ?2 AND hour < ?3")
                        .Query({watch.value, Hour(firstHour), Hour(endHour)});
        rows.Next();
        Add(count, ResultCount{rows.Int(0), rows.Int(1)});
    }
    transaction.Commit();
    return count;
}

std::vector<Outage> HistoryStore::Outages(WatchId watch, TimeRange range) {
    return ReadOutages(db_->Statement(std::string("SELECT ") + kOutageColumns +
                                      " FROM outage WHERE watch_id = ?1 AND began_ms < ?3 "
                                      "AND (ended_ms IS NULL OR ended_ms > ?2) ORDER BY began_ms DESC"),
                       {watch.value, Ms(range.from), Ms(range.to)});
}

std::vector<ResponseBucket> HistoryStore::ResponseBuckets(WatchId watch, TimeRange range, int maxBuckets) {
    if (maxBuckets < 1 || range.to <= range.from) return {};
    const auto widthFor = [&](ResultTime start) {
        return (range.to - start + milliseconds(maxBuckets - 1)) / maxBuckets;
    };
    std::vector<ResponseBucket> buckets;
    ResultTime start = range.from;
    milliseconds width = widthFor(start);
    const auto read = [&](SqliteCursor& rows) {
        while (rows.Next()) {
            const ResultTime begin = start + rows.Int(0) * width;
            buckets.push_back(ResponseBucket{{begin, begin + width},
                                             {rows.Int(1), rows.Int(2)},
                                             OptionalMicroseconds(rows.OptionalInt(3)),
                                             OptionalMicroseconds(rows.OptionalInt(4))});
        }
    };
    if (width < hours(1)) {
        auto rows = db_->Statement(
                           "SELECT (time_ms - ?2) / ?4 AS bucket, total(state = 1), total(state = 0), "
                           "min(iif(state = 1, response_us, NULL)), max(iif(state = 1, response_us, NULL)) "
                           "FROM result WHERE watch_id = ?1 AND time_ms >= ?2 AND time_ms < ?3 "
                           "GROUP BY bucket ORDER BY bucket")
                        .Query({watch.value, Ms(range.from), Ms(range.to), width.count()});
        read(rows);
        return buckets;
    }
    // A bucket of whole hours, summed from the hourly summary.
    const auto startHour = std::chrono::floor<hours>(range.from);
    start = startHour;
    width = std::chrono::ceil<hours>(widthFor(start));
    auto rows = db_->Statement(
                       "SELECT (hour - ?2) / ?4 AS bucket, total(up), total(down), min(min_response_us), "
                       "max(max_response_us) FROM result_hour WHERE watch_id = ?1 AND hour >= ?2 AND hour < ?3 "
                       "GROUP BY bucket ORDER BY bucket")
                    .Query({watch.value, Hour(startHour), Hour(std::chrono::ceil<hours>(range.to)),
                            std::chrono::duration_cast<hours>(width).count()});
    read(rows);
    return buckets;
}

bool HistoryStore::CertificateWarningSent(WatchId watch, const CertificateWarning& warning) {
    auto rows = db_->Statement(
                       "SELECT 1 FROM certificate_warning WHERE watch_id = ?1 AND issuer = ?2 AND serial = ?3 "
                       "AND kind = ?4")
                    .Query({watch.value, warning.issuer, warning.serial, static_cast<int64_t>(warning.kind)});
    return rows.Next();
}

void HistoryStore::MarkCertificateWarningSent(WatchId watch, const CertificateWarning& warning, ResultTime when) {
    db_->Statement(
           "INSERT OR REPLACE INTO certificate_warning (watch_id, issuer, serial, kind, sent_ms) "
           "VALUES (?1, ?2, ?3, ?4, ?5)")
        .Execute({watch.value, warning.issuer, warning.serial, static_cast<int64_t>(warning.kind), Ms(when)});
}

}  // namespace corvasse
