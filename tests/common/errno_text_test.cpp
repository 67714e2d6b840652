#include "common/errno_text.h"

#include <cerrno>

#include <gtest/gtest.h>

namespace corvasse {
namespace {

TEST(ErrnoTextTest, GivesTheSystemsTextAndNamesAnUnknownCode) {
    EXPECT_EQ(ErrnoText(ENOENT), "No such file or directory");
    EXPECT_EQ(ErrnoText(ECONNREFUSED), "Connection refused");
    EXPECT_EQ(ErrnoText(99999), "Unknown error 99999");
}

}  // namespace
}  // namespace corvasse
