#include "history/history_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "history/history_error.h"
#include "history/result_recording.h"
#include "history/sqlite_connection.h"
#include "support/expect_throw.h"
#include "support/read_only_folder.h"
#include "support/recorded_outage.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"
#include "support/watch_results.h"

namespace corvasse {
namespace {

using std::chrono::days, std::chrono::hours, std::chrono::minutes, std::chrono::milliseconds;
using test::kDayStart;

std::vector<WatchResult> AllResults(HistoryStore& store, WatchId watch) {
    std::vector<WatchResult> results;
    store.VisitResults(watch, {ResultTime{}, ResultTime::max()}, [&](const WatchResult& r) { results.push_back(r); });
    return results;
}

class HistoryStoreTest : public ::testing::Test {
protected:
    test::TempDir temp_;
    std::filesystem::path file_ = temp_.Path() / "state" / "Corvasse" / kHistoryFileName;
    HistoryStore store_{file_};
    WatchId watch_ = store_.FindOrAddWatch(temp_.Path() / "Corvasse.conf", "http://shop.example/");
};

TEST(HistoryFileTest, DefaultFileFollowsXdgStateHome) {
    const std::string home = std::getenv("HOME");
    const struct {
        std::optional<std::string> stateHome;
        std::string file;
    } rows[] = {
        {"/tmp/state", "/tmp/state/Corvasse/history.sqlite3"},
        {std::nullopt, home + "/.local/state/Corvasse/history.sqlite3"},
        {"", home + "/.local/state/Corvasse/history.sqlite3"},
        {"relative/state", home + "/.local/state/Corvasse/history.sqlite3"},
    };
    for (const auto& row : rows) {
        test::ScopedEnvironment stateHome("XDG_STATE_HOME", row.stateHome);
        EXPECT_EQ(HistoryStore::DefaultFile(), row.file) << row.stateHome.value_or("(unset)");
    }
}

TEST_F(HistoryStoreTest, MakesAPrivateFolderAndKeepsWhatItWasGiven) {
    struct stat folder {};
    ASSERT_EQ(::stat(file_.parent_path().c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);

    store_.RecordResult(watch_, test::Up(kDayStart));
    HistoryStore reopened(file_);
    EXPECT_EQ(reopened.FindOrAddWatch(temp_.Path() / "Corvasse.conf", "http://shop.example/"), watch_);
    EXPECT_EQ(AllResults(reopened, watch_).size(), 1u);
}

TEST_F(HistoryStoreTest, AWatchIsItsSettingsFileAndItsAddress) {
    const std::filesystem::path settings = temp_.Path() / "Corvasse.conf";
    test::WriteFile(settings, "");
    std::filesystem::create_symlink(settings, temp_.Path() / "link.conf");
    {
        test::ScopedWorkingDir inTemp(temp_.Path());
        EXPECT_EQ(store_.FindOrAddWatch("Corvasse.conf", "http://shop.example/"), watch_);
        EXPECT_EQ(store_.FindOrAddWatch("./link.conf", "http://shop.example/"), watch_);
    }
    EXPECT_EQ(store_.FindWatch(settings, "http://shop.example/other"), std::nullopt);
    EXPECT_NE(store_.FindOrAddWatch(settings, "http://shop.example/other"), watch_);
    EXPECT_EQ(store_.FindWatch(settings, "http://shop.example/other"),
              store_.FindOrAddWatch(settings, "http://shop.example/other"));
    EXPECT_NE(store_.FindOrAddWatch(temp_.Path() / "shop.conf", "http://shop.example/"), watch_);
}

TEST_F(HistoryStoreTest, ResultsComeBackWholeInTimeOrderWithinTheRange) {
    const WatchResult late = test::Down(kDayStart + minutes(2), "Read Timeout");
    const WatchResult early = test::Up(kDayStart, std::chrono::microseconds(12345), 2043);
    const WatchResult offline = test::Unknown(kDayStart + minutes(1));
    const WatchResult ping = test::Up(kDayStart + minutes(3), milliseconds(3), std::nullopt);
    for (const WatchResult& result : {late, early, offline, ping}) store_.RecordResult(watch_, result);
    store_.RecordResult(store_.FindOrAddWatch("/other.conf", "host"), test::Up(kDayStart + minutes(1)));

    std::vector<WatchResult> seen;
    store_.VisitResults(watch_, {kDayStart, kDayStart + minutes(3)}, [&](const WatchResult& r) { seen.push_back(r); });
    ASSERT_EQ(seen.size(), 3u);  // the range's end is not in it
    for (const auto& [got, want] : {std::pair{seen[0], early}, {seen[1], offline}, {seen[2], late}}) {
        EXPECT_EQ(got.time, want.time);
        EXPECT_EQ(got.state, want.state);
        EXPECT_EQ(got.responseTime, want.responseTime);
        EXPECT_EQ(got.size, want.size);
        EXPECT_EQ(got.reason, want.reason);
    }
    EXPECT_EQ(AllResults(store_, watch_).back().size, std::nullopt);
}

// Results at random moments over three days, so that ranges and buckets meet
// them at every kind of edge; checked against sums made here.
class HistorySummaryTest : public HistoryStoreTest {
protected:
    void SetUp() override {
        std::mt19937 random(20261208);
        ResultTime time = kDayStart;
        while (time < kDayStart + days(3)) {
            time += milliseconds(1000 + random() % 300000);
            const unsigned kind = random() % 20;
            WatchResult result = kind == 0   ? test::Down(time)
                                 : kind == 1 ? test::Unknown(time)
                                             : test::Up(time, std::chrono::microseconds(1000 + random() % 900000));
            results_.push_back(result);
        }
        // Recorded out of order, as two processes might.
        std::vector<WatchResult> shuffled = results_;
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        for (const WatchResult& result : shuffled) store_.RecordResult(watch_, result);
    }

    ResultCount Expected(TimeRange range) const {
        ResultCount count;
        for (const WatchResult& r : results_) {
            if (r.time < range.from || r.time >= range.to) continue;
            if (r.state == ResultState::Up) ++count.up;
            if (r.state == ResultState::Down) ++count.down;
        }
        return count;
    }

    std::vector<WatchResult> results_;
};

TEST_F(HistorySummaryTest, CountsAreTheUpAndDownResultsOfAnyRange) {
    std::mt19937 random(7);
    std::vector<TimeRange> ranges = {{kDayStart, kDayStart + days(3)},
                                     {kDayStart + hours(5), kDayStart + hours(6)},
                                     {kDayStart + minutes(90), kDayStart + minutes(100)},
                                     {kDayStart - days(1), kDayStart + days(10)},
                                     {kDayStart + hours(1), kDayStart + hours(1)}};
    for (int i = 0; i < 300; ++i) {
        const ResultTime from = kDayStart + milliseconds(random() % (3LL * 86400000));
        ranges.push_back({from, from + milliseconds(random() % (2LL * 86400000))});
    }
    for (const TimeRange& range : ranges) {
        const ResultCount got = store_.CountResults(watch_, range);
        const ResultCount want = Expected(range);
        ASSERT_EQ(got.up, want.up) << range.from.time_since_epoch().count() << " "
                                   << range.to.time_since_epoch().count();
        ASSERT_EQ(got.down, want.down);
    }
    const ResultCount none = store_.CountResults(watch_, {kDayStart - days(2), kDayStart});
    EXPECT_EQ(none.up + none.down, 0);
}

TEST_F(HistorySummaryTest, BucketsHoldTheMinimumAndMaximumOfEachColumn) {
    const struct {
        TimeRange range;
        int maxBuckets;
    } rows[] = {
        {{kDayStart, kDayStart + days(1)}, 1000},                 // 87 s each, from the results
        {{kDayStart + minutes(7), kDayStart + hours(3)}, 7},      // uneven width
        {{kDayStart + minutes(7), kDayStart + days(3)}, 50},      // whole hours, from the summary
        {{kDayStart - days(1), kDayStart + days(4)}, 2000},       // one hour each
        {{kDayStart + minutes(30), kDayStart + minutes(31)}, 1},  // one bucket
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.maxBuckets);
        const std::vector<ResponseBucket> buckets = store_.ResponseBuckets(watch_, row.range, row.maxBuckets);
        ASSERT_FALSE(buckets.empty());
        EXPECT_LE(static_cast<int>(buckets.size()), row.maxBuckets);
        const auto width = buckets.front().time.to - buckets.front().time.from;
        int64_t counted = 0;
        for (size_t i = 0; i < buckets.size(); ++i) {
            const ResponseBucket& bucket = buckets[i];
            EXPECT_EQ(bucket.time.to - bucket.time.from, width);
            if (i > 0) {
                EXPECT_GE(bucket.time.from, buckets[i - 1].time.to);
            }
            // Never more than an hour beyond the range asked for.
            EXPECT_GT(bucket.time.to, row.range.from);
            EXPECT_LT(bucket.time.from, row.range.to);
            EXPECT_GE(bucket.time.from, row.range.from - hours(1));
            EXPECT_LE(bucket.time.to, row.range.to + width);

            // Buckets of whole hours hold all of each hour; shorter ones only what is in the range.
            TimeRange inside = bucket.time;
            if (width < hours(1)) inside = {std::max(inside.from, row.range.from), std::min(inside.to, row.range.to)};
            std::optional<std::chrono::microseconds> min, max;
            for (const WatchResult& r : results_) {
                if (r.time < inside.from || r.time >= inside.to || r.state != ResultState::Up) continue;
                min = std::min(min.value_or(*r.responseTime), *r.responseTime);
                max = std::max(max.value_or(*r.responseTime), *r.responseTime);
            }
            const ResultCount want = Expected(inside);
            EXPECT_EQ(bucket.count.up, want.up);
            EXPECT_EQ(bucket.count.down, want.down);
            EXPECT_EQ(bucket.minResponse, min);
            EXPECT_EQ(bucket.maxResponse, max);
            counted += bucket.count.up + bucket.count.down;
        }
        if (width < hours(1)) {
            const ResultCount all = Expected(row.range);
            EXPECT_EQ(counted, all.up + all.down);
        }
    }
    EXPECT_TRUE(store_.ResponseBuckets(watch_, {kDayStart - days(2), kDayStart}, 100).empty());
}

TEST_F(HistoryStoreTest, OutageStateIsWrittenReadBackAndMarkedSent) {
    ResultRecording first(store_, watch_);
    OutageState state = first.State();
    EXPECT_EQ(state.streak.downsInRow, 0);
    EXPECT_FALSE(state.ongoing);
    state.streak = {3, 0, kDayStart - minutes(2), "refused", "timeout"};
    state.ongoing = Outage{};
    state.ongoing->began = kDayStart - minutes(2);
    state.ongoing->downResults = 3;
    state.ongoing->firstReason = "refused";
    state.ongoing->lastReason = "timeout";
    const OutageState written = first.Commit(test::Down(kDayStart), state);
    ASSERT_TRUE(written.ongoing);
    const OutageId id = written.ongoing->id;
    EXPECT_NE(id.value, 0);

    store_.MarkAlertSent(id, kDayStart + minutes(5));
    store_.MarkAlertSent(id, kDayStart + minutes(1));  // an older one does not set the time back
    state = store_.CurrentState(watch_);
    EXPECT_EQ(state.streak.downsInRow, 3);
    EXPECT_EQ(state.streak.firstDown, kDayStart - minutes(2));
    EXPECT_EQ(state.streak.lastReason, "timeout");
    ASSERT_TRUE(state.ongoing);
    EXPECT_EQ(state.ongoing->id, id);
    EXPECT_EQ(state.ongoing->alertsSent, 2);
    EXPECT_EQ(state.ongoing->lastAlert, kDayStart + minutes(5));
    EXPECT_EQ(state.ongoing->firstReason, "refused");

    store_.MarkRecoverySent(id);  // not due: stays as it is
    {
        ResultRecording ending(store_, watch_);
        state = ending.State();
        EXPECT_EQ(state.newestResult, kDayStart);
        state.ongoing->ended = kDayStart + hours(1);
        state.ongoing->recovery = Recovery::MailDue;
        ending.Commit(test::Up(kDayStart + hours(1)), state);
    }
    state = store_.CurrentState(watch_);
    EXPECT_FALSE(state.ongoing);
    ASSERT_EQ(state.recoveryMailDue.size(), 1u);
    EXPECT_EQ(state.recoveryMailDue[0].ended, kDayStart + hours(1));
    store_.MarkRecoverySent(id);
    EXPECT_TRUE(store_.CurrentState(watch_).recoveryMailDue.empty());
    EXPECT_EQ(store_.Outages(watch_, {kDayStart, kDayStart + days(1)}).at(0).recovery, Recovery::MailSent);
}

TEST_F(HistoryStoreTest, OutagesOverlappingTheRangeNewestFirst) {
    const auto add = [&](hours began, std::optional<hours> ended) {
        const std::optional<ResultTime> end = ended ? std::optional(kDayStart + *ended) : std::nullopt;
        test::RecordOutage(store_, watch_, kDayStart + began, end, 1, "refused");
    };
    add(hours(1), hours(2));
    add(hours(5), hours(6));
    add(hours(10), std::nullopt);
    const auto began = [&](TimeRange range) {
        std::vector<int64_t> hoursBegan;
        for (const Outage& outage : store_.Outages(watch_, range)) {
            hoursBegan.push_back(std::chrono::floor<hours>(outage.began - kDayStart).count());
        }
        return hoursBegan;
    };
    EXPECT_EQ(began({kDayStart, kDayStart + days(1)}), (std::vector<int64_t>{10, 5, 1}));
    EXPECT_EQ(began({kDayStart + minutes(90), kDayStart + minutes(330)}), (std::vector<int64_t>{5, 1}));
    EXPECT_EQ(began({kDayStart + hours(2), kDayStart + hours(5)}), (std::vector<int64_t>{}));
    EXPECT_EQ(began({kDayStart + days(20), kDayStart + days(21)}), (std::vector<int64_t>{10}));
    EXPECT_TRUE(store_.Outages(store_.FindOrAddWatch("/other.conf", "x"), {kDayStart, kDayStart + days(1)}).empty());
}

TEST_F(HistoryStoreTest, ResultsOlderThanTheRetentionGoOnceADay) {
    const ResultTime now = kDayStart + days(500);
    const ResultTime halfDayLater = kDayStart + days(99) + hours(12);
    for (const ResultTime time : {kDayStart, halfDayLater, kDayStart + days(200), now - hours(24)}) {
        store_.RecordResult(watch_, test::Up(time));  // each a new day: nothing is that old yet
    }
    store_.RecordResult(watch_, test::Up(now));  // a new day: 400 days before the newest stored go
    EXPECT_EQ(AllResults(store_, watch_).size(), 4u);
    EXPECT_EQ(store_.CountResults(watch_, {kDayStart - days(1), kDayStart + days(1)}).up, 0);

    // Within the day nothing more goes, in this process or another.
    store_.RecordResult(watch_, test::Up(now + hours(23)));
    HistoryStore other(file_);
    other.RecordResult(watch_, test::Up(now + hours(23) + minutes(59)));
    EXPECT_EQ(AllResults(store_, watch_).front().time, halfDayLater);

    other.RecordResult(watch_, test::Up(now + hours(24)));
    std::vector<WatchResult> kept = AllResults(store_, watch_);
    ASSERT_EQ(kept.size(), 6u);
    EXPECT_EQ(kept.front().time, kDayStart + days(200));

    // A clock two years ahead, for a day: nothing real goes, in this process or another.
    store_.RecordResult(watch_, test::Up(now + days(730)));
    other.RecordResult(watch_, test::Up(now + days(730) + hours(23)));
    EXPECT_EQ(AllResults(store_, watch_).size(), 8u);
    // The clock is right again: its next day prunes as ever, not two years later.
    store_.RecordResult(watch_, test::Up(now + days(2)));
    HistoryStore(file_).RecordResult(watch_, test::Up(now + days(101)));
    kept = AllResults(store_, watch_);
    ASSERT_EQ(kept.size(), 9u);
    EXPECT_EQ(kept.front().time, now - hours(24));
}

TEST_F(HistoryStoreTest, AReasonIsKeptToOneKibCutBetweenCharacters) {
    std::string euros = "x";
    while (euros.size() < 16000) euros += "\xE2\x82\xAC";  // 3 bytes each: 1024 falls inside one
    {
        ResultRecording recording(store_, watch_);
        OutageState state = recording.State();
        state.streak.firstReason = state.streak.lastReason = euros;
        state.ongoing.emplace();
        state.ongoing->firstReason = state.ongoing->lastReason = euros;
        recording.Commit(test::Down(kDayStart, euros), state);
    }
    const OutageState state = store_.CurrentState(watch_);
    for (const std::string& reason : {AllResults(store_, watch_).front().reason, state.streak.firstReason,
                                      state.streak.lastReason, state.ongoing->firstReason, state.ongoing->lastReason})
        EXPECT_EQ(reason, euros.substr(0, 1 + 341 * 3));
}

TEST_F(HistoryStoreTest, CertificateWarningsAreKeptPerWatchCertificateAndKind) {
    const CertificateWarning soon{"CN=Test CA", "0A1B", CertificateWarningKind::Expiring};
    const CertificateWarning lastDay{"CN=Test CA", "0A1B", CertificateWarningKind::LastDay};
    const CertificateWarning renewed{"CN=Test CA", "0A1C", CertificateWarningKind::Expiring};
    const WatchId other = store_.FindOrAddWatch("/other.conf", "https://shop.example/");
    EXPECT_FALSE(store_.CertificateWarningSent(watch_, soon));
    store_.MarkCertificateWarningSent(watch_, soon, kDayStart);
    store_.MarkCertificateWarningSent(watch_, soon, kDayStart + days(1));
    EXPECT_TRUE(store_.CertificateWarningSent(watch_, soon));
    EXPECT_FALSE(store_.CertificateWarningSent(watch_, lastDay));
    EXPECT_FALSE(store_.CertificateWarningSent(watch_, renewed));
    EXPECT_FALSE(store_.CertificateWarningSent(other, soon));
}

TEST(HistoryErrorTest, ADatabaseThatCannotBeUsedSaysWhereAndWhy) {
    test::TempDir temp;
    const std::filesystem::path folder = temp.Path() / "Corvasse";
    const std::filesystem::path missing = temp.Path() / "missing" / kHistoryFileName;
    const std::filesystem::path empty = temp.Path() / "empty.sqlite3";
    const std::filesystem::path device = temp.Path() / "null", loop = temp.Path() / "loop";
    ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0) << "needs root, as the suite does";
    std::filesystem::create_symlink(loop, loop);
    const struct {
        const char* name;
        std::function<std::filesystem::path()> prepare;
        std::string reason;
        HistoryAccess access = HistoryAccess::ReadWrite;
    } rows[] = {
        {"text file",
         [&] {
             test::WriteFile(folder / "notes.txt", std::string(5000, 'x'));
             return folder / "notes.txt";
         },
         "file is not a database"},
        {"another program's database",
         [&] {
             SqliteConnection(folder / "other.db").Execute("CREATE TABLE bookmarks (url TEXT)");
             return folder / "other.db";
         },
         "the file is another program's database"},
        {"a newer Corvasse's database",
         [&] {
             { HistoryStore made(folder / "newer.sqlite3"); }
             SqliteConnection(folder / "newer.sqlite3").Execute("PRAGMA user_version = 2");
             return folder / "newer.sqlite3";
         },
         "the file was made by a newer version of Corvasse"},
        {"damaged pages",
         [&] {
             {
                 HistoryStore made(folder / "damaged.sqlite3");
                 const WatchId watch = made.FindOrAddWatch("/x.conf", "http://x/");
                 for (int i = 0; i < 2000; ++i) made.RecordResult(watch, test::Down(kDayStart + minutes(i)));
             }
             const std::string file = test::ReadFile(folder / "damaged.sqlite3");
             test::WriteFile(folder / "damaged.sqlite3", file.substr(0, 8192) + std::string(file.size() - 8192, 'Z'));
             return folder / "damaged.sqlite3";
         },
         "database disk image is malformed"},
        {"a file where its folder should be",
         [&] {
             test::WriteFile(temp.Path() / "blocker", "");
             return temp.Path() / "blocker" / "Corvasse" / kHistoryFileName;
         },
         "cannot create its folder: Not a directory"},
        // Reading creates nothing.
        {"missing, to read", [&] { return missing; }, "cannot read it: No such file or directory",
         HistoryAccess::ReadOnly},
        {"empty, to read",
         [&] {
             test::WriteFile(empty, "");
             return empty;
         },
         "the file holds no history", HistoryAccess::ReadOnly},
        // What cannot be opened gives readers and writers one reason.
        {"a folder", [&] { return temp.Path(); }, "it is a folder, not a file"},
        {"a folder, to read", [&] { return temp.Path(); }, "it is a folder, not a file", HistoryAccess::ReadOnly},
        {"a device", [&] { return device; }, "it is not a regular file"},
        {"a device, to read", [&] { return device; }, "it is not a regular file", HistoryAccess::ReadOnly},
        {"a link loop", [&] { return loop; }, "cannot read it: Too many levels of symbolic links"},
        {"a link loop, to read", [&] { return loop; }, "cannot read it: Too many levels of symbolic links",
         HistoryAccess::ReadOnly},
    };
    std::filesystem::create_directory(folder);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::filesystem::path file = row.prepare();
        test::ExpectThrowWithMessage<HistoryError>(
            [&] {
                HistoryStore store(file, row.access);
                if (row.access == HistoryAccess::ReadOnly) return;
                const WatchId watch = store.FindOrAddWatch("/x.conf", "http://x/");
                store.RecordResult(watch, test::Up(kDayStart + days(1)));
                store.CountResults(watch, {kDayStart, kDayStart + days(2)});
            },
            "Cannot use the history database \"" + file.string() + "\": " + row.reason);
    }
    EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));
    EXPECT_EQ(std::filesystem::file_size(empty), 0u);
    // Nothing was put beside the device (as root, SQLite made a journal there that anyone could write).
    EXPECT_FALSE(std::filesystem::exists(device.string() + "-journal"));
}

// A database in a read-only folder is read as it is, and refused at once for writing.
TEST(HistoryReaderTest, AReadOnlyFolderIsReadWithoutWritingAndRefusedForWriting) {
    test::TempDir temp;
    const std::filesystem::path folder = temp.Path() / "Corvasse";
    const std::filesystem::path file = folder / kHistoryFileName;
    WatchId watch;
    {
        HistoryStore writer(file);
        watch = writer.FindOrAddWatch("/x.conf", "http://x/");
        writer.RecordResult(watch, test::Up(kDayStart));
        writer.RecordResult(watch, test::Down(kDayStart + minutes(1)));
        EXPECT_FALSE(writer.HasResults(writer.FindOrAddWatch("/x.conf", "http://y/")));
    }
    test::ReadOnlyFolder readOnly(folder);
    ASSERT_TRUE(readOnly.Ready());
    // Named with a leading "//" too, which an SQLite URI would take for a host.
    EXPECT_TRUE(HistoryStore("/" + file.string(), HistoryAccess::ReadOnly).HasResults(watch));
    HistoryStore reader(file, HistoryAccess::ReadOnly);
    EXPECT_EQ(reader.FindWatch("/x.conf", "http://x/"), watch);
    EXPECT_TRUE(reader.HasResults(watch));
    const ResultCount count = reader.CountResults(watch, {kDayStart, kDayStart + days(1)});
    EXPECT_EQ(count.up, 1);
    EXPECT_EQ(count.down, 1);
    EXPECT_EQ(reader.Outages(watch, {kDayStart, kDayStart + days(1)}).size(), 0u);

    const std::string reason = geteuid() == 0 ? "Read-only file system" : "Permission denied";
    for (const std::filesystem::path& written : {file, folder / "new.sqlite3"}) {
        test::ExpectThrowWithMessage<HistoryError>(
            [&] { HistoryStore store(written); },
            "Cannot use the history database \"" + written.string() + "\": cannot write to its folder: " + reason);
    }
}

}  // namespace
}  // namespace corvasse
