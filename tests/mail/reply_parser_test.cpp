// ReplyParser fed every split of its input: where a reply ends, its lines,
// the line limit in both of its actions and the reply limit.

#include "mail/reply_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/feed_splits.h"

namespace corvasse {
namespace {

TEST(ReplyParserTest, EndsAfterTheReplysLastLineOrFailsAtTheByteTooMany) {
    struct Case {
        const char* name;
        std::string input;
        std::vector<std::string> lines;
        test::Ending ending;
        size_t maxLineBytes = kDefaultMaxLineLength;
        int64_t maxReplyBytes = kMaxReplyBytes;
    };
    const Case cases[] = {
        {"one line, the next reply left alone", "250 OK\r\n220 next\r\n", {"250 OK"}, test::DoneAt(8)},
        {"a status word", "+OK 2 320\r\n.\r\n", {"+OK 2 320"}, test::DoneAt(11)},
        {"multi-line", "250-a\r\n250-b\r\n250 c\r\nX", {"250-a", "250-b", "250 c"}, test::DoneAt(21)},
        {"end marker in any case", "abc-x\r\nabc-y\r\nABC z\r\n", {"abc-x", "abc-y", "ABC z"}, test::DoneAt(21)},
        {"a short line ends it", "250-a\r\nfoo bar\r\n25\r\n", {"250-a", "foo bar", "25"}, test::DoneAt(20)},
        {"blank lines skipped, blanks trimmed", "\r\n \t\r\n  250 hi  \r\n", {"250 hi"}, test::DoneAt(18)},
        {"bare LF", "250-a\n250 b\n", {"250-a", "250 b"}, test::DoneAt(12)},
        {"an unfinished line left in the buffer", "250-a\r\n250 b", {}, test::Waiting(7)},
        {"at the line limit, its CR included", "250 abc\r\n", {"250 abc"}, test::DoneAt(9), 8},
        {"its CR one past the line limit", "250 abcd\r\n", {}, test::FailsAt(8, "Max line length exceeded."), 8},
        {"no line limit",
         "250 " + std::string(20000, 'x') + "\n",
         {"250 " + std::string(20000, 'x')},
         test::DoneAt(20005),
         0},
        {"at the reply limit",
         "250-aaaa\r\n250 bbbb\r\n",
         {"250-aaaa", "250 bbbb"},
         test::DoneAt(20),
         kDefaultMaxLineLength,
         16},
        {"passing the reply limit at a line's end",
         "250-aaaa\r\n250 bbbb\r\n",
         {},
         test::FailsAt(19, "Reply exceeds 15 bytes."),
         kDefaultMaxLineLength,
         15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const test::Split& split : test::EverySplit(c.input)) {
            SCOPED_TRACE(split.name);
            ReplyParser parser(c.maxLineBytes, c.maxReplyBytes);
            const test::Outcome outcome = test::FeedPieces(
                split.pieces, [&](std::string_view piece) { return parser.Feed(piece); },
                [&] { return parser.Done(); });
            test::ExpectEnding(outcome, c.ending, c.input.size());
            if (outcome.done) {
                EXPECT_EQ(parser.Lines(), c.lines);
            }
        }
    }
}

}  // namespace
}  // namespace corvasse
