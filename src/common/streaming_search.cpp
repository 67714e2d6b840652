#include "common/streaming_search.h"

#include <algorithm>

#include "common/byte_string.h"

namespace corvasse {

StreamingSearch::StreamingSearch(std::string text) : text_(std::move(text)) {}

void StreamingSearch::Feed(std::string_view piece) {
    if (found_ || text_.empty() || piece.empty()) return;
    const size_t keep = text_.size() - 1;
    // A match that begins in the tail ends within the first `keep` bytes of
    // the piece; only those are joined to it, the piece itself is searched
    // where it lies.
    std::string seam = tail_;
    seam.append(piece.substr(0, keep));
    found_ = ContainsBytes(seam, text_) || ContainsBytes(piece, text_);
    if (found_) return;
    if (piece.size() >= keep) {
        tail_.assign(piece.substr(piece.size() - keep));
    } else {
        tail_ = seam.substr(seam.size() - std::min(seam.size(), keep));
    }
}

}  // namespace corvasse
