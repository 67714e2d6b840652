#pragma once
// The records the history keeps and answers with: watch results, outages,
// a watch's current run of results, and what the queries sum up.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvasse {

// A moment as the history stores it: UTC, in whole milliseconds.
using ResultTime = std::chrono::sys_time<std::chrono::milliseconds>;

inline ResultTime ResultTimeNow() {
    return std::chrono::floor<std::chrono::milliseconds>(std::chrono::system_clock::now());
}

// From `from` up to, not including, `to`.
struct TimeRange {
    ResultTime from;
    ResultTime to;
};

struct WatchId {
    int64_t value = 0;
    bool operator==(const WatchId&) const = default;
};

struct OutageId {
    int64_t value = 0;  // 0: not stored yet
    bool operator==(const OutageId&) const = default;
};

// The numbers are what the database holds.
enum class ResultState {
    Down = 0,
    Up = 1,
    // Neither: the watch could not tell (this computer was offline). It
    // counts for nothing: not in the uptime, not towards an outage.
    Unknown = 2,
};

struct WatchResult {
    ResultTime time;
    ResultState state = ResultState::Up;
    std::optional<std::chrono::microseconds> responseTime;
    std::optional<int64_t> size;  // bytes of the page
    std::string reason;           // why it was down; empty when up
};

// The results in a row of one kind since the last result of the other kind
// (unknown results are skipped), and for the downs in a row, when they began
// and their reasons: what an outage starts from when it begins.
struct WatchStreak {
    int64_t downsInRow = 0;
    int64_t upsInRow = 0;
    std::optional<ResultTime> firstDown;
    std::string firstReason;
    std::string lastReason;
};

// What became of an outage's recovery notice. The numbers are what the
// database holds.
enum class Recovery {
    Pending = 0,   // the outage goes on
    MailDue = 1,   // ended; the recovery mail has not gone out yet
    MailSent = 2,  // ended; the recovery mail went out
    NoMail = 3,    // ended; no mail is to go out (no alert went out, or none is wanted)
};

struct Outage {
    OutageId id;
    // The first down result of the run that became the outage.
    ResultTime began;
    // The up result that ended it; none while it goes on.
    std::optional<ResultTime> ended;
    // Every down result of the outage, those before it began to count included.
    int64_t downResults = 0;
    std::string firstReason;
    std::string lastReason;
    // The alert and the reminders that went out, and when the last of them did.
    // Before the first alert counts as sent, lastAlert is when its message was
    // handed over to the server: it may have arrived.
    int64_t alertsSent = 0;
    std::optional<ResultTime> lastAlert;
    bool AlertHandedOver() const { return alertsSent == 0 && lastAlert.has_value(); }
    Recovery recovery = Recovery::Pending;
    // When watching was off while it lasted, oldest first: from the last
    // result before to the moment watching began again. Kept for the
    // outage model (the readers' queries leave them out).
    std::vector<TimeRange> pauses;
};

// What the outage model of one watch works from.
struct OutageState {
    WatchStreak streak;
    // The outage that goes on. One that a result has just ended stays here
    // with its end until the state is written; read back, it is gone.
    std::optional<Outage> ongoing;
    // Ended outages whose recovery mail is due, oldest first.
    std::vector<Outage> recoveryMailDue;
    // The time of the watch's newest result before the one being recorded.
    std::optional<ResultTime> newestResult;
};

// Up and down results of a time range; unknown results are not counted.
struct ResultCount {
    int64_t up = 0;
    int64_t down = 0;
};

// The results of one stretch of time in a chart column: their counts and
// the range of the response times of the up results.
struct ResponseBucket {
    TimeRange time;
    ResultCount count;
    std::optional<std::chrono::microseconds> minResponse;
    std::optional<std::chrono::microseconds> maxResponse;
};

// Which of the two warnings about a certificate's end of validity.
enum class CertificateWarningKind {
    Expiring = 0,  // within the days asked for
    LastDay = 1,   // one day or less left
};

// A warning about one certificate, told apart by its issuer and serial number.
struct CertificateWarning {
    std::string issuer;
    std::string serial;
    CertificateWarningKind kind = CertificateWarningKind::Expiring;
};

}  // namespace corvasse
