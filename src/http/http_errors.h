#pragma once
// The errors of the HTTP client. All derive from NetError.

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

#include "net/net_error.h"

namespace corvasse {

// A URL whose protocol has no known default port and which names none.
// Its message is empty.
class UnknownProtocolError : public NetError {
public:
    UnknownProtocolError() : NetError("") {}
};

// A chunk-size line that does not start with a hexadecimal number:
// "Invalid chunk size."
class InvalidChunkSizeError : public NetError {
public:
    InvalidChunkSizeError() : NetError("Invalid chunk size.") {}
};

// A response whose body would pass the client's limit (kMaxResponseBodyBytes):
// "Response body exceeds 268435456 bytes."
class ResponseBodyTooLargeError : public NetError {
public:
    explicit ResponseBodyTooLargeError(int64_t limit)
        : NetError("Response body exceeds " + std::to_string(limit) + " bytes.") {}
};

// A response whose status and header lines would pass the client's limit
// (kMaxResponseHeaderBytes): "Response headers exceed 262144 bytes."
class ResponseHeadersTooLargeError : public NetError {
public:
    explicit ResponseHeadersTooLargeError(int64_t limit)
        : NetError("Response headers exceed " + std::to_string(limit) + " bytes.") {}
};

// A fetch still reading when its time (HttpClient::FetchTimeout) ran out:
// "Response not complete within 600000 ms."
class FetchTimeoutError : public NetError {
public:
    explicit FetchTimeoutError(std::chrono::milliseconds timeout)
        : NetError("Response not complete within " + std::to_string(timeout.count()) + " ms.") {}
};

// A request header field whose name or value holds a line break, which would
// end the field early and start another: "Header field "Title" holds a line break."
class HeaderFieldError : public NetError {
public:
    explicit HeaderFieldError(const std::string& name)
        : NetError("Header field \"" + name + "\" holds a line break.") {}
};

// A response that is neither a success nor a followed redirect. The message
// is the status line; ReplyCode its code; ResponseBody the body read with it.
class HttpProtocolError : public ProtocolReplyError {
public:
    HttpProtocolError(int32_t replyCode, const std::string& statusLine, std::string responseBody)
        : ProtocolReplyError(replyCode, statusLine), responseBody_(std::move(responseBody)) {}

    const std::string& ResponseBody() const { return responseBody_; }

private:
    std::string responseBody_;
};

}  // namespace corvasse
