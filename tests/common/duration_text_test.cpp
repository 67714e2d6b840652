#include "common/duration_text.h"

#include <gtest/gtest.h>

#include "common/date_time_text.h"
#include "support/scoped_environment.h"

namespace corvasse {
namespace {

using std::chrono::days, std::chrono::hours, std::chrono::minutes, std::chrono::seconds;

TEST(DurationTextTest, TwoUnitsAtMostCutNotRounded) {
    const struct {
        seconds duration;
        const char* text;
    } rows[] = {
        {seconds(-5), "0 s"},
        {seconds(0), "0 s"},
        {seconds(45), "45 s"},
        {seconds(59), "59 s"},
        {seconds(60), "1 min"},
        {minutes(4) + seconds(59), "4 min"},
        {minutes(59) + seconds(59), "59 min"},
        {hours(1), "1 h"},
        {hours(2) + minutes(13) + seconds(30), "2 h 13 min"},
        {hours(23) + minutes(59) + seconds(59), "23 h 59 min"},
        {days(1), "1 d"},
        {days(3) + hours(4) + minutes(59), "3 d 4 h"},
        {days(400) + minutes(5), "400 d"},
    };
    for (const auto& row : rows) EXPECT_EQ(DurationText(row.duration), row.text) << row.duration.count() << " s";
}

TEST(TimestampTextTest, LocalTimeInDateOrderWhateverTheLocale) {
    // 2026-12-08 14:02:07 UTC
    constexpr std::time_t kWhen = 1796738527;
    {
        test::ScopedEnvironment zone("TZ", "UTC0");
        EXPECT_EQ(TimestampText(kWhen), "2026-12-08 14:02:07");
    }
    test::ScopedEnvironment zone("TZ", "IST-5:30");
    EXPECT_EQ(TimestampText(kWhen), "2026-12-08 19:32:07");
}

}  // namespace
}  // namespace corvasse
