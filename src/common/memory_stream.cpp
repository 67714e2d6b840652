#include "common/memory_stream.h"

#include <algorithm>
#include <cstring>

namespace corvasse {

void MemoryStream::SetPosition(int64_t position) { position_ = std::max<int64_t>(position, 0); }

void MemoryStream::SetSize(int64_t size) {
    bytes_.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
    position_ = std::min(position_, Size());
}

void MemoryStream::Reserve(int64_t capacity) {
    if (capacity > 0) bytes_.reserve(static_cast<size_t>(capacity));
}

void MemoryStream::Write(const char* data, size_t count) {
    if (count == 0) return;
    auto position = static_cast<size_t>(position_);
    if (position == bytes_.size()) {
        bytes_.append(data, count);
    } else {
        if (position > bytes_.size()) bytes_.resize(position);
        size_t overlap = std::min(count, bytes_.size() - position);
        bytes_.replace(position, overlap, data, count);
    }
    position_ += static_cast<int64_t>(count);
}

size_t MemoryStream::Read(char* data, size_t count) {
    if (position_ >= Size()) return 0;
    auto position = static_cast<size_t>(position_);
    size_t n = std::min(count, bytes_.size() - position);
    std::memcpy(data, bytes_.data() + position, n);
    position_ += static_cast<int64_t>(n);
    return n;
}

std::string MemoryStream::Release() {
    std::string bytes = std::move(bytes_);
    Clear();
    return bytes;
}

void MemoryStream::Clear() {
    bytes_.clear();
    position_ = 0;
}

}  // namespace corvasse
