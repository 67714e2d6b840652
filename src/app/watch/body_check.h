#pragma once
// The content check of a web watch, made on the body as it arrives: how long
// it is and whether it holds the look-for text. It keeps neither the body nor
// more of it than the search needs, so a watch costs the same memory for any
// size of page.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/byte_sink.h"
#include "common/streaming_search.h"

namespace corvasse {

class BodyCheck : public ByteSink {
public:
    // The text is looked for as ContainsBytes looks: exact bytes, and an
    // empty text is never found.
    explicit BodyCheck(std::string lookFor);

    void Write(std::string_view bytes) override;

    // Bytes taken so far.
    int64_t Length() const { return length_; }
    // The look-for text was among them.
    bool Found() const { return search_.Found(); }

private:
    int64_t length_ = 0;
    StreamingSearch search_;
};

}  // namespace corvasse
