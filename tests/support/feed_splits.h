#pragma once
// Feeds one input to a parser in every way a connection could cut it: in two
// at each byte boundary, and byte by byte. A parser must end the same way in
// all of them: done after the same byte, or failing at the same byte.
//
//     for (const test::Split& split : test::EverySplit(input)) {
//         SCOPED_TRACE(split.name);
//         HeadByteCount count;
//         StatusLineParser parser(count);
//         const test::Outcome outcome = test::FeedPieces(
//             split.pieces, [&](std::string_view piece) { return parser.Feed(piece); }, [&] { return parser.Done(); });
//         test::ExpectEnding(outcome, test::DoneAt(17), input.size());
//     }

#include <gtest/gtest.h>

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace corvasse::test {

struct Split {
    std::string name;
    std::vector<std::string_view> pieces;
};

// Every cut in two (an empty piece at either end included), then every byte alone.
inline std::vector<Split> EverySplit(std::string_view input) {
    std::vector<Split> splits;
    for (size_t at = 0; at <= input.size(); ++at) {
        splits.push_back({"cut at " + std::to_string(at), {input.substr(0, at), input.substr(at)}});
    }
    Split bytes{"byte by byte", {}};
    for (size_t at = 0; at < input.size(); ++at) bytes.pieces.push_back(input.substr(at, 1));
    splits.push_back(std::move(bytes));
    return splits;
}

// How feeding ended.
struct Outcome {
    bool done = false;
    // Bytes the parser took; all of them when it is not done.
    size_t taken = 0;
    // The message of what the parser threw ("" when nothing), and the input
    // bytes [errorFrom, errorTo) of the piece it was fed then.
    std::string error;
    size_t errorFrom = 0;
    size_t errorTo = 0;
};

// Feeds the pieces in turn, each until the parser took all of it or is done.
// feed(piece) returns how many bytes of the piece the parser took.
template <typename Feed, typename Done>
Outcome FeedPieces(const std::vector<std::string_view>& pieces, Feed feed, Done done) {
    Outcome outcome;
    for (const std::string_view piece : pieces) {
        std::string_view rest = piece;
        try {
            while (!rest.empty() && !done()) {
                const size_t taken = feed(rest);
                if (taken == 0) {
                    ADD_FAILURE() << "the parser took nothing of " << rest.size() << " bytes and is not done";
                    return outcome;
                }
                rest.remove_prefix(taken);
                outcome.taken += taken;
            }
            // Never a byte past the end, however often it is offered more.
            if (done() && !rest.empty()) {
                EXPECT_EQ(feed(rest), 0u);
            }
        } catch (const std::exception& error) {
            outcome.error = error.what();
            outcome.errorFrom = outcome.taken - (piece.size() - rest.size());
            outcome.errorTo = outcome.errorFrom + piece.size();
            return outcome;
        }
        if (done()) break;
    }
    outcome.done = done();
    return outcome;
}

// How feeding an input should end.
struct Ending {
    static constexpr size_t kWaiting = std::string_view::npos;
    // Done after this many bytes; kWaiting: all taken, more wanted. With an
    // error: the offset of the byte that raises it.
    size_t at;
    std::string error;
};

inline Ending DoneAt(size_t at) { return {at, ""}; }
inline Ending Waiting() { return {Ending::kWaiting, ""}; }
inline Ending FailsAt(size_t at, std::string message) { return {at, std::move(message)}; }

inline void ExpectEnding(const Outcome& outcome, const Ending& expected, size_t inputSize) {
    if (!expected.error.empty()) {
        EXPECT_EQ(outcome.error, expected.error);
        EXPECT_LE(outcome.errorFrom, expected.at) << "raised by a piece after the byte";
        EXPECT_LT(expected.at, outcome.errorTo) << "raised by a piece before the byte";
        return;
    }
    EXPECT_EQ(outcome.error, "");
    if (expected.at == Ending::kWaiting) {
        EXPECT_FALSE(outcome.done);
        EXPECT_EQ(outcome.taken, inputSize);
    } else {
        EXPECT_TRUE(outcome.done);
        EXPECT_EQ(outcome.taken, expected.at);
    }
}

}  // namespace corvasse::test
