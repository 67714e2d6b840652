#include "app/watch_list/watch_summary.h"

#include <gtest/gtest.h>

#include "history/history_store.h"
#include "support/temp_dir.h"
#include "support/watch_results.h"

namespace corvasse {
namespace {

using namespace std::chrono_literals;
using test::kDayStart;

TEST(WatchSummaryTest, AddressAndDayUptimeOfEachWatch) {
    test::TempDir temp;
    const std::filesystem::path folder = temp.Path();
    const std::vector<WatchFile> watches = {
        {"blog", folder / "blog.conf"},
        {"new", folder / "new.conf"},
        {"router", folder / "router.conf"},
        {"shop", folder / "shop.conf"},
    };
    test::WriteFile(watches[0].file, "[Settings]\nurl2watch=http://blog.example/\n");
    test::WriteFile(watches[1].file, "[Settings]\n");
    test::WriteFile(watches[2].file, "[Settings]\nPingOnly=y\nPingAddr= router.lan \nurl2watch=http://no/\n");
    test::WriteFile(watches[3].file, "[Settings]\nurl2watch=http://shop.example/\n");
    const ResultTime now = kDayStart + 30h;
    const std::filesystem::path history = folder / "history.sqlite3";

    EXPECT_EQ(ReadWatchSummaries(watches, history, now),
              (std::vector<WatchSummary>{{"http://blog.example/", "no data"},
                                         {"http://", "no data"},
                                         {"router.lan", "no data"},
                                         {"http://shop.example/", "no data"}}))
        << "without a history";

    {
        HistoryStore writer(history);
        const WatchId shop = writer.FindOrAddWatch(watches[3].file, "http://shop.example/");
        writer.RecordResult(shop, test::Down(now - 25h));  // a day and more ago: not counted
        for (auto at : {now - 3h, now - 2h, now - 1h}) writer.RecordResult(shop, test::Up(at));
        writer.RecordResult(shop, test::Down(now - 30min));
        const WatchId router = writer.FindOrAddWatch(watches[2].file, "router.lan");
        writer.RecordResult(router, test::Up(now - 1min));
        // Another settings file watching the blog's address is another watch.
        const WatchId other = writer.FindOrAddWatch(folder / "elsewhere.conf", "http://blog.example/");
        writer.RecordResult(other, test::Up(now - 1min));
    }
    EXPECT_EQ(ReadWatchSummaries(watches, history, now),
              (std::vector<WatchSummary>{{"http://blog.example/", "no data"},
                                         {"http://", "no data"},
                                         {"router.lan", "100.00 %"},
                                         {"http://shop.example/", "75.00 %"}}));
}

}  // namespace
}  // namespace corvasse
