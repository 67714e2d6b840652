#pragma once
// One HTTP request: its head fields plus what the request line needs, and
// the body of a POST.

#include <string>
#include <utility>
#include <vector>

#include "http/request_headers.h"

namespace corvasse {

class HttpRequest : public RequestHeaders {
public:
    // The request line's method: "GET" or "POST".
    std::string Method = "GET";
    // The text after the method in the request line: path, resource and query.
    std::string RequestTarget;
    // A POST's body, its type and its further header fields (name, value),
    // written after those of RequestHeaders; empty for a GET.
    std::string Body;
    std::string ContentType;
    std::vector<std::pair<std::string, std::string>> Fields;
};

}  // namespace corvasse
