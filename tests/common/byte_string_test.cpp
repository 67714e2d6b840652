#include "common/byte_string.h"

#include <gtest/gtest.h>

#include "support/expect_throw.h"

namespace corvasse {
namespace {

TEST(TrimTest, RemovesControlCharactersAndBlanksAtBothEnds) {
    EXPECT_EQ(Trim(" \t\r\n abc \x01\x1f"), "abc");
    EXPECT_EQ(Trim("a b"), "a b");
    EXPECT_EQ(Trim("   "), "");
    // Bytes above 127 are text, not blanks.
    EXPECT_EQ(Trim("\xA0x\xFF"), "\xA0x\xFF");
}

TEST(StrToIntTest, AcceptsDecimalHexAndSigns) {
    EXPECT_EQ(StrToInt("15"), 15);
    EXPECT_EQ(StrToInt("  42"), 42);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("-1"), -1);
    EXPECT_EQ(StrToInt("$1F"), 31);
    EXPECT_EQ(StrToInt("x10"), 16);
    EXPECT_EQ(StrToInt("X10"), 16);
    EXPECT_EQ(StrToInt("0x10"), 16);
    EXPECT_EQ(StrToInt("-$10"), -16);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
}

TEST(StrToIntTest, RefusesAnythingElseWithTheConversionMessage) {
    for (const char* bad :
         {"", " ", "1 ", "12a", "abc", "2147483648", "-2147483649", "$", "0x", "+", "1.5", "99999999999999999999"}) {
        EXPECT_FALSE(TryStrToInt(bad).has_value()) << bad;
    }
    test::ExpectThrowWithMessage<ConversionError>([] { StrToInt("15 "); }, "'15 ' is not a valid integer value");
}

TEST(StrToIntTest, SixtyFourBitFormCoversTheWholeRange) {
    EXPECT_EQ(TryStrToInt64("4294967295"), 4294967295LL);
    EXPECT_EQ(TryStrToInt64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(TryStrToInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(TryStrToInt64("$FFFFFFFFFF"), 0xFFFFFFFFFFLL);
    EXPECT_FALSE(TryStrToInt64("9223372036854775808").has_value());
    EXPECT_FALSE(TryStrToInt64("-9223372036854775809").has_value());
    EXPECT_FALSE(TryStrToInt64("$10000000000000000").has_value());
}

TEST(ContainsBytesTest, IsExactAndNeverFindsEmptyText) {
    EXPECT_TRUE(ContainsBytes("abc https:// x", "https://"));
    EXPECT_FALSE(ContainsBytes("HTTPS://x", "https://"));
    EXPECT_FALSE(ContainsBytes("abc", ""));
    EXPECT_FALSE(ContainsBytes("", ""));
}

}  // namespace
}  // namespace corvasse
