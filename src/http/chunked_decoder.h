#pragma once
// A chunked body ("5\r\nhello\r\n0\r\n\r\n"), decoded from bytes fed in
// pieces of any size. It never touches a socket.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "http/line_buffer.h"
#include "http/response_limits.h"

namespace corvasse {

class ChunkedDecoder {
public:
    // What one Feed took.
    struct Fed {
        // Bytes taken from the front of the input.
        size_t taken = 0;
        // The body bytes among them: a view into the input.
        std::string_view data;
    };

    // maxLineBytes as LineBuffer takes it, for every line of the framing;
    // maxBodyBytes: the most body bytes the chunks may add up to.
    explicit ChunkedDecoder(size_t maxLineBytes = kMaxResponseLineBytes, int64_t maxBodyBytes = kMaxResponseBodyBytes);

    // Takes bytes from the front of `bytes` until it has taken one run of
    // chunk data, the body has ended or the bytes are used up; never a byte
    // past the line that ends the body. Call it again with the rest.
    // A chunk-size line is a hexadecimal number, optionally followed by a
    // blank or by ";" and an extension. Throws InvalidChunkSizeError "Invalid
    // chunk size." for any other, ResponseBodyTooLargeError at a size that
    // would take the body past maxBodyBytes, and MaxLineLengthExceededError.
    Fed Feed(std::string_view bytes);
    bool Done() const { return state_ == State::Done; }
    // Data bytes of the current chunk still to come; 0 while a line is read.
    int64_t ChunkBytesLeft() const { return state_ == State::Data ? chunkBytesLeft_ : 0; }

private:
    enum class State {
        SizeLine,  // the chunk-size line
        Data,      // the chunk's data
        DataEnd,   // the line end after the data
        LastLine,  // the line after the last chunk, which ends the body
        Done,
    };

    void EndLine();

    int64_t maxBodyBytes_;
    LineBuffer line_;
    State state_ = State::SizeLine;
    int64_t chunkBytesLeft_ = 0;
    int64_t bodyBytes_ = 0;
};

}  // namespace corvasse
