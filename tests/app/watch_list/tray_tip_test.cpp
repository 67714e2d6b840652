#include "app/watch_list/tray_tip.h"

#include <gtest/gtest.h>

#include "support/scoped_environment.h"

namespace corvasse {
namespace {

using namespace std::chrono_literals;

// 2026-12-09 14:03:20 UTC.
const ResultTime kAt{1'765'289'000'000ms};

WatchStatus Watch(const char* name, const char* address, std::optional<ResultTime> downSince, bool watching = true) {
    return {name, "", address, watching, downSince ? LastResult::Down : LastResult::Up, kAt, {}, downSince, {}, {}, {}};
}

TEST(TrayTipTest, TellsHowManyRunAndWhichAreDown) {
    const WatchStatus shopUp = Watch("shop", "shop.example", std::nullopt);
    const WatchStatus shopDown = Watch("shop", "shop.example", kAt);
    const WatchStatus blogUp = Watch("blog", "http://blog.example/", std::nullopt);
    const WatchStatus blogDown = Watch("blog", "http://blog.example/", kAt + 7min);
    const WatchStatus mail = Watch("mail", "mail.example", std::nullopt);
    const WatchStatus stoppedDown = Watch("old", "old.example", kAt, false);
    struct Row {
        const char* name;
        std::vector<WatchStatus> watches;
        const char* expected;
    };
    const std::vector<Row> rows = {
        {"none running", {stoppedDown}, "Corvasse"},
        {"one up", {shopUp, stoppedDown}, "Corvasse: shop.example up"},
        {"one down", {shopDown}, "Corvasse: shop.example down since 14:03"},
        {"three, all up", {shopUp, blogUp, mail}, "Corvasse: 3 watches, all up"},
        {"three, one down", {blogUp, mail, shopDown, stoppedDown}, "Corvasse: 3 watches, 1 down: shop since 14:03"},
        {"two down, in order", {blogDown, shopDown}, "Corvasse: 2 watches, 2 down: blog since 14:10, shop since 14:03"},
    };
    test::ScopedEnvironment zone("TZ", "UTC0");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TrayTipText("Corvasse", row.watches), row.expected);
    }
}

}  // namespace
}  // namespace corvasse
