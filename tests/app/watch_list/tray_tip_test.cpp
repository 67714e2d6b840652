#include "app/watch_list/tray_tip.h"

#include <gtest/gtest.h>

#include "support/scoped_environment.h"

namespace corvasse {
namespace {

using namespace std::chrono_literals;

// 2026-12-09 14:03:20 UTC.
const ResultTime kAt{1'765'289'000'000ms};

TEST(TrayTipTest, TellsHowManyRunAndWhichAreDown) {
    const TipWatch shopUp{"shop", "shop.example", std::nullopt};
    const TipWatch shopDown{"shop", "shop.example", kAt};
    const TipWatch blogUp{"blog", "http://blog.example/", std::nullopt};
    const TipWatch blogDown{"blog", "http://blog.example/", kAt + 7min};
    const TipWatch mail{"mail", "mail.example", std::nullopt};
    struct Row {
        const char* name;
        std::vector<TipWatch> running;
        const char* expected;
    };
    const std::vector<Row> rows = {
        {"none running", {}, "Corvasse"},
        {"one up", {shopUp}, "Corvasse: shop.example up"},
        {"one down", {shopDown}, "Corvasse: shop.example down since 14:03"},
        {"three, all up", {shopUp, blogUp, mail}, "Corvasse: 3 watches, all up"},
        {"three, one down", {blogUp, mail, shopDown}, "Corvasse: 3 watches, 1 down: shop since 14:03"},
        {"two down, in order", {blogDown, shopDown}, "Corvasse: 2 watches, 2 down: blog since 14:10, shop since 14:03"},
    };
    test::ScopedEnvironment zone("TZ", "UTC0");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TrayTipText("Corvasse", row.running), row.expected);
    }
}

}  // namespace
}  // namespace corvasse
