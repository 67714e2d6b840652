#pragma once
// One line of a response (a status, header or chunk line), gathered from bytes
// fed in pieces of any size.

#include <cstddef>
#include <string>
#include <string_view>

#include "http/response_limits.h"

namespace corvasse {

class LineBuffer {
public:
    // maxBytes: the most bytes the line may hold before its LF, a CR right
    // before the LF included; 0 means no limit.
    explicit LineBuffer(size_t maxBytes = kMaxResponseLineBytes);

    // Takes bytes up to and including the LF that ends the line and returns
    // how many it took; once the line is complete it takes none. Throws
    // MaxLineLengthExceededError "Max line length exceeded." as soon as the
    // line holds more than maxBytes bytes before its LF.
    size_t Feed(std::string_view bytes);
    bool Complete() const { return complete_; }
    // The line so far; once complete, without its LF and a CR right before it.
    // A bare LF ends a line too: servers that end lines so are still read.
    const std::string& Line() const { return line_; }
    // Starts the next line.
    void Clear();

private:
    size_t maxBytes_;
    std::string line_;
    bool complete_ = false;
};

}  // namespace corvasse
