#include "common/server_text.h"

#include <gtest/gtest.h>

namespace corvasse {
namespace {

TEST(ServerTextTest, ControlsBecomeBlanksAndLongTextsAreCutOnACharacter) {
    const std::string euro = "\xE2\x82\xAC", x296(296, 'x');
    EXPECT_EQ(ShortServerText("500 X\r--=_B\rContent-Type: text/html\r\r<h1>"),
              "500 X --=_B Content-Type: text/html  <h1>");
    EXPECT_EQ(ShortServerText("a\r\nb\tc\nd\x1b[2J\x7f"), "a b c d [2J ");  // CR LF is one blank
    EXPECT_EQ(ShortServerText("a\xC2\x9B-m\xC2\xA0\xC3\xA9" + euro), "a -m\xC2\xA0\xC3\xA9" + euro);  // UTF-8
    EXPECT_EQ(ShortServerText("a\x9B-m\xE9"), "a -m\xE9");  // not UTF-8: Latin-1's C1 controls
    EXPECT_EQ(ShortServerText(x296 + "xxxxx"), x296 + "x...");
    EXPECT_EQ(ShortServerText(x296 + euro + "yy"), x296 + "...");                 // never inside a UTF-8 character
    EXPECT_EQ(ShortServerText(x296 + "\xE9\xE9\xE9\xE9\xE9"), x296 + "\xE9...");  // Latin-1: any byte
}

}  // namespace
}  // namespace corvasse
