#include "app/watch_list/day_uptimes.h"

#include <gtest/gtest.h>

#include "history/history_store.h"
#include "support/temp_dir.h"
#include "support/watch_results.h"

namespace corvasse {
namespace {

using namespace std::chrono_literals;
using test::kDayStart;

TEST(DayUptimesTest, EachWatchFoundByItsFileAndAddressOverTheLastDay) {
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
    using Uptimes = std::vector<std::string>;

    EXPECT_EQ(ReadDayUptimes(watches, history, now), (Uptimes{"no data", "no data", "no data", "no data"}))
        << "without a history";
    {
        HistoryStore writer(history);
        const WatchId shop = writer.FindOrAddWatch(watches[3].file, "http://shop.example/");
        writer.RecordResult(shop, test::Down(now - 25h));  // a day and more ago: not counted
        for (auto at : {now - 3h, now - 2h, now - 1h}) writer.RecordResult(shop, test::Up(at));
        writer.RecordResult(shop, test::Down(now - 30min));
        const WatchId router = writer.FindOrAddWatch(watches[2].file, "router.lan");
        writer.RecordResult(router, test::Up(now - 1min));
        // The address the blog had before is another watch.
        const WatchId before = writer.FindOrAddWatch(watches[0].file, "http://old.example/");
        writer.RecordResult(before, test::Up(now - 1min));
    }
    EXPECT_EQ(ReadDayUptimes(watches, history, now), (Uptimes{"no data", "no data", "100.00 %", "75.00 %"}));
    test::WriteFile(history, "not a database");
    EXPECT_EQ(ReadDayUptimes(watches, history, now), (Uptimes{"no data", "no data", "no data", "no data"}));
}

}  // namespace
}  // namespace corvasse
