#pragma once
// The blocking TCP connection out to Host:Port that every protocol client
// derives from: connecting, the input buffer and its fill with read time-out
// and close detection, which parsers read through (net/parser_feed.h),
// reading streams, writing text and lines, buffered writes that gather a
// request into one send, and disconnecting. The protocol clients override
// Connect and Disconnect, calling these.
//
// Every read and write blocks the calling thread; status and work events are
// raised on it, inside the operation that causes them. Reads count as
// WorkMode::Read work (when bytes leave the input buffer), sends as
// WorkMode::Write work.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/address_family.h"
#include "net/io_handler.h"
#include "net/managed_buffer.h"
#include "net/net_component.h"

namespace corvasse {

class ByteSink;

// What a read does when the connection is (or turns out) closed: throw
// ConnClosedGracefullyError (or NotConnectedError), or return.
enum class IfClosed { Throw, Return };

// What a fill does when its wait runs out: throw ReadTimeoutError, or return -1.
enum class IfTimedOut { Throw, Return };

// Whether bytes already in the input buffer keep a closed connection readable.
enum class UnreadInput { Ignored, KeepsReadable };

// Where ReadStreamData stops: after its count of bytes, or when the peer closes.
enum class ReadTo { Count, Close };

inline constexpr int kDefaultMaxLineLength = 16384;
inline constexpr int kDefaultRecvBufferSize = 32768;

class TcpClient : public NetComponent {
public:
    TcpClient();
    // Closes the socket (no events) and frees a handler the connection made.
    ~TcpClient() override;

    // ---- published properties ----
    // A name, an IPv4 literal, or an IPv6 literal with or without brackets.
    std::string Host;
    int Port = 0;
    // The addresses of Host that may be used: any (tried as
    // happy_eyeballs.h says), or those of one family only.
    AddressFamily Family = AddressFamily::Any;
    // Longest line the protocol parsers accept, counted in bytes before the
    // LF; 0 means no limit. A longer line raises MaxLineLengthExceededError.
    int MaxLineLength = kDefaultMaxLineLength;
    // Milliseconds a read waits for data; 0 (or less) waits without limit.
    int ReadTimeout = 0;
    // Bytes asked for by one receive.
    int RecvBufferSize = kDefaultRecvBufferSize;
    // Raised after the status Connected.
    std::function<void()> OnConnected;
    // Raised when the connection closes (see Disconnect and DetectDisconnect).
    std::function<void()> OnDisconnected;

    // Uses a handler supplied from outside (shared by the SMTP and POP3
    // clients); the connection never frees it, and it must outlive the
    // connection. nullptr lets the next Connect create one of its own.
    void SetIOHandler(IOHandler* handler);
    IOHandler* Handler() const { return handler_; }

    // ---- connection state ----
    // Connects (creating a TlsIOHandler of its own when none is set; it stays a
    // plain socket handler until a client starts TLS on it).
    // wait: Wait::Default(), Wait::Forever() (or a wait of 0) as long as the
    // system's own attempts last; Wait::For(t) gives up after t with
    // ConnectTimeoutError "Connect timed out.". Status order: Resolving (only
    // for a name), Connecting for each address tried, Connected, then
    // OnConnected. Any failure closes the socket before the error passes;
    // the client can connect again.
    // Throws AlreadyConnectedError, SocketError, InvalidSocketError and
    // ConnectTimeoutError.
    virtual void Connect(Wait wait = Wait::Default());
    // The address (an IPv6 one in brackets) and port the latest Connect
    // connected to, or tried last when it failed ("[2001:db8::1]:443");
    // kept after Disconnect, empty when it tried none.
    const std::string& PeerTried() const { return peerTried_; }
    // CheckConnection, then Connected: the published test, which may drop
    // the socket and raise events on the way.
    bool IsConnected();
    // A step: notices a connection the peer closed (DetectDisconnect without
    // raising), dropping the socket and raising its events.
    void CheckConnection();
    // Whether the handler holds an open socket; changes nothing. What a peer
    // closed shows only after the next read or CheckConnection.
    bool Connected() const { return handler_ && handler_->Connected(); }
    // When connected: status Disconnecting, close the socket, free a handler
    // the connection made, then OnDisconnected and status Disconnected (event
    // before status). Silent when nothing is open.
    virtual void Disconnect();
    // Closes the socket without any event.
    void DropSocket();

    // ---- read deadline ----
    // Until it is cleared, no read waits past this moment: a fill that would
    // wait longer, or that starts after it, times out as if ReadTimeout had
    // run out. This bounds a whole exchange against a peer that sends just
    // often enough to keep each single wait short.
    void SetReadDeadline(std::chrono::steady_clock::time_point deadline) { readDeadline_ = deadline; }
    void ClearReadDeadline() { readDeadline_.reset(); }
    bool ReadDeadlinePassed() const;

    // ---- reading ----
    // Waits for data and appends one receive to the input buffer. The default
    // wait is ReadTimeout. Returns the count received, 0 when the peer closed
    // (or, with IfClosed::Return, when the connection is not open), -1 when
    // the wait ran out with IfTimedOut::Return; else throws ReadTimeoutError
    // "Read Timeout". Throws ConnClosedGracefullyError, NotConnectedError,
    // SocketError.
    int FillInputBuffer(IfClosed ifClosed = IfClosed::Throw, Wait wait = Wait::Default(),
                        IfTimedOut ifTimedOut = IfTimedOut::Throw);
    // A 1 ms fill that notices a peer that closed a kept connection.
    void PollForClose(IfClosed ifClosed);
    // Fills the input buffer until it holds at least count bytes, with the
    // fill's waits and errors; a peer that closes first raises
    // ConnClosedGracefullyError.
    void WaitForInput(size_t count);
    // The unread bytes of the input buffer, for a parser to look at; valid
    // until the next read or ConsumeInput.
    std::string_view InputView() const { return inputBuffer_.View(); }
    // Takes count bytes (at most InputBufferSize) from the front of the
    // input buffer, as a read does.
    void ConsumeInput(size_t count) { inputBuffer_.Remove(count); }
    // Hands n bytes to the sink as each receive brings them; ReadTo::Close
    // reads until the peer closes. One WorkMode::Read bracket (max n, or 0
    // until close). Bytes that arrived before a failure reach the sink before
    // the error passes.
    void ReadStreamData(ByteSink& sink, int64_t n, ReadTo until = ReadTo::Count);
    // Bytes waiting in the input buffer.
    int64_t InputBufferSize() const { return static_cast<int64_t>(inputBuffer_.Size()); }

    // ---- writing ----
    // Sends the text, or adds it to an open write buffer. A send that finds
    // no room for as long as ReadTimeout lets a read wait (no limit when it
    // is 0) closes the socket and throws WriteTimeoutError "Write Timeout"; a
    // raised process abort ends it with AbortedError. Throws
    // NotConnectedError, ConnClosedGracefullyError, SocketError.
    void WriteText(std::string_view text);
    // The text followed by CR LF.
    void WriteLn(std::string_view text = "");
    // Each line with WriteLn.
    void WriteLines(const std::vector<std::string>& lines);

    // Gathers writes in a buffer until EndBufferedWrites.
    void BeginBufferedWrites();
    // Sends everything and closes the buffer (also when the send throws).
    void EndBufferedWrites();
    // Empties the buffer without sending.
    void DiscardBufferedWrites();

private:
    // Empties the input buffer and clears PeerClosed (at every connect).
    void ResetConnection();
    // Takes a handler the connection made itself; Disconnect frees it.
    void AdoptOwnHandler(std::unique_ptr<IOHandler> handler);
    bool OwnsHandler() const { return ownHandler_ != nullptr; }

    // The connection counts as closed when the last receive got 0 bytes (then,
    // if the socket is still open: close it, status Disconnected, then
    // OnDisconnected - status before event) or when the handler holds no
    // socket. When closed, IfClosed::Throw throws ConnClosedGracefullyError
    // unless unread bytes remain and keep it readable.
    void DetectDisconnect(IfClosed ifClosed, UnreadInput unread);
    // ReadTimeout as a wait.
    Wait ReadTimeoutWait() const;
    // Waits for data as long as the wait (Forever or For) allows, and never past the read deadline.
    bool WaitReadable(Wait wait);
    void SendAll(const char* data, size_t count);
    int RecvSize() const;

    IOHandler* handler_ = nullptr;
    std::unique_ptr<IOHandler> ownHandler_;  // set when handler_ is the connection's own
    ManagedBuffer inputBuffer_;
    std::optional<std::chrono::steady_clock::time_point> readDeadline_;
    bool peerClosed_ = false;
    bool writeBufferOpen_ = false;
    std::string writeBuffer_;
    std::string peerTried_;
};

// Gives a connection a read deadline `limit` from now (none when the limit is
// 0 or less) and clears it however the scope is left.
class ScopedReadDeadline {
public:
    ScopedReadDeadline(TcpClient& connection, std::chrono::milliseconds limit);
    ~ScopedReadDeadline() { connection_.ClearReadDeadline(); }
    ScopedReadDeadline(const ScopedReadDeadline&) = delete;
    ScopedReadDeadline& operator=(const ScopedReadDeadline&) = delete;

private:
    TcpClient& connection_;
};

}  // namespace corvasse
