#pragma once
// The errors of the HTTP client. All derive from NetError.

#include <cstdint>
#include <string>

#include "net/net_error.h"

namespace corvasse {

// A URL that cannot be composed: "Protocol field is empty", "Host field is empty".
class UriError : public NetError {
public:
    using NetError::NetError;
};

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

// A response that is neither a success nor a followed redirect. The message
// is the status line; ReplyCode its code; ResponseBody the body read with it.
class HttpProtocolError : public NetError {
public:
    HttpProtocolError(int32_t replyCode, const std::string& statusLine, std::string responseBody)
        : NetError(statusLine), replyCode_(replyCode), responseBody_(std::move(responseBody)) {}

    int32_t ReplyCode() const { return replyCode_; }
    const std::string& ResponseBody() const { return responseBody_; }

private:
    int32_t replyCode_;
    std::string responseBody_;
};

}  // namespace corvasse
