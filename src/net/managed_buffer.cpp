#include "net/managed_buffer.h"

#include <algorithm>
#include <cstring>

#include "common/byte_sink.h"
#include "net/net_error.h"

namespace corvasse {

size_t ManagedBuffer::Find(std::string_view needle, size_t from) const {
    std::string_view unread = View();
    if (needle.size() == 1) {
        if (from >= unread.size()) return std::string_view::npos;
        const void* found = std::memchr(unread.data() + from, needle[0], unread.size() - from);
        return found ? static_cast<size_t>(static_cast<const char*>(found) - unread.data()) : std::string_view::npos;
    }
    return unread.find(needle, from);
}

void ManagedBuffer::Append(const char* data, size_t count) {
    std::memcpy(Reserve(count), data, count);
    Commit(count);
}

char* ManagedBuffer::Reserve(size_t count) {
    if (capacity_ - end_ >= count) return data_.get() + end_;
    size_t unread = Size();
    size_t needed = unread + count;
    if (capacity_ >= needed && offset_ > 0) {
        // Enough room once the consumed bytes are dropped.
        std::memmove(data_.get(), data_.get() + offset_, unread);
    } else {
        size_t capacity = std::max(needed, capacity_ * 2);
        // Not zeroed: only the bytes received are ever read, and a page the
        // receive does not reach is never touched.
        auto grown = std::make_unique_for_overwrite<char[]>(capacity);
        if (unread > 0) std::memcpy(grown.get(), data_.get() + offset_, unread);
        data_ = std::move(grown);
        capacity_ = capacity;
    }
    offset_ = 0;
    end_ = unread;
    return data_.get() + end_;
}

void ManagedBuffer::Remove(size_t count) {
    if (count > Size()) throw NotEnoughDataInBufferError();
    offset_ += count;
    if (offset_ == end_) {
        offset_ = end_ = 0;
    } else if (offset_ >= kCompactAfterBytes) {
        std::memmove(data_.get(), data_.get() + offset_, end_ - offset_);
        end_ -= offset_;
        offset_ = 0;
    }
    if (OnRemove && count > 0) OnRemove(static_cast<int64_t>(count));
}

std::string ManagedBuffer::Extract(size_t count) {
    std::string out;
    ExtractAppend(out, count);
    return out;
}

void ManagedBuffer::ExtractAppend(std::string& out, size_t count) {
    if (count > Size()) throw NotEnoughDataInBufferError();
    out.append(data_.get() + offset_, count);
    Remove(count);
}

void ManagedBuffer::ExtractTo(ByteSink& sink, size_t count) {
    if (count > Size()) throw NotEnoughDataInBufferError();
    sink.Write({data_.get() + offset_, count});
    Remove(count);
}

void ManagedBuffer::Clear() { offset_ = end_ = 0; }

}  // namespace corvasse
