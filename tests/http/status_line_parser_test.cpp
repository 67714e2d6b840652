// StatusLineParser fed every split of its input: where the line ends, the
// line limit and the head limit, and the bytes after the line left alone.

#include "http/status_line_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/feed_splits.h"

namespace corvasse {
namespace {

std::string Filler(size_t bytes) { return std::string(bytes, 'x'); }

TEST(StatusLineParserTest, EndsAtTheFirstLineEndOrFailsAtTheFirstByteTooMany) {
    constexpr int64_t kHeadLimit = kMaxResponseHeaderBytes;
    struct Case {
        const char* name;
        std::string input;
        std::string line;
        test::Ending ending;
        size_t maxLineBytes = kMaxResponseLineBytes;
        // Bytes earlier heads of the same request took.
        int64_t headBytesBefore = 0;
    };
    const Case cases[] = {
        {"CR LF", "HTTP/1.1 200 OK\r\nServer: x\r\n", "HTTP/1.1 200 OK", test::DoneAt(17)},
        {"bare LF", "HTTP/1.0 404 Not Found\nbody", "HTTP/1.0 404 Not Found", test::DoneAt(23)},
        {"one CR dropped", "HTTP/1.1 200 OK\r\r\n", "HTTP/1.1 200 OK\r", test::DoneAt(18)},
        {"empty line", "\r\nHTTP/1.1 200 OK\r\n", "", test::DoneAt(2)},
        {"no end yet", "HTTP/1.1 200 OK", "", test::Waiting()},
        {"at the line limit, its CR included", Filler(kMaxResponseLineBytes - 1) + "\r\n",
         Filler(kMaxResponseLineBytes - 1), test::DoneAt(kMaxResponseLineBytes + 1)},
        {"its CR one past the line limit", Filler(kMaxResponseLineBytes) + "\r\n", "",
         test::FailsAt(kMaxResponseLineBytes, "Max line length exceeded.")},
        {"line limit of 8", "HTTP/1.1 200 OK and on and on", "", test::FailsAt(8, "Max line length exceeded."), 8},
        {"no line limit", Filler(kMaxResponseLineBytes + 1) + "\n", Filler(kMaxResponseLineBytes + 1),
         test::DoneAt(kMaxResponseLineBytes + 2), 0},
        {"reaching the head limit", "HTTP/1.1 200 OK\r\n", "HTTP/1.1 200 OK", test::DoneAt(17), kMaxResponseLineBytes,
         kHeadLimit - 17},
        {"passing the head limit at its end", "HTTP/1.1 200 OK\r\n", "",
         test::FailsAt(16, "Response headers exceed 262144 bytes."), kMaxResponseLineBytes, kHeadLimit - 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const test::Split& split : test::EverySplit(c.input)) {
            SCOPED_TRACE(split.name);
            HeadByteCount count;
            if (c.headBytesBefore > 0) count.CountLine(static_cast<size_t>(c.headBytesBefore - 2));
            StatusLineParser parser(count, c.maxLineBytes);
            const test::Outcome outcome = test::FeedPieces(
                split.pieces, [&](std::string_view piece) { return parser.Feed(piece); },
                [&] { return parser.Done(); });
            test::ExpectEnding(outcome, c.ending, c.input.size());
            if (outcome.done) {
                EXPECT_EQ(parser.Line(), c.line);
                // The line counts with two bytes for its end, whatever ended it.
                EXPECT_EQ(count.Bytes(), c.headBytesBefore + static_cast<int64_t>(c.line.size()) + 2);
            }
        }
    }
}

}  // namespace
}  // namespace corvasse
