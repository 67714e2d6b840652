#pragma once
// One HTTP response: its head fields, the status line and where the body goes.

#include <cstdint>
#include <string>

#include "http/response_headers.h"

namespace corvasse {

class ByteSink;

enum class HttpVersion { V1_0, V1_1 };

class HttpResponse : public ResponseHeaders {
public:
    // The status line as received, without CR LF.
    std::string ResponseText;
    // The number after the version word of ResponseText, -1 when there is none.
    int32_t ResponseCode() const;
    // The version named in the status line ("HTTP/1.0" gives V1_0).
    HttpVersion ResponseVersion = HttpVersion::V1_1;
    // Where the body goes; not owned; nullptr: the body is read and dropped.
    ByteSink* BodyStream = nullptr;
};

}  // namespace corvasse
