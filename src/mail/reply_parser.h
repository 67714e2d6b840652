#pragma once
// One reply of a line-oriented mail protocol, read from bytes fed in pieces
// of any size. It never touches a socket.
//
// Lines end with LF (a CR before it is a blank like any other); each line is
// trimmed of blanks, and blank lines are skipped. A first line "250-..."
// opens a multi-line reply that ends with a line starting "250 " (any case)
// or holding at most three characters; any other first line is the reply.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/tcp_client.h"

namespace corvasse {

// The most bytes the lines of one reply may hold together, counted after
// trimming.
inline constexpr int64_t kMaxReplyBytes = int64_t{64} << 10;

class ReplyParser {
public:
    // maxLineBytes: the most bytes a line may hold before its LF (a CR there
    // included); 0 means no limit. A longer line raises
    // MaxLineLengthExceededError.
    explicit ReplyParser(size_t maxLineBytes = kDefaultMaxLineLength, int64_t maxReplyBytes = kMaxReplyBytes);

    // Takes the whole lines the bytes hold, up to and including the LF that
    // ends the reply, and returns how many bytes it took. An unfinished line
    // is left to the caller, to be offered again with more bytes after it, so
    // a read that gives up keeps it for the next; so is everything once done.
    // Throws MaxLineLengthExceededError, and at the end of a line
    // ReplyTooLargeError.
    size_t Feed(std::string_view bytes);
    bool Done() const { return done_; }
    // The reply's lines as read, trimmed, blank ones left out.
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    void EndLine(std::string_view text);

    size_t maxLineBytes_;
    int64_t maxReplyBytes_;
    std::vector<std::string> lines_;
    int64_t replyBytes_ = 0;
    bool done_ = false;
};

}  // namespace corvasse
