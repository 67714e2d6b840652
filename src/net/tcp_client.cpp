#include "net/tcp_client.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "common/byte_sink.h"
#include "common/socket_error_code.h"
#include "net/net_error.h"
#include "net/socket_stack.h"
#include "net/tls_io_handler.h"
#include "net/work_bracket.h"

namespace corvasse {

TcpClient::TcpClient() {
    inputBuffer_.OnRemove = [this](int64_t count) { AdvanceWork(WorkMode::Read, count); };
}

TcpClient::~TcpClient() {
    if (handler_) handler_->Close();
}

void TcpClient::SetIOHandler(IOHandler* handler) {
    if (handler == handler_) return;
    handler_ = handler;
    ownHandler_.reset();
}

void TcpClient::AdoptOwnHandler(std::unique_ptr<IOHandler> handler) {
    ownHandler_ = std::move(handler);
    handler_ = ownHandler_.get();
}

void TcpClient::ResetConnection() {
    inputBuffer_.Clear();
    peerClosed_ = false;
}

int TcpClient::RecvSize() const { return RecvBufferSize > 0 ? RecvBufferSize : kDefaultRecvBufferSize; }

// ---- connection state ---------------------------------------------------

void TcpClient::Connect(Wait wait) {
    if (!Handler()) {
        // A socket handler that can also speak TLS when a client asks it to.
        AdoptOwnHandler(std::make_unique<TlsIOHandler>());
    } else if (Handler()->Connected()) {
        throw AlreadyConnectedError();
    }
    // A handler of its own reports resolving and connecting with the client's
    // status handler.
    if (OwnsHandler()) Handler()->OnStatus = OnStatus;
    peerTried_.clear();
    try {
        Handler()->Open();
        ResetConnection();
        Handler()->ConnectClient(Host, Port, Family, wait);
        peerTried_ = Handler()->PeerTried();
        ReportStatus(Status::Connected);
        if (OnConnected) OnConnected();
    } catch (...) {
        peerTried_ = Handler()->PeerTried();
        DropSocket();
        throw;
    }
}

bool TcpClient::IsConnected() {
    CheckConnection();
    return Connected();
}

void TcpClient::CheckConnection() { DetectDisconnect(IfClosed::Return, UnreadInput::KeepsReadable); }

void TcpClient::Disconnect() {
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

void TcpClient::DropSocket() {
    if (handler_) handler_->Close();
}

void TcpClient::DetectDisconnect(IfClosed ifClosed, UnreadInput unread) {
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

ScopedReadDeadline::ScopedReadDeadline(TcpClient& connection, std::chrono::milliseconds limit)
    : connection_(connection) {
    if (limit > std::chrono::milliseconds::zero()) {
        connection_.SetReadDeadline(std::chrono::steady_clock::now() + limit);
    }
}

bool TcpClient::ReadDeadlinePassed() const {
    return readDeadline_ && std::chrono::steady_clock::now() >= *readDeadline_;
}

Wait TcpClient::ReadTimeoutWait() const {
    return ReadTimeout > 0 ? Wait::For(std::chrono::milliseconds(ReadTimeout)) : Wait::Forever();
}

bool TcpClient::WaitReadable(Wait wait) {
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

int TcpClient::FillInputBuffer(IfClosed ifClosed, Wait wait, IfTimedOut ifTimedOut) {
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

void TcpClient::PollForClose(IfClosed ifClosed) {
    FillInputBuffer(ifClosed, Wait::For(std::chrono::milliseconds(1)), IfTimedOut::Return);
}

void TcpClient::WaitForInput(size_t count) {
    while (inputBuffer_.Size() < count) {
        FillInputBuffer();
        DetectDisconnect(IfClosed::Throw, UnreadInput::Ignored);
    }
}

void TcpClient::ReadStreamData(ByteSink& sink, int64_t n, ReadTo until) {
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

void TcpClient::WriteText(std::string_view text) {
    if (text.empty()) return;
    DetectDisconnect(IfClosed::Throw, UnreadInput::Ignored);
    if (!Connected()) throw NotConnectedError();
    if (writeBufferOpen_) {
        writeBuffer_.append(text);
        return;
    }
    SendAll(text.data(), text.size());
}

void TcpClient::SendAll(const char* data, size_t count) {
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

void TcpClient::WriteLn(std::string_view text) {
    std::string line;
    line.reserve(text.size() + 2);
    line.append(text);
    line.append("\r\n");
    WriteText(line);
}

void TcpClient::WriteLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) WriteLn(line);
}

void TcpClient::BeginBufferedWrites() { writeBufferOpen_ = true; }

void TcpClient::EndBufferedWrites() {
    // The buffer is closed before the send, so that it is closed also when
    // the send throws.
    std::string bytes;
    bytes.swap(writeBuffer_);
    writeBufferOpen_ = false;
    WriteText(bytes);
}

void TcpClient::DiscardBufferedWrites() { writeBuffer_.clear(); }

}  // namespace corvasse
