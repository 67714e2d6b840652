// HeaderBlockParser fed every split of its input: the lines up to the empty
// line, the limits, and the body after it left alone.

#include "http/header_block_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/feed_splits.h"

namespace corvasse {
namespace {

using Lines = std::vector<std::string>;

TEST(HeaderBlockParserTest, TakesTheLinesUpToTheEmptyOneOrFailsAtTheFirstByteTooMany) {
    constexpr int64_t kHeadLimit = kMaxResponseHeaderBytes;
    struct Case {
        const char* name;
        std::string input;
        // The lines in the list when feeding ends, also after a failure.
        Lines lines;
        test::Ending ending;
        // Bytes the status line and earlier heads of the same request took.
        int64_t headBytesBefore = 17;
    };
    const Case cases[] = {
        {"lines and body",
         "Content-Length: 5\r\nX-A: b\r\n\r\nhello",
         {"Content-Length: 5", "X-A: b"},
         test::DoneAt(29)},
        {"no headers", "\r\nhello", {}, test::DoneAt(2)},
        {"bare LFs, a continuation line kept as it came",
         "A: 1\n  more\nB: 2\n\nrest",
         {"A: 1", "  more", "B: 2"},
         test::DoneAt(18)},
        {"cut in a line", "A: 1\r\nB: ", {"A: 1"}, test::Waiting()},
        {"a line past the line limit",
         "A: 1\r\nX: " + std::string(kMaxResponseLineBytes, 'y'),
         {"A: 1"},
         test::FailsAt(6 + kMaxResponseLineBytes, "Max line length exceeded.")},
        {"the line that passes the head limit",
         "A: 1\r\nB: 2\r\n\r\n",
         {"A: 1"},
         test::FailsAt(11, "Response headers exceed 262144 bytes."),
         kHeadLimit - 11},
        {"the empty line counts too",
         "A: 1\r\n\r\n",
         {"A: 1"},
         test::FailsAt(7, "Response headers exceed 262144 bytes."),
         kHeadLimit - 7},
        {"reaching the head limit", "A: 1\r\n\r\n", {"A: 1"}, test::DoneAt(8), kHeadLimit - 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const test::Split& split : test::EverySplit(c.input)) {
            SCOPED_TRACE(split.name);
            HeadByteCount count;
            count.CountLine(static_cast<size_t>(c.headBytesBefore - 2));
            HeaderList headers;
            HeaderBlockParser parser(headers, count);
            const test::Outcome outcome = test::FeedPieces(
                split.pieces, [&](std::string_view piece) { return parser.Feed(piece); },
                [&] { return parser.Done(); });
            test::ExpectEnding(outcome, c.ending, c.input.size());
            EXPECT_EQ(headers.Lines(), c.lines);
        }
    }
}

}  // namespace
}  // namespace corvasse
