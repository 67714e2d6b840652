// `corvasse --print-history` run where no display is, against a history
// database prepared here: the uptime lines, the outage table in local time,
// the results as CSV, and exit status 2 with a message when there is nothing
// to print.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "app/settings/settings_store.h"
#include "app/view/result_time_text.h"
#include "history/history_store.h"
#include "support/child_process.h"
#include "support/read_only_folder.h"
#include "support/recorded_outage.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"
#include "support/watch_results.h"

namespace corvasse {
namespace {

using std::chrono::days, std::chrono::hours, std::chrono::minutes, std::chrono::milliseconds;

constexpr int kExitTimeoutMs = 30000;
constexpr const char* kAddress = "http://shop.example/";

struct Printed {
    std::optional<int> status;
    std::string out;
    std::string err;
};

class PrintHistoryTest : public ::testing::Test {
protected:
    PrintHistoryTest() {
        SettingsStore::AtFile(settings_).WriteSetting("Settings", "url2watch", kAddress);
        HistoryStore store(database_);
        const WatchId watch = store.FindOrAddWatch(settings_, kAddress);
        const auto outage = [&](ResultTime began, std::optional<ResultTime> ended, const std::string& reason) {
            test::RecordOutage(store, watch, began, ended, 1, reason);
        };
        store.RecordResult(watch, test::Up(now_ - days(200)));
        outage(olderOutage_, olderOutage_ + minutes(5), "Socket Error # 10061\r\nConnection refused.");
        store.RecordResult(watch, test::Up(now_ - days(3)));
        store.RecordResult(watch, test::Up(now_ - hours(2)));
        outage(ongoingOutage_, std::nullopt, "Read Timeout");
        store.RecordResult(watch, test::Up(now_ - minutes(30)));
        store.RecordResult(watch, test::Unknown(now_ - minutes(10)));
    }

    Printed PrintHistory(std::vector<std::string> options) const {
        std::vector<std::string> args = {CORVASSE_BINARY,    "--print-history", "--settings",
                                         settings_.string(), "--history",       database_.string()};
        args.insert(args.end(), options.begin(), options.end());
        test::ChildProcess child(args, dir_.Path(), test::kDisplayVariables);
        const std::optional<int> status = child.Wait(kExitTimeoutMs);
        return {status, child.Output(), child.Errors()};
    }

    // Local time three hours east of UTC, for this process and the program alike.
    test::ScopedEnvironment zone_{"TZ", "UTC-3"};
    test::TempDir dir_;
    std::filesystem::path settings_ = dir_.Path() / "shop.conf";
    std::filesystem::path database_ = dir_.Path() / "state" / kHistoryFileName;
    ResultTime now_ = ResultTimeNow();
    ResultTime olderOutage_ = now_ - days(20);
    ResultTime ongoingOutage_ = now_ - hours(1);
};

TEST_F(PrintHistoryTest, PrintsTheUptimeUpToTheRangeAndItsOutagesInLocalTime) {
    const std::string older = TimestampText(olderOutage_);
    const std::string ongoing = TimestampText(ongoingOutage_);
    ASSERT_EQ(TimestampText(ResultTime{}), "1970-01-01 03:00:00");
    const std::string twoOutages =
        "\nOutages 30 days: 2\n"
        "Began                Ended                Duration  Failed watches  First reason\n" +
        ongoing + "  ongoing              1 h       1               Read Timeout\n" + older + "  " +
        TimestampText(olderOutage_ + minutes(5)) +
        "  5 min     1               Socket Error # 10061 Connection refused.\n";
    const struct {
        std::vector<std::string> options;
        std::string out;
    } rows[] = {
        {{}, "Uptime 24 hours: 66.66 %\nUptime 7 days: 75.00 %\nUptime 30 days: 60.00 %\n" + twoOutages},
        {{"--since", "24h"},
         "Uptime 24 hours: 66.66 %\n\nOutages 24 hours: 1\n"
         "Began                Ended    Duration  Failed watches  First reason\n" +
             ongoing + "  ongoing  1 h       1               Read Timeout\n"},
        // Shorter than a day: its own uptime alone (the down result an hour ago is just outside).
        {{"--since", "1h"},
         "Uptime 1 hour: 100.00 %\n\nOutages 1 hour: 1\n"
         "Began                Ended    Duration  Failed watches  First reason\n" +
             ongoing + "  ongoing  1 h       1               Read Timeout\n"},
        {{"--since", "1y"},
         "Uptime 24 hours: 66.66 %\nUptime 7 days: 75.00 %\nUptime 30 days: 60.00 %\nUptime 1 year: 66.66 %\n" +
             std::regex_replace(twoOutages, std::regex("30 days"), "1 year")},
    };
    for (const auto& row : rows) {
        const Printed run = PrintHistory(row.options);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, "");
    }

    // A database on a read-only disk is read as it is.
    test::ReadOnlyFolder readOnly(database_.parent_path());
    ASSERT_TRUE(readOnly.Ready());
    const Printed run = PrintHistory({"--since", "24h"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.starts_with("Uptime 24 hours: 66.66 %\n")) << run.out;
}

TEST_F(PrintHistoryTest, PrintsTheResultsOfTheRangeAsCsv) {
    const Printed run = PrintHistory({"--csv", "--since", "7d"});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string time = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)";
    const std::regex csv("time,result,response_ms,size,reason\r\n" +  //
                         time + ",up,12\\.000,2043,\r\n" +            // 3 days ago
                         time + ",up,12\\.000,2043,\r\n" +            // 2 hours ago
                         time + ",down,,,Read Timeout\r\n" +          // the outage
                         time + ",up,12\\.000,2043,\r\n" +            //
                         time + ",unknown,,,no route to 203\\.0\\.113\\.5\r\n");
    EXPECT_TRUE(std::regex_match(run.out, csv)) << run.out;
}

TEST_F(PrintHistoryTest, WithoutAHistoryToPrintSaysWhyAndExitsWith2) {
    const std::filesystem::path missing = dir_.Path() / "missing.sqlite3";
    const std::filesystem::path other = dir_.Path() / "other.conf";
    SettingsStore::AtFile(other).WriteSetting("Settings", "url2watch", "http://other.example/");
    const struct {
        std::vector<std::string> options;
        std::string err;
    } rows[] = {
        {{"--history", missing.string()}, "corvasse: no history database at \"" + missing.string() + "\"\n"},
        {{"--settings", other.string()},
         "corvasse: no results recorded for \"http://other.example/\" (settings \"" + other.string() + "\") in \"" +
             database_.string() + "\"\n"},
        {{"--since", "2w"},
         "corvasse: --since takes 1h, 6h, 24h, 7d, 30d or 1y, not '2w'.\nTry 'corvasse --help' for more "
         "information.\n"},
        {{"--history", ""}, "corvasse: the history file name is empty\n"},
    };
    for (const auto& row : rows) {
        const Printed run = PrintHistory(row.options);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, row.err);
    }
    EXPECT_FALSE(std::filesystem::exists(missing));

    // SQLite is loaded when the history is opened; one that cannot be loaded
    // is said as the reason.
    std::ofstream(dir_.Path() / "libsqlite3.so.0") << "not a library";
    {
        test::ScopedEnvironment libraries("LD_LIBRARY_PATH", dir_.Path().string());
        const Printed run = PrintHistory({});
        EXPECT_EQ(run.status, 2);
        const std::string said = "corvasse: Cannot use the history database \"" + database_.string() +
                                 "\": SQLite cannot be loaded: " + (dir_.Path() / "libsqlite3.so.0").string();
        EXPECT_TRUE(run.err.starts_with(said)) << run.err;
    }

    test::ChildProcess csvAlone({CORVASSE_BINARY, "--csv"}, dir_.Path(), test::kDisplayVariables);
    EXPECT_EQ(csvAlone.Wait(kExitTimeoutMs), 2);
    EXPECT_EQ(csvAlone.Errors(),
              "corvasse: --since and --csv go with --print-history.\nTry 'corvasse --help' for more information.\n");
}

}  // namespace
}  // namespace corvasse
