#pragma once
// One HTTP response: its head fields and the status line.

#include <cstdint>
#include <string>

#include "http/response_headers.h"

namespace corvasse {

class HttpResponse : public ResponseHeaders {
public:
    // The status line as received, without CR LF.
    std::string ResponseText;
    // The number after the version word of ResponseText, -1 when there is none.
    int32_t ResponseCode() const;
};

}  // namespace corvasse
