#pragma once
// The limits on what one response may bring, and the count of head bytes that
// the head limit is checked against.

#include <cstddef>
#include <cstdint>

#include "http/http_errors.h"

namespace corvasse {

// The longest status, header or chunk line, in bytes before its LF (a CR
// right before the LF counts). The same as the connection's MaxLineLength by
// default; HttpClient hands its MaxLineLength to the parsers.
inline constexpr size_t kMaxResponseLineBytes = 16384;
// The most bytes the status lines and headers of one request's responses may
// take together (interim 100 responses included). More fail the fetch with
// ResponseHeadersTooLargeError.
inline constexpr int64_t kMaxResponseHeaderBytes = int64_t{256} << 10;
// The most body bytes one response may bring. A body announced larger, or a
// body that goes on past it (chunked or read until the server closes), fails
// the fetch with ResponseBodyTooLargeError instead of taking all memory.
inline constexpr int64_t kMaxResponseBodyBytes = int64_t{256} << 20;

// The bytes the status and header lines of one request's responses have
// taken so far.
class HeadByteCount {
public:
    // Counts a line of lineBytes with its line end, which always counts as two
    // bytes. Throws ResponseHeadersTooLargeError once the count passes
    // kMaxResponseHeaderBytes.
    void CountLine(size_t lineBytes) {
        bytes_ += static_cast<int64_t>(lineBytes) + 2;
        if (bytes_ > kMaxResponseHeaderBytes) throw ResponseHeadersTooLargeError(kMaxResponseHeaderBytes);
    }
    int64_t Bytes() const { return bytes_; }

private:
    int64_t bytes_ = 0;
};

}  // namespace corvasse
