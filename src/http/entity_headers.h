#pragma once
// The header fields common to HTTP requests and responses, and the raw header
// lines they are written to or read from.

#include <cstdint>
#include <string>

#include "common/header_list.h"

namespace corvasse {

class EntityHeaders {
public:
    virtual ~EntityHeaders() = default;

    // Empties every field and the raw lines; ContentLength becomes -1.
    virtual void Clear();

    std::string Connection;
    // -1 when no length is given.
    int32_t ContentLength() const { return contentLength_; }

    // The header lines as they go on or came off the wire (folded at 1024).
    HeaderList& RawHeaders() { return rawHeaders_; }
    const HeaderList& RawHeaders() const { return rawHeaders_; }

protected:
    // Reads the entity fields from the raw lines.
    void ReadEntityHeaders();

private:
    int32_t contentLength_ = -1;
    HeaderList rawHeaders_{HeaderList::kHttpFoldWidth};
};

}  // namespace corvasse
