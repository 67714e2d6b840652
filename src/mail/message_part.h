#pragma once
// The parts of a MIME message. A part keeps its Content-ID,
// Content-Transfer-Encoding and Content-Type in its own header list.

#include <string>
#include <string_view>
#include <vector>

#include "common/header_list.h"

namespace corvasse {

class MessagePart {
public:
    virtual ~MessagePart() = default;

    // Each reads the part's header of that name; setting an empty value
    // removes the header. The setters throw MessageError for a value that
    // holds CR or LF: it would start a header line of its own.
    std::string ContentID() const { return headers_.GetHeaderValue("Content-ID"); }
    void SetContentID(std::string_view value) { SetHeader("Content-ID", value); }
    std::string ContentTransfer() const { return headers_.GetHeaderValue("Content-Transfer-Encoding"); }
    void SetContentTransfer(std::string_view value) { SetHeader("Content-Transfer-Encoding", value); }
    std::string ContentType() const { return headers_.GetHeaderValue("Content-Type"); }
    void SetContentType(std::string_view value) { SetHeader("Content-Type", value); }

    // Written after the part's own headers, unchanged.
    HeaderList ExtraHeaders;

protected:
    MessagePart() = default;

private:
    void SetHeader(std::string_view name, std::string_view value);

    HeaderList headers_;
};

// A part of text lines.
class TextPart : public MessagePart {
public:
    TextPart() = default;
    explicit TextPart(std::vector<std::string> body) : Body(std::move(body)) {}

    std::vector<std::string> Body;
};

}  // namespace corvasse
