#pragma once
// One HTTP request: its head fields plus what the request line needs.

#include <string>

#include "http/request_headers.h"

namespace corvasse {

class HttpRequest : public RequestHeaders {
public:
    // The text after the method in the request line: path, resource and query.
    std::string RequestTarget;
};

}  // namespace corvasse
