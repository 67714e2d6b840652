// StreamingSearch fed a body in every split a connection could make of it:
// a match is found wherever the cuts fall, and never where there is none.

#include "common/streaming_search.h"

#include <gtest/gtest.h>

#include <string>

#include "common/byte_string.h"
#include "support/feed_splits.h"

namespace corvasse {
namespace {

TEST(StreamingSearchTest, FindsTheTextWhereverTheReadsCutIt) {
    const struct {
        const char* name;
        std::string body;
        std::string text;
        bool found;
    } cases[] = {
        {"in the middle", "<p>Welcome!</p>", "Welcome", true},
        {"at the start", "Welcome!", "Welcome", true},
        {"at the end", "<p>Welcome", "Welcome", true},
        {"the whole body", "Welcome", "Welcome", true},
        {"one byte", "abc", "c", true},
        {"missing", "<p>Goodbye</p>", "Welcome", false},
        {"only its beginning, at the end", "<p>Welcom", "Welcome", false},
        {"only its end, at the start", "elcome!</p>", "Welcome", false},
        {"longer than the body", "Wel", "Welcome", false},
        {"other letter case", "<p>welcome</p>", "Welcome", false},
        {"after a false start that overlaps it", "aaaab", "aaab", true},
        {"a false start at every byte", "abababac", "ababac", true},
        {"bytes beyond ASCII and NUL", std::string("x\0\xC3\xB6y", 5), std::string("\0\xC3\xB6", 3), true},
        {"an empty text is never found", "Welcome", "", false},
        {"nothing fed", "", "Welcome", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The search must agree with the search of the whole body.
        ASSERT_EQ(ContainsBytes(c.body, c.text), c.found);
        for (const test::Split& split : test::EverySplit(c.body)) {
            SCOPED_TRACE(split.name);
            StreamingSearch search(c.text);
            for (const std::string_view piece : split.pieces) search.Feed(piece);
            EXPECT_EQ(search.Found(), c.found);
        }
    }
}

}  // namespace
}  // namespace corvasse
