#pragma once
// The exceptions of the network layers. Every one derives from NetError and
// carries a fixed English message; the monitor prints these messages into its
// alert report as they stand, so they must not change.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace corvasse {

// Root of every network-layer error.
class NetError : public std::runtime_error {
public:
    explicit NetError(const std::string& message) : std::runtime_error(message) {}
};

// Base of errors that report an expected end rather than a fault.
class SilentError : public NetError {
public:
    using NetError::NetError;
};

// ---- socket layer --------------------------------------------------------

// The text of a socket error code: "Socket Error # %d\r\n%s" with the short
// text of the code, or an empty short text for a code without one.
std::string SocketErrorText(int code);

// A failed socket call. Code() is the Winsock-style number
// (src/common/socket_error_code.h maps errno onto it).
class SocketError : public NetError {
public:
    // The message is SocketErrorText(code).
    explicit SocketError(int code);
    // A message kept from elsewhere (the timed connect's thread).
    SocketError(int code, const std::string& message);

    int Code() const { return code_; }

private:
    int code_;
};

// "Cannot allocate socket."
class InvalidSocketError : public NetError {
public:
    InvalidSocketError();
};

// The socket library could not be loaded. The message is the title, ": " and
// the system's text for the code, or the title alone when the code is 0.
class SocketLibraryError : public NetError {
public:
    SocketLibraryError(const std::string& title, int systemCode);

    int SystemCode() const { return systemCode_; }
    const std::string& SystemText() const { return systemText_; }
    const std::string& Title() const { return title_; }

private:
    int systemCode_;
    std::string systemText_;
    std::string title_;
};

// Base of the socket-stack errors below.
class StackError : public NetError {
public:
    using NetError::NetError;
};

// "Winsock Initialization Error."
class StackInitializationFailedError : public StackError {
public:
    StackInitializationFailedError();
};

// "Set Size Exceeded." (more than 64 sockets in one readiness wait)
class StackSetSizeExceededError : public StackError {
public:
    StackSetSizeExceededError();
};

// "%s is not a valid IP address."
class InvalidIPAddressError : public StackError {
public:
    explicit InvalidIPAddressError(const std::string& text);
};

// ---- TCP connection ------------------------------------------------------

// Base of the connection's own errors (not connected, buffer and I/O errors).
class TcpConnectionError : public NetError {
public:
    using NetError::NetError;
};

// "Already connected."
class AlreadyConnectedError : public NetError {
public:
    AlreadyConnectedError();
};

// "Connect timed out."
class ConnectTimeoutError : public NetError {
public:
    ConnectTimeoutError();
};

// "Connection Closed Gracefully." (the peer closed and nothing is left to read)
class ConnClosedGracefullyError : public SilentError {
public:
    ConnClosedGracefullyError();
};

// "Not Connected"
class NotConnectedError : public TcpConnectionError {
public:
    NotConnectedError();
};

// "IOHandler value is not valid"
class IOHandlerPropInvalidError : public TcpConnectionError {
public:
    IOHandlerPropInvalidError();
};

// ---- buffered reading and writing ---------------------------------------

// "Read Timeout"
class ReadTimeoutError : public NetError {
public:
    ReadTimeoutError();
};

// "Write Timeout" (a send that found no room for as long as a read may wait)
class WriteTimeoutError : public NetError {
public:
    WriteTimeoutError();
};

// "Disconnected." (receive or send on a handler whose socket is closed)
class ClosedSocketError : public NetError {
public:
    ClosedSocketError();
};

// "Max line length exceeded."
class MaxLineLengthExceededError : public NetError {
public:
    MaxLineLengthExceededError();
};

// "Not enough data in buffer."
class NotEnoughDataInBufferError : public TcpConnectionError {
public:
    NotEnoughDataInBufferError();
};

// A protocol reply whose code the request does not allow: a mail reply
// (message: the reply text, every line followed by CR LF) or an HTTP status.
class ProtocolReplyError : public NetError {
public:
    ProtocolReplyError(int replyCode, const std::string& message) : NetError(message), ReplyCode(replyCode) {}
    int ReplyCode;
};

}  // namespace corvasse
