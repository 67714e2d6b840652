#pragma once
// Errors of the mail clients and the mail message.

#include <cstdint>
#include <string>

#include "net/net_error.h"

namespace corvasse {

// A command line that holds CR or LF: sent, it would become several commands.
class CommandLineBreakError : public NetError {
public:
    CommandLineBreakError();
};

// A reply whose lines together pass the client's limit (kMaxReplyBytes):
// "Reply exceeds 65536 bytes."
class ReplyTooLargeError : public NetError {
public:
    explicit ReplyTooLargeError(int64_t limit);
};

// A message that cannot be written as it stands (encoding, line breaks in
// address fields).
class MessageError : public NetError {
public:
    using NetError::NetError;
};

// An address text that cannot be parsed ("@ Outside address").
class EmailParseError : public NetError {
public:
    using NetError::NetError;
};

}  // namespace corvasse
