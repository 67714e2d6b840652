#pragma once
// The history: every watch result, the outages, and what the outage model
// has to remember between runs, in one SQLite database that several
// processes (windows, services, the plugin) may use at once.
//
// - Tables: the watches (a settings file and the address or host it
//   watches), one row per result, an hourly summary of the results kept by
//   a trigger (their counts and the range of response times, so that a year
//   is summed from 8,784 rows instead of 525,600), the outages, and the
//   certificate warnings already sent.
// - Write-ahead log, synchronous=NORMAL: each write is one transaction, and
//   a process killed at any moment leaves a whole database that holds every
//   transaction it committed. (A power cut may lose what was committed since
//   the last checkpoint, never the database.) A writer waits for another up
//   to kBusyTimeout; readers never wait.
// - Results older than kResultRetention go, once a day, with the first
//   result recorded that day: older both than the result's time and than
//   the newest result already stored, so that a clock that jumps ahead takes
//   nothing real with it. A day's mark that lies ahead of the clock (set
//   while it ran ahead) is not waited for.
// - A reason is kept to its first kKeptReasonBytes (cut between two UTF-8
//   characters): a server's error page is no reason to grow by 16 KB a result.
// - Every failure throws HistoryError with the file's path and the reason: a
//   file that is not a database, another program's database, one of a newer
//   Corvasse, a folder or file that cannot be written, a full disk.
// - Use one object per thread.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "core/history_records.h"
#include "history/history_access.h"

namespace corvasse {

class SqliteConnection;

// The file's name in the default folder.
inline constexpr const char* kHistoryFileName = "history.sqlite3";
inline constexpr std::chrono::days kResultRetention{400};
inline constexpr std::chrono::hours kPruneInterval{24};
inline constexpr std::chrono::milliseconds kBusyTimeout{10000};
inline constexpr size_t kKeptReasonBytes = 1024;

class HistoryStore {
public:
    // Opens the database. To read and write, it and its folder (mode 0700)
    // are created when missing, and it is checked that they can be written.
    // Read-only, the file must be there; nothing is created or written and
    // no write lock taken (the queries only: the rest throws). Throws
    // HistoryError.
    explicit HistoryStore(std::filesystem::path file, HistoryAccess access = HistoryAccess::ReadWrite);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // $XDG_STATE_HOME/Corvasse/history.sqlite3, or
    // $HOME/.local/state/Corvasse/history.sqlite3 when XDG_STATE_HOME is
    // unset, empty or not an absolute path; nothing when HOME is unset too.
    static std::optional<std::filesystem::path> UserFile();
    // UserFile(), or .local/state/Corvasse/history.sqlite3 in the working
    // directory without one.
    static std::filesystem::path DefaultFile();

    const std::filesystem::path& FilePath() const;

    // The watch of a settings file (by its absolute path, symbolic links
    // resolved) and the address or host it watches; added at its first use.
    WatchId FindOrAddWatch(const std::filesystem::path& settingsFile, std::string_view target);
    // The same watch when it was ever added; a query only, for readers.
    std::optional<WatchId> FindWatch(const std::filesystem::path& settingsFile, std::string_view target);

    // Records one result, the watch's outage state left as it is (see
    // ResultRecording for a result that changes it).
    void RecordResult(WatchId watch, const WatchResult& result);

    // An alert or reminder of the outage went out at that moment.
    void MarkAlertSent(OutageId outage, ResultTime when);
    // The outage's recovery mail went out.
    void MarkRecoverySent(OutageId outage);
    // The message of the outage's first alert was handed over to the server
    // at that moment, or (Clear) the server refused it; nothing once an alert
    // counts as sent.
    void MarkAlertHandedOver(OutageId outage, ResultTime when);
    void ClearAlertHandedOver(OutageId outage);

    // The watch's outage state as the last result left it.
    OutageState CurrentState(WatchId watch);

    // Whether the watch has any result at all.
    bool HasResults(WatchId watch);

    // Calls visit with every result of the range, oldest first.
    void VisitResults(WatchId watch, TimeRange range, const std::function<void(const WatchResult&)>& visit);

    // The up and down results of the range: the uptime.
    ResultCount CountResults(WatchId watch, TimeRange range);

    // The outages that overlap the range, ongoing included, newest first.
    std::vector<Outage> Outages(WatchId watch, TimeRange range);

    // The range cut into at most maxBuckets buckets of equal length, each
    // with its results' counts and response-time range; buckets without
    // results are left out. A bucket of an hour or more covers whole UTC
    // hours (from the summary), so the first may begin up to an hour before
    // the range and the last end up to an hour after it.
    std::vector<ResponseBucket> ResponseBuckets(WatchId watch, TimeRange range, int maxBuckets);

    bool CertificateWarningSent(WatchId watch, const CertificateWarning& warning);
    void MarkCertificateWarningSent(WatchId watch, const CertificateWarning& warning, ResultTime when);

private:
    friend class ResultRecording;

    void OpenSchema(HistoryAccess access);
    // Prunes when a day has passed since the last prune; when the next is due.
    ResultTime PruneIfDue(ResultTime now);
    // Prunes when due and inserts the result, in the caller's write
    // transaction; when the next prune is due.
    ResultTime WriteResult(WatchId watch, const WatchResult& result);
    std::optional<ResultTime> NewestResult(WatchId watch);
    OutageState ReadState(WatchId watch);
    void WriteState(WatchId watch, OutageState& state);
    ResultCount CountRaw(WatchId watch, TimeRange range);

    std::unique_ptr<SqliteConnection> db_;
    // No prune is due before then; learnt from the database at the first result.
    std::optional<ResultTime> nextPrune_;
};

}  // namespace corvasse
