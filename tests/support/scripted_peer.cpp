#include "support/scripted_peer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <stdexcept>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <sys/time.h>

#include "common/errno_text.h"
#include "common/posix_io.h"
#include "common/socket_address.h"
#include "support/test_pki.h"

namespace corvasse::test {

namespace {

using Clock = std::chrono::steady_clock;

// Bytes asked for by one receive of the peer.
constexpr size_t kPeerReceiveBytes = 65536;
// How long the full-queue listener waits to see whether a connect completes.
constexpr int kHandshakeWaitMs = 200;
// Most connections the full-queue listener makes before giving up.
constexpr int kMaxFillers = 64;

Clock::time_point StepDeadline() { return Clock::now() + std::chrono::milliseconds(kPeerStepTimeoutMs); }

// The server side of the peer's TLS, made once with the test PKI; making it
// also makes the process's TLS clients trust the test CA.
SSL_CTX* ServerTlsContext() {
    static SSL_CTX* const context = [] {
        const TestPki& pki = TestCertificates();
        SSL_CTX* made = SSL_CTX_new(TLS_server_method());
        if (made == nullptr || SSL_CTX_use_certificate_chain_file(made, pki.localhost.certificate.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(made, pki.localhost.key.c_str(), SSL_FILETYPE_PEM) != 1) {
            throw std::runtime_error("peer: cannot set up TLS");
        }
        return made;
    }();
    return context;
}

}  // namespace

namespace peer {
PeerStep Send(std::string bytes) { return {PeerStep::Kind::Send, std::move(bytes)}; }
PeerStep SendLine(std::string_view text) { return {PeerStep::Kind::Send, std::string(text) + "\r\n"}; }
PeerStep Trickle(std::string bytes, int delayMs) { return {PeerStep::Kind::Trickle, std::move(bytes), 0, delayMs}; }
PeerStep ReadLine() { return {PeerStep::Kind::ReadLine, {}}; }
PeerStep ReadBytes(size_t n) { return {PeerStep::Kind::ReadBytes, {}, n}; }
PeerStep ReadUntilClose() { return {PeerStep::Kind::ReadUntilClose, {}}; }
PeerStep Sleep(int ms) { return {PeerStep::Kind::Sleep, {}, 0, ms}; }
PeerStep Close() { return {PeerStep::Kind::Close, {}}; }
PeerStep Reset() { return {PeerStep::Kind::Reset, {}}; }
PeerStep Accept() { return {PeerStep::Kind::Accept, {}}; }
PeerStep CloseWithoutNotify() { return {PeerStep::Kind::CloseWithoutNotify, {}}; }
PeerStep StartTls() { return {PeerStep::Kind::StartTls, {}}; }

std::vector<PeerStep> ReadLines(size_t n) { return std::vector<PeerStep>(n, ReadLine()); }

std::vector<PeerStep> Concat(std::initializer_list<std::vector<PeerStep>> parts) {
    std::vector<PeerStep> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}
}  // namespace peer

void ScriptedPeer::TlsSessionFree::operator()(ssl_st* session) const { SSL_free(session); }

ScriptedPeer::ScriptedPeer(std::vector<PeerStep> script, std::string address)
    : script_(std::move(script)), listener_(std::move(address)) {
    // Before any client can make its own TLS context.
    for (const PeerStep& step : script_) {
        if (step.kind == PeerStep::Kind::StartTls) ServerTlsContext();
    }
    if (!wake_.Valid()) throw std::runtime_error("peer: eventfd failed");
    thread_ = std::thread([this] { Run(); });
}

ScriptedPeer::~ScriptedPeer() {
    wake_.Raise();
    thread_.join();
}

bool ScriptedPeer::WaitScript(int timeoutMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return scriptDone_; });
}

bool ScriptedPeer::WaitSteps(size_t count, int timeoutMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return stepsDone_ >= count; });
}

bool ScriptedPeer::WaitClosed(int timeoutMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return scriptDone_ && closed_; });
}

std::string ScriptedPeer::Received(size_t connection) const {
    std::lock_guard lock(mutex_);
    return connection < received_.size() ? received_[connection] : std::string();
}

size_t ScriptedPeer::ConnectionCount() const {
    std::lock_guard lock(mutex_);
    return received_.size();
}

std::string ScriptedPeer::Failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

void ScriptedPeer::Fail(const std::string& what) {
    std::lock_guard lock(mutex_);
    if (failure_.empty()) failure_ = what;
}

void ScriptedPeer::Record(size_t connection, const char* data, size_t count) {
    std::lock_guard lock(mutex_);
    received_[connection].append(data, count);
}

void ScriptedPeer::Run() {
    if (AcceptNext()) {
        for (const PeerStep& step : script_) {
            if (!RunStep(step)) break;
            {
                std::lock_guard lock(mutex_);
                ++stepsDone_;
            }
            changed_.notify_all();
        }
    }
    {
        std::lock_guard lock(mutex_);
        scriptDone_ = true;
    }
    changed_.notify_all();
    PumpUntilClosed();
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

int ScriptedPeer::WaitFor(int fd, short events, TimePoint deadline) {
    pollfd fds[2] = {{fd, events, 0}, {wake_.Descriptor(), POLLIN, 0}};
    const int ready = PollUntil(fds, deadline);
    if (ready < 0 || fds[1].revents != 0) return -1;
    return ready == 0 ? 0 : 1;
}

bool ScriptedPeer::AcceptNext() {
    if (current_ >= 0) current_ = -1;  // stays open in open_ and is read to its end later
    unread_.clear();
    FileDescriptor accepted;
    try {
        accepted = listener_.Accept(StepDeadline(), &wake_);
    } catch (const std::runtime_error& error) {
        Fail(error.what());
        return false;
    }
    if (!accepted.Valid()) return false;
    size_t index;
    {
        std::lock_guard lock(mutex_);
        index = received_.size();
        received_.emplace_back();
    }
    open_.push_back({std::move(accepted), index});
    current_ = static_cast<int>(open_.size() - 1);
    return true;
}

long ScriptedPeer::ReceiveSome(Open& open, std::string* unread) {
    char buffer[kPeerReceiveBytes];
    long count;
    if (open.tls) {
        // A close_notify, a bare close and a broken record all end what the
        // client sends.
        count = std::max(SSL_read(open.tls.get(), buffer, sizeof buffer), 0);
        ERR_clear_error();
    } else {
        count = RetryOnInterrupt([&] { return recv(open.socket.Get(), buffer, sizeof buffer, 0); });
    }
    if (count > 0) {
        Record(open.index, buffer, static_cast<size_t>(count));
        if (unread) unread->append(buffer, static_cast<size_t>(count));
    }
    return count;
}

bool ScriptedPeer::FillUnread(const char* what, TimePoint deadline) {
    Open& open = open_[current_];
    // TLS may hold decrypted bytes that the socket no longer shows.
    int ready = open.tls && SSL_pending(open.tls.get()) > 0 ? 1 : WaitFor(open.socket.Get(), POLLIN, deadline);
    if (ready < 0) return false;
    if (ready == 0) {
        Fail(std::string("timed out waiting for ") + what);
        return false;
    }
    long count = ReceiveSome(open, &unread_);
    if (count <= 0) {
        Fail(std::string("connection ended while waiting for ") + what);
        return false;
    }
    return true;
}

bool ScriptedPeer::SendAll(std::string_view bytes) {
    if (ssl_st* tls = open_[current_].tls.get()) {
        // On the blocking socket one call sends it all, or fails after the socket's time-out.
        if (SSL_write(tls, bytes.data(), static_cast<int>(bytes.size())) != static_cast<int>(bytes.size())) {
            Fail("TLS send failed");
            ERR_clear_error();
            return false;
        }
        return true;
    }
    int fd = open_[current_].socket.Get();
    while (!bytes.empty()) {
        long sent = RetryOnInterrupt([&] { return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); });
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (WaitFor(fd, POLLOUT, StepDeadline()) <= 0) return false;
            continue;
        }
        if (sent <= 0) {
            Fail(std::string("send failed: ") + ErrnoText(errno));
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

bool ScriptedPeer::StartTls() {
    Open& open = open_[current_];
    if (!unread_.empty()) {
        Fail("bytes in clear ahead of the TLS handshake");
        return false;
    }
    // The socket blocks inside TLS; these bound every such wait.
    const timeval limit{kPeerStepTimeoutMs / 1000, 0};
    setsockopt(open.socket.Get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(open.socket.Get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    open.tls.reset(SSL_new(ServerTlsContext()));
    if (!open.tls || SSL_set_fd(open.tls.get(), open.socket.Get()) != 1 || SSL_accept(open.tls.get()) != 1) {
        const unsigned long error = ERR_get_error();
        Fail(std::string("TLS handshake failed: ") + (error != 0 ? ERR_reason_error_string(error) : "closed"));
        ERR_clear_error();
        open.tls.reset();
        return false;
    }
    return true;
}

bool ScriptedPeer::Pause(int ms) {
    pollfd wake{wake_.Descriptor(), POLLIN, 0};
    return PollUntil({&wake, 1}, Clock::now() + std::chrono::milliseconds(ms)) == 0;
}

void ScriptedPeer::CloseCurrent() {
    open_.erase(open_.begin() + current_);
    current_ = -1;
}

bool ScriptedPeer::RunStep(const PeerStep& step) {
    using Kind = PeerStep::Kind;
    if (step.kind == Kind::Accept) return AcceptNext();
    if (step.kind == Kind::Sleep) return Pause(step.delayMs);
    if (current_ < 0) {
        Fail("step after the connection was reset");
        return false;
    }
    const TimePoint deadline = StepDeadline();
    switch (step.kind) {
        case Kind::Send: return SendAll(step.bytes);
        case Kind::Trickle:
            for (char byte : step.bytes) {
                if (!Pause(step.delayMs) || !SendAll(std::string_view(&byte, 1))) return false;
            }
            return true;
        case Kind::ReadLine:
            for (;;) {
                size_t end = unread_.find('\n');
                if (end != std::string::npos) {
                    unread_.erase(0, end + 1);
                    return true;
                }
                if (!FillUnread("a line", deadline)) return false;
            }
        case Kind::ReadBytes:
            while (unread_.size() < step.count) {
                if (!FillUnread("bytes", deadline)) return false;
            }
            unread_.erase(0, step.count);
            return true;
        case Kind::ReadUntilClose:
            for (;;) {
                int ready = WaitFor(open_[current_].socket.Get(), POLLIN, deadline);
                if (ready < 0) return false;
                if (ready == 0) {
                    Fail("timed out waiting for the client to close");
                    return false;
                }
                if (ReceiveSome(open_[current_], nullptr) <= 0) {
                    unread_.clear();
                    CloseCurrent();
                    return true;
                }
            }
        case Kind::Close:
            if (open_[current_].tls) SSL_shutdown(open_[current_].tls.get());
            [[fallthrough]];
        case Kind::CloseWithoutNotify:
            // The socket stays open for reading so that whatever the client
            // still sends is recorded, and closing later sends no reset.
            shutdown(open_[current_].socket.Get(), SHUT_WR);
            return true;
        case Kind::StartTls: return StartTls();
        case Kind::Reset: {
            linger abort{1, 0};
            setsockopt(open_[current_].socket.Get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            CloseCurrent();
            return true;
        }
        case Kind::Sleep:
        case Kind::Accept: break;
    }
    return true;
}

void ScriptedPeer::PumpUntilClosed() {
    current_ = -1;
    while (!open_.empty()) {
        std::vector<pollfd> fds;
        for (const Open& open : open_) fds.push_back({open.socket.Get(), POLLIN, 0});
        fds.push_back({wake_.Descriptor(), POLLIN, 0});
        if (PollUntil(fds, std::nullopt) < 0 || fds.back().revents != 0) return;
        for (size_t i = open_.size(); i-- > 0;) {
            if (fds[i].revents == 0) continue;
            if (ReceiveSome(open_[i], nullptr) <= 0) {
                open_.erase(open_.begin() + static_cast<long>(i));
            }
        }
    }
}

FullListener::FullListener() : listener_("127.0.0.1", 1) {
    const SocketAddress address = *SocketAddress::FromText(listener_.Host(), static_cast<uint16_t>(Port()));
    // Connect until one handshake no longer completes: the queue is full then.
    for (int i = 0; i < kMaxFillers; ++i) {
        FileDescriptor filler(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!filler.Valid()) break;
        const int fd = filler.Get();
        fillers_.push_back(std::move(filler));
        if (connect(fd, address.Get(), address.Length()) == 0) continue;
        if (errno != EINPROGRESS) break;
        pollfd wait{fd, POLLOUT, 0};
        if (PollUntil({&wait, 1}, Clock::now() + std::chrono::milliseconds(kHandshakeWaitMs)) == 0) return;
    }
    throw std::runtime_error("FullListener: the accept queue never filled");
}

}  // namespace corvasse::test
