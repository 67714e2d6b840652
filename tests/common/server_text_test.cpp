#include "common/server_text.h"

#include <gtest/gtest.h>

namespace corvasse {
namespace {

TEST(ServerTextTest, ControlsBecomeBlanksAndLongTextsAreCutOnACharacter) {
    const std::string euro = "\xE2\x82\xAC";  // three bytes in UTF-8
    const struct {
        const char* name;
        std::string text;
        size_t maxBytes;
        std::string shown;
    } cases[] = {
        {"a MIME part in lone CRs", "500 X\r--=_B\rContent-Type: text/html\r\r<h1>", 300,
         "500 X --=_B Content-Type: text/html  <h1>"},
        {"CR LF is one blank, TAB and LF one each", "a\r\nb\tc\nd", 300, "a b c d"},
        {"a terminal's escape sequences", "\x1b]2;pwned\a\x1b[2J\x7f", 300, " ]2;pwned  [2J "},
        {"C1 controls in UTF-8, the rest kept",
         "a\xC2\x9B"
         "1m\xC2\x85\xC2\xA0\xC3\xA9" +
             euro,
         300, "a 1m \xC2\xA0\xC3\xA9" + euro},
        {"C1 controls of Latin-1",
         "a\x9B"
         "1m\xE9",
         300, "a 1m\xE9"},
        {"at the limit: whole", std::string(300, 'x'), 300, std::string(300, 'x')},
        {"beyond it: cut with an ellipsis", std::string(301, 'x'), 300, std::string(297, 'x') + "..."},
        {"never inside a UTF-8 character", std::string(296, 'x') + euro + "yy", 300, std::string(296, 'x') + "..."},
        {"Latin-1 is cut at any byte", std::string(296, 'x') + "\xE9\xE9\xE9\xE9\xE9", 300,
         std::string(296, 'x') + "\xE9..."},
        {"blanks first, then the cut", "\r\n" + std::string(10, 'x'), 8, " xxxx..."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShortServerText(c.text, c.maxBytes), c.shown) << c.name;
        if (c.maxBytes == 300 && c.text.size() <= 300) {
            EXPECT_EQ(BlankedControls(c.text), c.shown) << c.name;
        }
    }
}

}  // namespace
}  // namespace corvasse
