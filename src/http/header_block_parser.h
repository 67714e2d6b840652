#pragma once
// The header lines of a response up to the empty line that ends them, read
// from bytes fed in pieces of any size. It never touches a socket.

#include <cstddef>
#include <string_view>

#include "common/header_list.h"
#include "http/line_buffer.h"
#include "http/response_limits.h"

namespace corvasse {

class HeaderBlockParser {
public:
    // Each line goes to `headers` as soon as it is complete, so the lines
    // read before a failure stay there. The lines count in headBytes after
    // the status line's; maxLineBytes as LineBuffer takes it.
    HeaderBlockParser(HeaderList& headers, HeadByteCount& headBytes, size_t maxLineBytes = kMaxResponseLineBytes);

    // Takes bytes up to and including the LF of the empty line and returns
    // how many it took; none once done, so the body stays with the caller.
    // Throws MaxLineLengthExceededError, and at the end of a line
    // ResponseHeadersTooLargeError.
    size_t Feed(std::string_view bytes);
    bool Done() const { return done_; }

private:
    HeaderList& headers_;
    HeadByteCount& headBytes_;
    LineBuffer line_;
    bool done_ = false;
};

}  // namespace corvasse
