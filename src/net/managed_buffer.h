#pragma once
// The input buffer of a connection: received bytes are appended at the end and
// read from the front. Consumed bytes are skipped by an offset and only moved
// out once 32768 of them have gathered, so reading many short lines does not
// shift the buffer each time.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace corvasse {

class ByteSink;

// Consumed bytes are compacted away once this many have gathered.
inline constexpr size_t kCompactAfterBytes = 32768;

class ManagedBuffer {
public:
    ManagedBuffer() = default;
    ManagedBuffer(const ManagedBuffer&) = delete;
    ManagedBuffer& operator=(const ManagedBuffer&) = delete;

    // Called with the byte count of every removal (the connection turns it
    // into read work).
    std::function<void(int64_t)> OnRemove;

    size_t Size() const { return end_ - offset_; }
    bool Empty() const { return end_ == offset_; }
    // The unread bytes.
    std::string_view View() const { return {data_.get() + offset_, end_ - offset_}; }
    // Index of needle in the unread bytes at or after from, or npos.
    size_t Find(std::string_view needle, size_t from = 0) const;

    void Append(const char* data, size_t count);
    // Room for count more bytes at the end; Commit makes the first used of
    // them part of the buffer. Lets a receive write straight into the buffer.
    char* Reserve(size_t count);
    void Commit(size_t used) { end_ += used; }

    // Drops count bytes from the front; throws NotEnoughDataInBufferError
    // "Not enough data in buffer." when fewer are buffered.
    void Remove(size_t count);
    // Removes count bytes from the front and returns / appends / writes them.
    std::string Extract(size_t count);
    void ExtractAppend(std::string& out, size_t count);
    void ExtractTo(ByteSink& sink, size_t count);
    // Empties the buffer without reporting a removal.
    void Clear();
    // How many consumed bytes still sit before the unread ones.
    size_t ConsumedOffset() const { return offset_; }

private:
    std::unique_ptr<char[]> data_;
    size_t capacity_ = 0;
    size_t offset_ = 0;  // first unread byte
    size_t end_ = 0;     // one past the last byte
};

}  // namespace corvasse
