#pragma once
// The fields of an HTTP response head, read from its raw header lines.

#include <cstdint>
#include <string>
#include <vector>

#include "http/entity_headers.h"

namespace corvasse {

class ResponseHeaders : public EntityHeaders {
public:
    ResponseHeaders();

    // Empties every field.
    void Clear() override;

    // Reads the fields from the raw lines. An absent header gives an empty
    // field. Throws ConversionError for a Content-Range whose numbers do not
    // convert.
    void ProcessHeaders();

    std::string Location;
    std::string ProxyConnection;
    std::vector<std::string> WWWAuthenticate;
    // The byte range of a Content-Range ("bytes 100-199/1000"); 0 without.
    uint32_t ContentRangeStart = 0;
    uint32_t ContentRangeEnd = 0;
};

}  // namespace corvasse
