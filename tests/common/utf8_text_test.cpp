#include "common/utf8_text.h"

#include <gtest/gtest.h>

namespace corvasse {
namespace {

TEST(Utf8OrLatin1Test, KeepsUtf8AndReadsAnythingElseAsLatin1) {
    const struct {
        const char* name;
        std::string stored;
        std::string utf8;
    } cases[] = {
        {"ascii", "plain text", "plain text"},
        {"empty", "", ""},
        {"two-byte",
         "Gr\xC3\xB6\xC3\x9F"
         "e",
         "Gr\xC3\xB6\xC3\x9F"
         "e"},
        {"three and four bytes", "\xE2\x82\xAC \xF0\x9F\x98\x80", "\xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"highest code point", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
        {"noncharacter", "\xEF\xBF\xBE", "\xEF\xBF\xBE"},
        {"latin-1",
         "Gr\xF6\xDF"
         "e",
         "Gr\xC3\xB6\xC3\x9F"
         "e"},
        // One bad byte makes the whole value Latin-1, its UTF-8 part too.
        {"mixed", "J\xC3\xBCrgen \xF6", "J\xC3\x83\xC2\xBCrgen \xC3\xB6"},
        {"overlong slash", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
        {"overlong three bytes", "\xE0\x80\xAF", "\xC3\xA0\xC2\x80\xC2\xAF"},
        {"surrogate", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},
        {"cut short", "a\xE2\x82", "a\xC3\xA2\xC2\x82"},
        {"lone continuation", "\x80", "\xC2\x80"},
        {"bad continuation", "\xC3(", "\xC3\x83("},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsValidUtf8(c.stored), c.stored == c.utf8) << c.name;
        EXPECT_EQ(Utf8OrLatin1(c.stored), c.utf8) << c.name;
        EXPECT_TRUE(IsValidUtf8(Utf8OrLatin1(c.stored))) << c.name;
    }
}

}  // namespace
}  // namespace corvasse
