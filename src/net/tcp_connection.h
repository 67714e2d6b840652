#pragma once
// The blocking TCP connection every protocol client derives from: the input
// buffer and its fill with read time-out and close detection, reading lines,
// blocks and streams, writing text, lines, blocks and streams, buffered writes
// that gather a request into one send, and disconnecting.
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

#include "net/io_handler.h"
#include "net/managed_buffer.h"
#include "net/net_component.h"

namespace corvasse {

class ByteSink;
class MemoryStream;

// What a read does when the connection is (or turns out) closed: throw
// ConnClosedGracefullyError (or NotConnectedError), or return.
enum class IfClosed { Throw, Return };

// What a fill does when its wait runs out: throw ReadTimeoutError, or return -1.
enum class IfTimedOut { Throw, Return };

// Whether bytes already in the input buffer keep a closed connection readable.
enum class UnreadInput { Ignored, KeepsReadable };

// What ReadLn does with a line longer than its limit.
enum class MaxLineAction {
    Exception,  // throw MaxLineLengthExceededError
    Split,      // return the first MaxLineLength bytes; the rest stays buffered
};

// Where ReadStreamData stops: after its count of bytes, or when the peer closes.
enum class ReadTo { Count, Close };

// What CaptureLines does with a line starting "..": drops the first dot (the
// stuffing of a dot-ended list), or keeps the line as it came.
enum class DotStuffing { Undo, Keep };

// Whether WriteBytes may gather the bytes in an open write buffer, or sends them now.
enum class WriteBuffer { Use, Bypass };

inline constexpr int kDefaultMaxLineLength = 16384;
inline constexpr int kDefaultRecvBufferSize = 32768;
inline constexpr int kDefaultSendBufferSize = 32768;

class TcpConnection : public NetComponent {
public:
    TcpConnection();
    // Closes the socket (no events) and frees a handler the connection made.
    ~TcpConnection() override;

    // ---- published properties ----
    // Clears bit 7 of every received byte.
    bool ASCIIFilter = false;
    // Longest line ReadLn accepts, counted in bytes before the terminator;
    // 0 means no limit.
    int MaxLineLength = kDefaultMaxLineLength;
    // The property carries the name of its enumeration type; inside a derived
    // class spell the type corvasse::MaxLineAction (MaxLineAction::Split
    // works everywhere, as a name before :: only finds types).
    corvasse::MaxLineAction MaxLineAction = corvasse::MaxLineAction::Exception;
    // Milliseconds a read waits for data; 0 (or less) waits without limit.
    int ReadTimeout = 0;
    // Bytes asked for by one receive.
    int RecvBufferSize = kDefaultRecvBufferSize;
    // Chunk size of stream writes.
    int SendBufferSize = kDefaultSendBufferSize;
    // Raised when the connection closes (see Disconnect and DetectDisconnect).
    std::function<void()> OnDisconnected;

    // Uses a handler supplied from outside (shared by the SMTP and POP3
    // clients); the connection never frees it, and it must outlive the
    // connection. nullptr lets the next Connect create one of its own.
    void SetIOHandler(IOHandler* handler);
    IOHandler* Handler() const { return handler_; }

    // ---- connection state ----
    // CheckConnection, then Connected: the published test, which may drop
    // the socket and raise events on the way.
    virtual bool IsConnected();
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
    virtual void DropSocket();
    // The connection counts as closed when the last receive got 0 bytes (then,
    // if the socket is still open: close it, status Disconnected, then
    // OnDisconnected - status before event) or when the handler holds no
    // socket. When closed, IfClosed::Throw throws ConnClosedGracefullyError
    // unless unread bytes remain and keep it readable.
    virtual void DetectDisconnect(IfClosed ifClosed, UnreadInput unread);
    // True when the last receive got 0 bytes (the peer closed).
    bool PeerClosed() const { return peerClosed_; }

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
    virtual int FillInputBuffer(IfClosed ifClosed = IfClosed::Throw, Wait wait = Wait::Default(),
                                IfTimedOut ifTimedOut = IfTimedOut::Throw);
    // A 1 ms fill that notices a peer that closed a kept connection.
    virtual void PollForClose(IfClosed ifClosed);
    // Reads one line ended by terminator (empty: LF); the terminator is
    // removed, and with LF a CR right before it too. The default wait is
    // ReadTimeout and throws ReadTimeoutError when it runs out; any other wait
    // that runs out returns "" and sets LineTimedOut(). maxLength: none uses
    // MaxLineLength, 0 means no limit. Throws MaxLineLengthExceededError,
    // ConnClosedGracefullyError and the fill's errors.
    virtual std::string ReadLn(const std::string& terminator = "\n", Wait wait = Wait::Default(),
                               std::optional<int> maxLength = std::nullopt);
    // Reads lines, trimmed of blanks, until one is not empty or maxTries lines
    // were read (-1: no limit); returns the last one.
    std::string ReadLnSkipEmpty(int maxTries = -1);
    // Appends exactly n bytes to out, waiting for them as needed.
    void ReadBytes(std::string& out, int64_t n);
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
    // Reads n bytes into the stream at its position; n -1 reads a 4-byte
    // length prefix first; ReadTo::Close reads until the peer closes. One
    // WorkMode::Read bracket (max n, or 0 until close). Bytes that arrived
    // before a failure are written to the stream before the error passes.
    void ReadStreamData(MemoryStream& stream, int64_t n = -1, ReadTo until = ReadTo::Count);
    // The same, handing the bytes to the sink as each receive brings them.
    void ReadStreamData(ByteSink& sink, int64_t n = -1, ReadTo until = ReadTo::Count);
    // A 4-byte integer, converted from network order when convert is set.
    int32_t ReadInt32(bool convert = true);
    // Reads lines until one equals delimiter, undoing the dot stuffing or
    // not. One WorkMode::Read bracket. Returns the line count.
    int CaptureLines(std::vector<std::string>& lines, const std::string& delimiter = ".",
                     DotStuffing stuffing = DotStuffing::Undo);
    // The same into a stream, each line followed by CR LF.
    int CaptureLines(MemoryStream& stream, const std::string& delimiter = ".",
                     DotStuffing stuffing = DotStuffing::Undo);
    // Bytes waiting in the input buffer.
    int64_t InputBufferSize() const { return static_cast<int64_t>(inputBuffer_.Size()); }
    // The last ReadLn ended by its explicit time-out / returned a split line.
    bool LineTimedOut() const { return lineTimedOut_; }
    bool LineWasSplit() const { return lineWasSplit_; }

    // ---- writing ----
    // Sends count bytes, or adds them to an open write buffer with WriteBuffer::Use.
    // A send that finds no room for as long as ReadTimeout lets a read wait
    // (no limit when it is 0) closes the socket and throws WriteTimeoutError
    // "Write Timeout"; a raised process abort ends it with AbortedError.
    // Throws NotConnectedError, ConnClosedGracefullyError, SocketError.
    void WriteBytes(const char* data, size_t count, WriteBuffer buffer = WriteBuffer::Use);
    virtual void WriteText(std::string_view text);
    // The text followed by CR LF.
    virtual void WriteLn(std::string_view text = "");
    // Each line with WriteLn, after a 4-byte count in network order when
    // withCount is set.
    void WriteLines(const std::vector<std::string>& lines, bool withCount = false);
    void WriteInt32(int32_t value, bool convert = true);
    // Sends the stream from its start (or position) to its end (or count bytes)
    // in chunks of SendBufferSize, after a 4-byte length when withLength is
    // set. One WorkMode::Write bracket. Throws NoDataToReadError when the
    // stream ends early.
    virtual void WriteStreamData(MemoryStream& stream, bool fromStart = true, int64_t count = 0,
                                 bool withLength = false);
    // Sends a whole file; throws FileNotFoundError "File \"%s\" not found".
    virtual void WriteFile(const std::string& fileName);

    // Gathers writes in a buffer; a positive threshold sends that many bytes
    // whenever the buffer reaches it, -1 sends only at the end.
    void BeginBufferedWrites(int threshold = -1);
    // Sends count bytes when that many are buffered, else everything.
    void FlushBufferedWrites(int count = -1);
    // Sends everything and closes the buffer (also when the send throws).
    void EndBufferedWrites();
    // Empties the buffer without sending.
    void DiscardBufferedWrites();
    bool WritesBuffered() const { return writeBufferOpen_; }

protected:
    // Empties the input buffer and clears PeerClosed (at every connect).
    void ResetConnection();
    // Takes a handler the connection made itself; Disconnect frees it.
    void AdoptOwnHandler(std::unique_ptr<IOHandler> handler);
    bool OwnsHandler() const { return ownHandler_ != nullptr; }

private:
    // ReadTimeout as a wait.
    Wait ReadTimeoutWait() const;
    // CaptureLines, handing each line to take.
    int CaptureLinesTo(const std::function<void(std::string)>& take, const std::string& delimiter,
                       DotStuffing stuffing);
    // Waits for data as long as the wait (Forever or For) allows, and never past the read deadline.
    bool WaitReadable(Wait wait);
    void SendAll(const char* data, size_t count);
    int RecvSize() const;

    IOHandler* handler_ = nullptr;
    std::unique_ptr<IOHandler> ownHandler_;  // set when handler_ is the connection's own
    ManagedBuffer inputBuffer_;
    std::optional<std::chrono::steady_clock::time_point> readDeadline_;
    bool peerClosed_ = false;
    bool lineTimedOut_ = false;
    bool lineWasSplit_ = false;
    bool writeBufferOpen_ = false;
    int writeThreshold_ = -1;
    std::string writeBuffer_;
};

// Gives a connection a read deadline `limit` from now (none when the limit is
// 0 or less) and clears it however the scope is left.
class ScopedReadDeadline {
public:
    ScopedReadDeadline(TcpConnection& connection, std::chrono::milliseconds limit);
    ~ScopedReadDeadline() { connection_.ClearReadDeadline(); }
    ScopedReadDeadline(const ScopedReadDeadline&) = delete;
    ScopedReadDeadline& operator=(const ScopedReadDeadline&) = delete;

private:
    TcpConnection& connection_;
};

}  // namespace corvasse
