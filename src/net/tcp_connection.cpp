#include "net/tcp_connection.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "common/byte_sink.h"
#include "common/socket_error_code.h"
#include "net/net_error.h"
#include "net/socket_stack.h"
#include "net/work_bracket.h"

namespace corvasse {

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
            inputBuffer_.Commit(static_cast<size_t>(count));
        }
        DetectDisconnect(ifClosed, UnreadInput::KeepsReadable);
    } while (count == 0 && Connected());
    return static_cast<int>(count);
}

void TcpConnection::PollForClose(IfClosed ifClosed) {
    FillInputBuffer(ifClosed, Wait::For(std::chrono::milliseconds(1)), IfTimedOut::Return);
}

void TcpConnection::WaitForInput(size_t count) {
    while (inputBuffer_.Size() < count) {
        FillInputBuffer();
        DetectDisconnect(IfClosed::Throw, UnreadInput::Ignored);
    }
}

void TcpConnection::ReadStreamData(ByteSink& sink, int64_t n, ReadTo until) {
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

// ---- writing ------------------------------------------------------------

void TcpConnection::WriteText(std::string_view text) {
    if (text.empty()) return;
    DetectDisconnect(IfClosed::Throw, UnreadInput::Ignored);
    if (!Connected()) throw NotConnectedError();
    if (writeBufferOpen_) {
        writeBuffer_.append(text);
        return;
    }
    SendAll(text.data(), text.size());
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

void TcpConnection::WriteLn(std::string_view text) {
    std::string line;
    line.reserve(text.size() + 2);
    line.append(text);
    line.append("\r\n");
    WriteText(line);
}

void TcpConnection::WriteLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) WriteLn(line);
}

void TcpConnection::BeginBufferedWrites() { writeBufferOpen_ = true; }

void TcpConnection::EndBufferedWrites() {
    // The buffer is closed before the send, so that it is closed also when
    // the send throws.
    std::string bytes;
    bytes.swap(writeBuffer_);
    writeBufferOpen_ = false;
    WriteText(bytes);
}

void TcpConnection::DiscardBufferedWrites() { writeBuffer_.clear(); }

}  // namespace corvasse
