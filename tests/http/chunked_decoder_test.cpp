// ChunkedDecoder fed every split of its input: the body, where it ends, and
// the byte at which a bad size, a line too long or a body too large is found.

#include "http/chunked_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/feed_splits.h"

namespace corvasse {
namespace {

TEST(ChunkedDecoderTest, DecodesTheBodyOrFailsAtTheByteThatShowsItIsBad) {
    struct Case {
        const char* name;
        std::string input;
        // The body when feeding ends without an error.
        std::string body;
        test::Ending ending;
        size_t maxLineBytes = kMaxResponseLineBytes;
        int64_t maxBodyBytes = kMaxResponseBodyBytes;
    };
    const Case cases[] = {
        {"one chunk, and what follows the body", "5\r\nhello\r\n0\r\n\r\nHTTP/1.1", "hello", test::DoneAt(15)},
        {"extensions, blanks and both letter cases",
         "0C;name=value\r\n, big world!\r\n5 ignored\r\nhello\r\na\t;x\r\n0123456789\r\n0;last\r\n\r\n",
         ", big world!hello0123456789", test::DoneAt(75)},
        {"bare LFs", "5\nhello\n0\n\n", "hello", test::DoneAt(11)},
        {"no chunk at all", "0\r\n\r\n", "", test::DoneAt(5)},
        {"the line after the data is dropped whatever it holds", "3\r\nabcXYZ\r\n0\r\n\r\n", "abc", test::DoneAt(16)},
        {"one line after the last chunk, trailers unread", "0\r\nX-Trailer: a\r\n\r\n", "", test::DoneAt(17)},
        {"cut in a chunk", "10\r\nonly half", "only half", test::Waiting()},
        {"cut before the last line", "5\r\nhello\r\n0\r\n", "hello", test::Waiting()},
        {"a size that is not hex", "5\r\nhello\r\nzz\r\nmore", "", test::FailsAt(13, "Invalid chunk size.")},
        {"an empty size line", "\r\n", "", test::FailsAt(1, "Invalid chunk size.")},
        {"a blank before the size", " 5\r\nhello", "", test::FailsAt(3, "Invalid chunk size.")},
        {"a signed size", "-5\r\nhello", "", test::FailsAt(3, "Invalid chunk size.")},
        {"a size beyond 32 bits", "ffffffffffff\r\n", "", test::FailsAt(13, "Invalid chunk size.")},
        {"a size past the body limit", "7fffffff\r\n", "", test::FailsAt(9, "Response body exceeds 268435456 bytes.")},
        {"chunks adding up past the body limit", "5\r\nhello\r\n4\r\nabcd\r\n0\r\n\r\n", "",
         test::FailsAt(12, "Response body exceeds 8 bytes."), kMaxResponseLineBytes, 8},
        {"chunks adding up to the body limit", "5\r\nhello\r\n3\r\nabc\r\n0\r\n\r\n", "helloabc", test::DoneAt(23),
         kMaxResponseLineBytes, 8},
        {"a size line at a line limit of 8, its CR included", "0000001\r\nx\r\n0\r\n\r\n", "x", test::DoneAt(17), 8},
        {"a size line past the line limit", std::string(kMaxResponseLineBytes, '0') + "1\r\nx", "",
         test::FailsAt(kMaxResponseLineBytes, "Max line length exceeded.")},
        {"the line after the data past a line limit of 8", "3\r\nabc123456789\r\n", "",
         test::FailsAt(14, "Max line length exceeded."), 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const test::Split& split : test::EverySplit(c.input)) {
            SCOPED_TRACE(split.name);
            ChunkedDecoder decoder(c.maxLineBytes, c.maxBodyBytes);
            std::string body;
            const test::Outcome outcome = test::FeedPieces(
                split.pieces,
                [&](std::string_view piece) {
                    const ChunkedDecoder::Fed fed = decoder.Feed(piece);
                    body += fed.data;
                    return fed.taken;
                },
                [&] { return decoder.Done(); });
            test::ExpectEnding(outcome, c.ending, c.input.size());
            if (c.ending.error.empty()) {
                EXPECT_EQ(body, c.body);
            }
        }
    }
}

TEST(ChunkedDecoderTest, TellsHowMuchOfAChunkIsStillToCome) {
    ChunkedDecoder decoder;
    EXPECT_EQ(decoder.ChunkBytesLeft(), 0);
    EXPECT_EQ(decoder.Feed("c\r\nhel").taken, 6u);
    EXPECT_EQ(decoder.ChunkBytesLeft(), 9);
    // One run of data a call: the framing after it waits for the next call.
    const ChunkedDecoder::Fed fed = decoder.Feed("lo world!\r\n0\r\n\r\n");
    EXPECT_EQ(fed.data, "lo world!");
    EXPECT_EQ(fed.taken, 9u);
    EXPECT_EQ(decoder.ChunkBytesLeft(), 0);
}

}  // namespace
}  // namespace corvasse
