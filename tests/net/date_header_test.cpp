#include "net/date_header.h"

#include <gtest/gtest.h>

#include "support/scoped_environment.h"

namespace corvasse {
namespace {

// 2026-01-04 09:05:03 UTC, a Sunday, and 2026-07-15 18:30:00 UTC, a Wednesday.
constexpr std::time_t kWinter = 1767517503;
constexpr std::time_t kSummer = 1784140200;

TEST(DateHeaderTest, UtcGivesPlusZeroNeverGmt) {
    test::ScopedEnvironment zone("TZ", "UTC0");
    EXPECT_EQ(FormatDateHeader(kWinter), "Sun, 4 Jan 2026 09:05:03 +0000");
    EXPECT_EQ(LocalUtcOffset(kWinter), 0);
}

TEST(DateHeaderTest, LocalTimeAndTheOffsetInForceAtThatMoment) {
    test::ScopedEnvironment zone("TZ", "EST5EDT,M3.2.0,M11.1.0");
    EXPECT_EQ(FormatDateHeader(kWinter), "Sun, 4 Jan 2026 04:05:03 -0500");
    EXPECT_EQ(FormatDateHeader(kSummer), "Wed, 15 Jul 2026 14:30:00 -0400");
}

TEST(DateHeaderTest, HalfHourZonesAndPositiveOffsets) {
    test::ScopedEnvironment zone("TZ", "IST-5:30");
    EXPECT_EQ(FormatDateHeader(kWinter), "Sun, 4 Jan 2026 14:35:03 +0530");
}

TEST(DateHeaderTest, FormatUtcOffset) {
    EXPECT_EQ(FormatUtcOffset(0), "+0000");
    EXPECT_EQ(FormatUtcOffset(60), "+0100");
    EXPECT_EQ(FormatUtcOffset(-300), "-0500");
    EXPECT_EQ(FormatUtcOffset(-570), "-0930");
    EXPECT_EQ(FormatUtcOffset(765), "+1245");
}

}  // namespace
}  // namespace corvasse
