#pragma once
// The header fields common to HTTP requests and responses, and the raw header
// lines they are written to or read from.

#include <cstdint>
#include <ctime>
#include <string>

#include "common/header_list.h"

namespace corvasse {

class EntityHeaders {
public:
    EntityHeaders();
    virtual ~EntityHeaders() = default;

    // Empties every field and the raw lines; ContentLength becomes -1.
    virtual void Clear();

    std::string CacheControl;
    std::string Connection;
    std::string ContentEncoding;
    std::string ContentLanguage;
    // -1 when no length is given; setting it also sets LengthGiven to (value >= 0).
    int32_t ContentLength() const { return contentLength_; }
    void SetContentLength(int32_t value);
    uint32_t ContentRangeEnd = 0;
    uint32_t ContentRangeStart = 0;
    std::string ContentType;
    std::string ContentVersion;
    // Extra lines sent unchanged after the entity headers of a request.
    HeaderList CustomHeaders;
    // Seconds since the epoch; 0 = none.
    std::time_t Date = 0;
    std::time_t Expires = 0;
    std::time_t LastModified = 0;
    std::string Pragma;

    // True when a Content-Length of 0 or more was received or set.
    bool LengthGiven() const { return lengthGiven_; }

    // The header lines as they go on or came off the wire (folded at 1024).
    HeaderList& RawHeaders() { return rawHeaders_; }
    const HeaderList& RawHeaders() const { return rawHeaders_; }

protected:
    // Appends the entity header lines for the fields that are set.
    void AddEntityHeaders();
    // Reads the entity fields from the raw lines. A numeric Expires counts
    // seconds from now.
    void ReadEntityHeaders();

private:
    int32_t contentLength_ = -1;
    bool lengthGiven_ = false;
    HeaderList rawHeaders_{HeaderList::kHttpFoldWidth};
};

}  // namespace corvasse
