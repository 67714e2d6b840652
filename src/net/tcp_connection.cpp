#include "net/tcp_connection.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <new>
#include <stdexcept>

#include <arpa/inet.h>

#include "common/byte_string.h"
#include "common/memory_stream.h"
#include "common/socket_error_code.h"
#include "net/net_error.h"
#include "net/socket_stack.h"
#include "net/work_bracket.h"

namespace corvasse {

namespace {

// A stream is pre-sized for the announced length only up to this much; a
// larger announcement grows the stream as the bytes actually arrive.
constexpr int64_t kMaxStreamReserveBytes = int64_t{1} << 30;

}  // namespace

TcpConnection::TcpConnection() {
    inputBuffer_.OnRemove = [this](int64_t count) { AdvanceWork(WorkMode::Read, count); };
}

TcpConnection::~TcpConnection() {
    if (handler_) handler_->Close();
}

void TcpConnection::SetIOHandler(IOHandler* handler) {
    if (handler == handler_) return;
    handler_ = handler;
    ownHandler_.reset();
}

void TcpConnection::AdoptOwnHandler(std::unique_ptr<IOHandler> handler) {
    ownHandler_ = std::move(handler);
    handler_ = ownHandler_.get();
}

void TcpConnection::ResetConnection() {
    inputBuffer_.Clear();
    peerClosed_ = false;
}

int TcpConnection::RecvSize() const { return RecvBufferSize > 0 ? RecvBufferSize : kDefaultRecvBufferSize; }

// ---- connection state ---------------------------------------------------

bool TcpConnection::IsConnected() {
    CheckConnection();
    return Connected();
}

void TcpConnection::CheckConnection() { DetectDisconnect(IfClosed::Return, UnreadInput::KeepsReadable); }

void TcpConnection::Disconnect() {
    CheckConnection();
    const bool wasConnected = Connected();
    if (wasConnected) {
        ReportStatus(Status::Disconnecting);
        DropSocket();
    }
    if (ownHandler_) {
        handler_ = nullptr;
        ownHandler_.reset();
    }
    if (wasConnected) {
        if (OnDisconnected) OnDisconnected();
        ReportStatus(Status::Disconnected);
    }
}

void TcpConnection::DropSocket() {
    if (handler_) handler_->Close();
}

void TcpConnection::DetectDisconnect(IfClosed ifClosed, UnreadInput unread) {
    bool disconnected = false;
    if (peerClosed_) {
        disconnected = true;
        if (Connected()) {
            DropSocket();
            ReportStatus(Status::Disconnected);
            if (OnDisconnected) OnDisconnected();
        }
    } else if (handler_ && !handler_->Connected()) {
        disconnected = true;
    }
    if (disconnected && ifClosed == IfClosed::Throw && (unread == UnreadInput::Ignored || inputBuffer_.Empty())) {
        throw ConnClosedGracefullyError();
    }
}

// ---- reading ------------------------------------------------------------

ScopedReadDeadline::ScopedReadDeadline(TcpConnection& connection, std::chrono::milliseconds limit)
    : connection_(connection) {
    if (limit > std::chrono::milliseconds::zero()) {
        connection_.SetReadDeadline(std::chrono::steady_clock::now() + limit);
    }
}

bool TcpConnection::ReadDeadlinePassed() const {
    return readDeadline_ && std::chrono::steady_clock::now() >= *readDeadline_;
}

Wait TcpConnection::ReadTimeoutWait() const {
    return ReadTimeout > 0 ? Wait::For(std::chrono::milliseconds(ReadTimeout)) : Wait::Forever();
}

bool TcpConnection::WaitReadable(Wait wait) {
    if (!readDeadline_) return handler_->Readable(wait);
    using Clock = Wait::Clock;
    // Both limits are moments, so a wait that ends a little early (or a
    // round that finds nothing) never counts as time that has passed.
    const std::optional<Clock::time_point> waitEnd = wait.Deadline();
    for (;;) {
        const Clock::time_point now = Clock::now();
        // Past the deadline even bytes that are already waiting are not
        // taken, or a fast sender could keep the exchange going for ever.
        if (now >= *readDeadline_) return false;
        if (waitEnd && now >= *waitEnd) return false;
        const Clock::time_point end = waitEnd ? std::min(*waitEnd, *readDeadline_) : *readDeadline_;
        if (handler_->Readable(Wait::Until(end))) return true;
    }
}

int TcpConnection::FillInputBuffer(IfClosed ifClosed, Wait wait, IfTimedOut ifTimedOut) {
    wait = wait.Or(ReadTimeoutWait());
    DetectDisconnect(ifClosed, UnreadInput::KeepsReadable);
    if (!Connected()) {
        if (ifClosed == IfClosed::Throw) throw NotConnectedError();
        return 0;
    }
    long count;
    do {
        if (!WaitReadable(wait)) {
            if (ifTimedOut == IfTimedOut::Throw) throw ReadTimeoutError();
            return -1;
        }
        size_t size = static_cast<size_t>(RecvSize());
        char* into = inputBuffer_.Reserve(size);
        count = handler_->Recv(into, size);
        peerClosed_ = count == 0;
        if (count == -1) {
            SocketStack& stack = Stack();
            // Throws at once for every code but these two: the socket is gone for good.
            stack.CheckSocketResult(count, {kShutDown, kConnectionAborted});
            int code = stack.StoredSocketError();
            DropSocket();
            if (inputBuffer_.Empty()) stack.RaiseSocketError(code);
            count = 0;
        }
        if (count > 0) {
            if (ASCIIFilter) {
                for (long i = 0; i < count; ++i) into[i] = static_cast<char>(into[i] & 0x7F);
            }
            inputBuffer_.Commit(static_cast<size_t>(count));
        }
        DetectDisconnect(ifClosed, UnreadInput::KeepsReadable);
    } while (count == 0 && Connected());
    return static_cast<int>(count);
}

void TcpConnection::PollForClose(IfClosed ifClosed) {
    FillInputBuffer(ifClosed, Wait::For(std::chrono::milliseconds(1)), IfTimedOut::Return);
}

std::string TcpConnection::ReadLn(const std::string& terminator, Wait wait, std::optional<int> maxLength) {
    const std::string& term = terminator.empty() ? std::string("\n") : terminator;
    lineWasSplit_ = false;
    lineTimedOut_ = false;
    const auto limit = static_cast<size_t>(std::max(maxLength.value_or(MaxLineLength), 0));

    size_t searchFrom = 0;
    size_t found;
    for (;;) {
        found = inputBuffer_.Find(term, searchFrom);
        bool tooLong = found != std::string_view::npos ? found > limit : inputBuffer_.Size() > limit;
        if (limit > 0 && tooLong) {
            if (MaxLineAction == MaxLineAction::Exception) throw MaxLineLengthExceededError();
            lineWasSplit_ = true;
            return inputBuffer_.Extract(limit);
        }
        if (found != std::string_view::npos) break;
        // The terminator may straddle what is buffered and what comes next.
        searchFrom = inputBuffer_.Size() >= term.size() ? inputBuffer_.Size() - term.size() + 1 : 0;
        DetectDisconnect(IfClosed::Throw, UnreadInput::Ignored);
        if (FillInputBuffer(IfClosed::Throw, wait, wait.IsDefault() ? IfTimedOut::Throw : IfTimedOut::Return) == -1) {
            lineTimedOut_ = true;
            return std::string();
        }
    }
    std::string_view unread = inputBuffer_.View();
    size_t length = found;
    if (term == "\n" && length > 0 && unread[length - 1] == '\r') --length;
    std::string line(unread.substr(0, length));
    inputBuffer_.Remove(found + term.size());
    return line;
}

std::string TcpConnection::ReadLnSkipEmpty(int maxTries) {
    std::string line;
    int tries = 0;
    do {
        line = Trim(ReadLn());
        ++tries;
    } while (line.empty() && (maxTries < 0 || tries < maxTries));
    return line;
}

void TcpConnection::ReadBytes(std::string& out, int64_t n) {
    if (n <= 0) return;
    auto count = static_cast<size_t>(n);
    WaitForInput(count);
    inputBuffer_.ExtractAppend(out, count);
}

void TcpConnection::WaitForInput(size_t count) {
    while (inputBuffer_.Size() < count) {
        FillInputBuffer();
        DetectDisconnect(IfClosed::Throw, UnreadInput::Ignored);
    }
}

void TcpConnection::ReadStreamData(MemoryStream& stream, int64_t n, ReadTo until) {
    if (n == -1 && until == ReadTo::Count) n = ReadInt32();
    if (n >= 0 && until == ReadTo::Count) {
        try {
            stream.Reserve(stream.Position() + std::min(n, kMaxStreamReserveBytes));
        } catch (const std::bad_alloc&) {
            // Only an optimisation: the stream grows as the bytes arrive.
        } catch (const std::length_error&) {}
    }
    struct CutAtEnd {
        MemoryStream& stream;
        ~CutAtEnd() {
            if (stream.Size() > stream.Position()) stream.SetSize(stream.Position());
        }
    } cut{stream};
    ReadStreamData(static_cast<ByteSink&>(stream), n, until);
}

void TcpConnection::ReadStreamData(ByteSink& sink, int64_t n, ReadTo until) {
    if (n == -1 && until == ReadTo::Count) n = ReadInt32();
    int64_t remaining = until == ReadTo::Close ? INT64_MAX : std::max<int64_t>(n, 0);
    WorkBracket work(*this, WorkMode::Read, until == ReadTo::Close ? 0 : remaining);

    auto moveBuffered = [&] {
        auto count = static_cast<size_t>(std::min<int64_t>(remaining, static_cast<int64_t>(inputBuffer_.Size())));
        inputBuffer_.ExtractTo(sink, count);
        remaining -= static_cast<int64_t>(count);
    };
    moveBuffered();
    while (remaining > 0) {
        CheckConnection();
        if (!Connected()) break;
        try {
            FillInputBuffer();
            DetectDisconnect(IfClosed::Throw, UnreadInput::Ignored);
            moveBuffered();
        } catch (const ConnClosedGracefullyError&) {
            moveBuffered();
            if (until == ReadTo::Count) throw;
            break;
        } catch (...) {
            moveBuffered();
            throw;
        }
    }
}

int32_t TcpConnection::ReadInt32(bool convert) {
    std::string bytes;
    ReadBytes(bytes, sizeof(uint32_t));
    uint32_t value;
    std::memcpy(&value, bytes.data(), sizeof value);
    return static_cast<int32_t>(convert ? ntohl(value) : value);
}

int TcpConnection::CaptureLines(std::vector<std::string>& lines, const std::string& delimiter, DotStuffing stuffing) {
    return CaptureLinesTo([&](std::string line) { lines.push_back(std::move(line)); }, delimiter, stuffing);
}

int TcpConnection::CaptureLines(MemoryStream& stream, const std::string& delimiter, DotStuffing stuffing) {
    auto writeLine = [&](std::string line) {
        line += "\r\n";
        stream.Write(line);
    };
    return CaptureLinesTo(writeLine, delimiter, stuffing);
}

int TcpConnection::CaptureLinesTo(const std::function<void(std::string)>& take, const std::string& delimiter,
                                  DotStuffing stuffing) {
    WorkBracket work(*this, WorkMode::Read, 0);
    int count = 0;
    for (;;) {
        std::string line = ReadLn();
        if (line == delimiter) break;
        if (stuffing == DotStuffing::Undo && line.starts_with("..")) line.erase(0, 1);
        take(std::move(line));
        ++count;
    }
    return count;
}

// ---- writing ------------------------------------------------------------

void TcpConnection::WriteBytes(const char* data, size_t count, WriteBuffer buffer) {
    if (count == 0) return;
    DetectDisconnect(IfClosed::Throw, UnreadInput::Ignored);
    if (!Connected()) throw NotConnectedError();
    if (writeBufferOpen_ && buffer == WriteBuffer::Use) {
        writeBuffer_.append(data, count);
        if (writeThreshold_ > 0 && writeBuffer_.size() >= static_cast<size_t>(writeThreshold_)) {
            FlushBufferedWrites(writeThreshold_);
        }
        return;
    }
    SendAll(data, count);
}

void TcpConnection::SendAll(const char* data, size_t count) {
    size_t done = 0;
    while (done < count) {
        long sent = handler_->Send(data + done, count - done);
        if (sent == -1) {
            SocketStack& stack = Stack();
            // Throws at once for every code but these: the socket is full, or gone for good.
            stack.CheckSocketResult(sent, {kWouldBlock, kShutDown, kConnectionAborted, kConnectionReset});
            int code = stack.StoredSocketError();
            if (code == kWouldBlock) {
                // A peer that stops reading must not hold the sender for
                // ever: no room within a reply's time-out ends the write. The
                // stream is cut mid-block then, so nothing more may follow.
                if (handler_->Writable(ReadTimeoutWait())) continue;
                DropSocket();
                throw WriteTimeoutError();
            }
            DropSocket();
            stack.RaiseSocketError(code);
        }
        peerClosed_ = sent == 0;
        DetectDisconnect(IfClosed::Throw, UnreadInput::KeepsReadable);
        AdvanceWork(WorkMode::Write, sent);
        done += static_cast<size_t>(sent);
    }
}

void TcpConnection::WriteText(std::string_view text) {
    if (!text.empty()) WriteBytes(text.data(), text.size());
}

void TcpConnection::WriteLn(std::string_view text) {
    std::string line;
    line.reserve(text.size() + 2);
    line.append(text);
    line.append("\r\n");
    WriteText(line);
}

void TcpConnection::WriteLines(const std::vector<std::string>& lines, bool withCount) {
    if (withCount) WriteInt32(static_cast<int32_t>(lines.size()));
    for (const std::string& line : lines) WriteLn(line);
}

void TcpConnection::WriteInt32(int32_t value, bool convert) {
    uint32_t bits = static_cast<uint32_t>(value);
    if (convert) bits = htonl(bits);
    char bytes[sizeof bits];
    std::memcpy(bytes, &bits, sizeof bits);
    WriteBytes(bytes, sizeof bytes);
}

void TcpConnection::WriteStreamData(MemoryStream& stream, bool fromStart, int64_t count, bool withLength) {
    if (fromStart) stream.SetPosition(0);
    int64_t end = count == 0 ? stream.Size() : stream.Position() + count;
    int64_t total = std::max<int64_t>(end - stream.Position(), 0);
    if (withLength) WriteInt32(static_cast<int32_t>(total));
    WorkBracket work(*this, WorkMode::Write, total);
    std::string chunk(static_cast<size_t>(SendBufferSize > 0 ? SendBufferSize : kDefaultSendBufferSize), '\0');
    while (stream.Position() < end) {
        auto want = static_cast<size_t>(std::min<int64_t>(end - stream.Position(), static_cast<int64_t>(chunk.size())));
        size_t got = stream.Read(chunk.data(), want);
        if (got == 0) throw NoDataToReadError();
        WriteBytes(chunk.data(), got);
    }
}

void TcpConnection::WriteFile(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file) throw FileNotFoundError(fileName);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    MemoryStream stream(std::move(bytes));
    WriteStreamData(stream);
}

void TcpConnection::BeginBufferedWrites(int threshold) {
    writeBufferOpen_ = true;
    writeThreshold_ = threshold;
}

void TcpConnection::FlushBufferedWrites(int count) {
    if (!writeBufferOpen_ || writeBuffer_.empty()) return;
    std::string chunk;
    if (count != -1 && count >= 0 && writeBuffer_.size() >= static_cast<size_t>(count)) {
        chunk = writeBuffer_.substr(0, static_cast<size_t>(count));
        writeBuffer_.erase(0, static_cast<size_t>(count));
    } else {
        chunk.swap(writeBuffer_);
    }
    WriteBytes(chunk.data(), chunk.size(), WriteBuffer::Bypass);
}

void TcpConnection::EndBufferedWrites() {
    struct CloseBuffer {
        TcpConnection& connection;
        ~CloseBuffer() {
            connection.writeBufferOpen_ = false;
            connection.writeBuffer_.clear();
        }
    } close{*this};
    FlushBufferedWrites();
}

void TcpConnection::DiscardBufferedWrites() { writeBuffer_.clear(); }

}  // namespace corvasse
