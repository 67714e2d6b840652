#include "http/chunked_decoder.h"

#include <algorithm>
#include <optional>
#include <string>

#include "common/byte_string.h"
#include "http/http_errors.h"

namespace corvasse {

namespace {

int32_t ParseChunkSize(const std::string& line) {
    std::string size = line.substr(0, line.find(' '));
    size = Trim(size.substr(0, size.find(';')));
    // With "$" before it no sign can stand first, so a size is never negative.
    const std::optional<int32_t> value = TryStrToInt("$" + size);
    if (!value) throw InvalidChunkSizeError();
    return *value;
}

}  // namespace

ChunkedDecoder::ChunkedDecoder(size_t maxLineBytes, int64_t maxBodyBytes)
    : maxBodyBytes_(maxBodyBytes), line_(maxLineBytes) {}

ChunkedDecoder::Fed ChunkedDecoder::Feed(std::string_view bytes) {
    Fed fed;
    while (state_ != State::Done && fed.taken < bytes.size()) {
        const std::string_view rest = bytes.substr(fed.taken);
        if (state_ == State::Data) {
            const auto count =
                static_cast<size_t>(std::min<int64_t>(chunkBytesLeft_, static_cast<int64_t>(rest.size())));
            fed.data = rest.substr(0, count);
            fed.taken += count;
            chunkBytesLeft_ -= static_cast<int64_t>(count);
            if (chunkBytesLeft_ == 0) state_ = State::DataEnd;
            break;
        }
        fed.taken += line_.Feed(rest);
        if (!line_.Complete()) break;
        EndLine();
        line_.Clear();
    }
    return fed;
}

void ChunkedDecoder::EndLine() {
    switch (state_) {
        case State::SizeLine: {
            const int32_t size = ParseChunkSize(line_.Line());
            if (size == 0) {
                state_ = State::LastLine;
                break;
            }
            if (size > maxBodyBytes_ - bodyBytes_) throw ResponseBodyTooLargeError(maxBodyBytes_);
            bodyBytes_ += size;
            chunkBytesLeft_ = size;
            state_ = State::Data;
            break;
        }
        case State::DataEnd:
            // Whatever stands before the line end is dropped: this client
            // always read any line here, and servers it worked with must
            // go on working.
            state_ = State::SizeLine;
            break;
        case State::LastLine:
            // Trailer fields are not read: what follows this line stays
            // unread, and a kept connection with bytes left is not reused.
            state_ = State::Done;
            break;
        case State::Data:
        case State::Done: break;
    }
}

}  // namespace corvasse
