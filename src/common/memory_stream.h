#pragma once
// A growable in-memory byte stream with a read/write position, used for HTTP
// bodies and other blocks read from or written to a connection.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/byte_sink.h"

namespace corvasse {

class MemoryStream : public ByteSink {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}

    int64_t Position() const { return position_; }
    // Moves the position; a position beyond the end is allowed (a later write
    // fills the gap with zero bytes), a negative one becomes 0.
    void SetPosition(int64_t position);

    int64_t Size() const { return static_cast<int64_t>(bytes_.size()); }
    // Grows the stream with zero bytes or cuts it; the position is kept, but
    // never left beyond the new end.
    void SetSize(int64_t size);
    // Makes room for a stream of this many bytes without changing its size.
    void Reserve(int64_t capacity);

    // Writes at the position, growing the stream as needed, and moves the
    // position past the bytes written.
    void Write(const char* data, size_t count);
    void Write(std::string_view bytes) override { Write(bytes.data(), bytes.size()); }

    // Reads up to count bytes from the position; returns how many were read
    // (0 at the end) and moves the position past them.
    size_t Read(char* data, size_t count);

    const std::string& Bytes() const { return bytes_; }
    std::string_view View() const { return bytes_; }
    // Hands the bytes over and leaves the stream empty at position 0.
    std::string Release();
    void Clear();

private:
    std::string bytes_;
    int64_t position_ = 0;
};

}  // namespace corvasse
