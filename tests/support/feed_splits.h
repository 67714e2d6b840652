#pragma once
// Feeds one input to a parser in every way a connection could cut it: in two
// at each byte boundary, and byte by byte. A parser must end the same way in
// all of them: done after the same byte, waiting after the same byte, or
// failing at the same byte.
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
    // Bytes the parser took, and those it left for later (an unfinished line).
    size_t taken = 0;
    size_t held = 0;
    // The message of what the parser threw ("" when nothing), and the input
    // bytes [errorFrom, errorTo) it was offered then.
    std::string error;
    size_t errorFrom = 0;
    size_t errorTo = 0;
};

// Feeds the pieces in turn as a connection's input buffer would: each piece
// joins the bytes the parser has not taken, which it is offered until it
// takes none of them or is done. feed(bytes) returns how many it took.
template <typename Feed, typename Done>
Outcome FeedPieces(const std::vector<std::string_view>& pieces, Feed feed, Done done) {
    Outcome outcome;
    std::string held;
    for (const std::string_view piece : pieces) {
        held.append(piece);
        try {
            size_t taken = 1;
            while (!held.empty() && !done() && taken > 0) {
                taken = feed(std::string_view(held));
                held.erase(0, taken);
                outcome.taken += taken;
            }
            // Never a byte past the end, however often it is offered more.
            if (done() && !held.empty()) {
                EXPECT_EQ(feed(std::string_view(held)), 0u);
            }
        } catch (const std::exception& error) {
            outcome.error = error.what();
            outcome.errorFrom = outcome.taken;
            outcome.errorTo = outcome.taken + held.size();
            return outcome;
        }
        if (done()) break;
    }
    outcome.done = done();
    outcome.held = held.size();
    return outcome;
}

// How feeding an input should end.
struct Ending {
    static constexpr size_t kAll = std::string_view::npos;
    // Done after this many bytes, or waiting for more after taking this many
    // (kAll: the whole input). With an error: the offset of the byte that
    // raises it.
    size_t at;
    std::string error;
    bool waiting = false;
};

inline Ending DoneAt(size_t at) { return {at, ""}; }
inline Ending Waiting(size_t taken = Ending::kAll) { return {taken, "", true}; }
inline Ending FailsAt(size_t at, std::string message) { return {at, std::move(message)}; }

inline void ExpectEnding(const Outcome& outcome, const Ending& expected, size_t inputSize) {
    if (!expected.error.empty()) {
        EXPECT_EQ(outcome.error, expected.error);
        EXPECT_LE(outcome.errorFrom, expected.at) << "raised by bytes after the byte";
        EXPECT_LT(expected.at, outcome.errorTo) << "raised by bytes before the byte";
        return;
    }
    EXPECT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.done, !expected.waiting);
    EXPECT_EQ(outcome.taken, expected.at == Ending::kAll ? inputSize : expected.at);
    if (expected.waiting) {
        EXPECT_EQ(outcome.taken + outcome.held, inputSize) << "bytes lost";
    }
}

}  // namespace corvasse::test
