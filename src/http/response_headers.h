#pragma once
// The fields of an HTTP response head, read from its raw header lines.

#include <string>
#include <vector>

#include "http/entity_headers.h"

namespace corvasse {

class ResponseHeaders : public EntityHeaders {
public:
    ResponseHeaders();

    // Empties every field; ContentType becomes "text/html".
    void Clear() override;

    // Reads the fields from the raw lines. An absent header gives an empty
    // field (ContentType included). Throws ConversionError for a
    // Content-Range whose numbers do not convert.
    void ProcessHeaders();

    std::string Location;
    std::string ProxyConnection;
    std::string Server;
    std::vector<std::string> ProxyAuthenticate;
    std::vector<std::string> WWWAuthenticate;
};

}  // namespace corvasse
