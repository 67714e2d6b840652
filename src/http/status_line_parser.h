#pragma once
// The status line that starts a response ("HTTP/1.1 200 OK"), read from bytes
// fed in pieces of any size. It never touches a socket.

#include <cstddef>
#include <string>
#include <string_view>

#include "http/line_buffer.h"
#include "http/response_limits.h"

namespace corvasse {

class StatusLineParser {
public:
    // The line counts in headBytes, which the header block and any interim
    // response of the same request count in too. maxLineBytes as LineBuffer
    // takes it.
    explicit StatusLineParser(HeadByteCount& headBytes, size_t maxLineBytes = kMaxResponseLineBytes);

    // Takes bytes up to and including the LF that ends the line and returns
    // how many it took; none once done, so what follows stays with the
    // caller. Throws MaxLineLengthExceededError, and at the line's end
    // ResponseHeadersTooLargeError.
    size_t Feed(std::string_view bytes);
    bool Done() const { return line_.Complete(); }
    // The line as received, without its line end.
    const std::string& Line() const { return line_.Line(); }

private:
    HeadByteCount& headBytes_;
    LineBuffer line_;
};

}  // namespace corvasse
