#include "http/line_buffer.h"

#include "net/net_error.h"

namespace corvasse {

LineBuffer::LineBuffer(size_t maxBytes) : maxBytes_(maxBytes) {}

size_t LineBuffer::Feed(std::string_view bytes) {
    if (complete_) return 0;
    const size_t end = bytes.find('\n');
    const std::string_view part = bytes.substr(0, end);
    if (maxBytes_ > 0 && part.size() > maxBytes_ - line_.size()) throw MaxLineLengthExceededError();
    line_.append(part);
    if (end == std::string_view::npos) return bytes.size();
    complete_ = true;
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    return end + 1;
}

void LineBuffer::Clear() {
    line_.clear();
    complete_ = false;
}

}  // namespace corvasse
