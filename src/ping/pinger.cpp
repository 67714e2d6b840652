#include "ping/pinger.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <optional>
#include <random>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/posix_io.h"
#include "common/process_abort.h"
#include "common/socket_error_code.h"
#include "ping/echo_answer.h"
#include "ping/echo_request.h"
#include "ping/ping_error.h"
#include "ping/ping_socket_error_text.h"

namespace corvasse {

namespace {

constexpr int kDefaultPacketSize = 64;
constexpr int kMaxPacketSize = 65535;
constexpr size_t kMaxResponseSourceChars = 19;
constexpr int kNsPerMs = 1000000;

constexpr int kTimeoutCode = 301;
constexpr int kUnreachableCode = 127;
constexpr int kMessageTooLongCode = 118;
constexpr int kMessageTooShortCode = 119;

// The whole datagram a raw socket delivers: the IPv4 header (up to 60 bytes)
// and the largest message. Anything longer is cut, which does not matter
// because only the first bytes of an answer are looked at.
constexpr size_t kReceiveBufferBytes = 60 + kMaxMessageBytes;

int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

[[noreturn]] void ThrowSocketError(int code) { throw PingError(code, PingSocketErrorText(code)); }

std::string DottedAddress(uint32_t networkOrderAddress) {
    in_addr address{};
    address.s_addr = networkOrderAddress;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return std::string(text).substr(0, kMaxResponseSourceChars);
}

}  // namespace

Pinger::Pinger() : instanceId_(std::random_device{}()) { SetPacketSize(kDefaultPacketSize); }

Pinger::~Pinger() = default;

void Pinger::SetPacketSize(int size) {
    packetSize_ = static_cast<uint16_t>(std::clamp(size, static_cast<int>(kMinEchoBytes), kMaxPacketSize));
}

int Pinger::PacketSize() const { return packetSize_; }

void Pinger::SetRemoteHost(const std::string& host) {
    remoteHost_ = host;
    PingHost(host);
}

const std::string& Pinger::RemoteHost() const { return remoteHost_; }

const std::string& Pinger::ResponseSource() const { return responseSource_; }

int Pinger::ResponseTime() const { return responseTime_; }

void Pinger::PingHost(const std::string& host) {
    responseSource_.clear();
    socket_.Close();
    if (host.empty()) {
        return;
    }
    const uint32_t address = ResolveHost(host);
    OpenSocket();
    try {
        const int64_t startNs = MonotonicNs();
        const auto start = std::chrono::steady_clock::now();
        const bool limited = Timeout != std::chrono::seconds::zero();
        const int64_t deadlineNs = startNs + std::chrono::nanoseconds(Timeout).count();
        const uint32_t deadlineTick = limited ? static_cast<uint32_t>(deadlineNs / kNsPerMs) : 0;
        requestId_ = instanceId_ + deadlineTick;
        unreachableCode_ = -1;
        timedOut_ = false;

        if (packetSize_ > kMaxMessageBytes) {
            throw PingError(kMessageTooLongCode, "Message can't be longer than MaxMessageSize.");
        }
        const std::vector<uint8_t> request = BuildEchoRequest(requestId_, packetSize_);
        sendTimeNs_ = MonotonicNs();
        // The socket stays unconnected: a connected raw socket would hear only
        // the target itself (no router's unreachable answer, no broadcast
        // answers) and would report ICMP errors as failed reads besides.
        // Answers are told apart by the request identifier alone.
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_addr.s_addr = address;
        if (sendto(socket_.Get(), request.data(), request.size(), MSG_NOSIGNAL,
                   reinterpret_cast<const sockaddr*>(&target), sizeof target) < 0) {
            ThrowSocketError(SocketErrorFromErrno(errno));
        }

        // Answers are taken as they arrive, until one is accepted (which
        // closes the socket) or the time is up.
        const std::optional<std::chrono::steady_clock::time_point> deadline =
            limited ? std::optional(start + Timeout) : std::nullopt;
        while (socket_.Valid()) {
            if (deadline && std::chrono::steady_clock::now() >= *deadline) {
                timedOut_ = true;
                break;
            }
            pollfd ready{socket_.Get(), POLLIN, 0};
            if (PollUnlessAborted({&ready, 1}, deadline) > 0) {
                if (pingSocket_ && (ready.revents & POLLERR) != 0) {
                    ReceiveErrorQueue();
                }
                ReceiveAnswers();
            }
        }
    } catch (...) {
        socket_.Close();
        throw;
    }
    socket_.Close();
    if (timedOut_) {
        responseTime_ = 0;
        throw PingError(kTimeoutCode, "Timeout.");
    }
    if (unreachableCode_ >= 0) {
        throw PingError(kUnreachableCode, UnreachableDescription(unreachableCode_));
    }
}

uint32_t Pinger::ResolveHost(const std::string& host) const {
    if (host == "255.255.255.255") {
        return INADDR_BROADCAST;
    }
    // A NUL would cut the name short and look up another one.
    if (host.find('\0') != std::string::npos) {
        ThrowSocketError(kHostNotFound);
    }
    in_addr literal{};
    if (inet_pton(AF_INET, host.c_str(), &literal) == 1) {
        return literal.s_addr;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_RAW;
    hints.ai_protocol = IPPROTO_ICMP;
    addrinfo* found = nullptr;
    const int result = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0) {
        ThrowSocketError(SocketErrorFromLookup(result));
    }
    const uint32_t address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return address;
}

void Pinger::OpenSocket() {
    pingSocket_ = false;
    FileDescriptor opened(socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP));
    if (!opened.Valid()) {
        // Without CAP_NET_RAW the Linux ping socket may still be allowed
        // (net.ipv4.ping_group_range); its refusal reports the raw socket's.
        const int rawError = errno;
        if (rawError != EPERM && rawError != EACCES) {
            ThrowSocketError(SocketErrorFromErrno(rawError));
        }
        opened = FileDescriptor(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP));
        if (!opened.Valid()) {
            ThrowSocketError(SocketErrorFromErrno(rawError));
        }
        pingSocket_ = true;
    }
    const int fd = opened.Get();
    const int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) < 0) {
        ThrowSocketError(SocketErrorFromErrno(errno));
    }
    // The system's socket buffers stay: one of 2048 bytes holds less than
    // one answer of the largest size once Linux counts its overhead.
    // A raw socket hears every ICMP message of the host, its own requests
    // on loopback included; let only the two kinds of answer through.
    if (!pingSocket_) {
        icmp_filter onlyAnswers{};
        onlyAnswers.data = ~((1u << kIcmpEchoReply) | (1u << kIcmpDestinationUnreachable));
        setsockopt(fd, SOL_RAW, ICMP_FILTER, &onlyAnswers, sizeof onlyAnswers);
    }
    if (QOSFlags != 0) {
        const int tos = QOSFlags;
        if (setsockopt(fd, IPPROTO_IP, IP_TOS, &tos, sizeof tos) < 0) {
            ThrowSocketError(SocketErrorFromErrno(errno));
        }
    }
    // A ping socket hears of unreachable destinations only through its
    // error queue.
    if (pingSocket_ && setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on) < 0) {
        ThrowSocketError(SocketErrorFromErrno(errno));
    }
    socket_ = std::move(opened);
}

void Pinger::ReceiveAnswers() {
    uint8_t buffer[kReceiveBufferBytes];
    const IdMatch match = pingSocket_ ? IdMatch::SequenceHalf : IdMatch::WholeId;
    // A reported error is cleared by the read that reports it, so the next
    // read gets the datagrams behind it; a second one in a row ends the round.
    bool lastReadFailed = false;
    while (socket_.Valid()) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t received = RetryOnInterrupt([&] {
            return recvfrom(socket_.Get(), buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        });
        if (received < 0) {
            const int code = SocketErrorFromErrno(errno);
            if (code == kWouldBlock || code == kNotSocket || code == kBadFile || lastReadFailed) {
                return;
            }
            lastReadFailed = true;
            RaiseError(code, "Winsock error in recv()");
            continue;
        }
        lastReadFailed = false;
        const EchoAnswer answer =
            MatchEchoAnswer(std::span<const uint8_t>(buffer, static_cast<size_t>(received)), requestId_, match);
        switch (answer.Kind) {
            case EchoAnswerKind::TooShort: RaiseError(kMessageTooShortCode, "Message too short."); break;
            case EchoAnswerKind::EchoReply: Accept(from.sin_addr.s_addr, -1); break;
            case EchoAnswerKind::Unreachable: Accept(from.sin_addr.s_addr, answer.Code); break;
            case EchoAnswerKind::Ignored: break;
        }
    }
}

void Pinger::ReceiveErrorQueue() {
    uint8_t returned[kMaxMessageBytes];
    uint8_t control[512];
    while (socket_.Valid()) {
        iovec part{returned, sizeof returned};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t received = RetryOnInterrupt([&] { return recvmsg(socket_.Get(), &message, MSG_ERRQUEUE); });
        if (received < 0) {
            return;  // queue drained
        }
        for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_RECVERR) {
                continue;
            }
            sock_extended_err notice;
            std::memcpy(&notice, CMSG_DATA(header), sizeof notice);
            if (notice.ee_origin != SO_EE_ORIGIN_ICMP || notice.ee_type != kIcmpDestinationUnreachable) {
                continue;
            }
            // The returned bytes are the request the answer quoted.
            if (!RequestCarriesId(std::span<const uint8_t>(returned, static_cast<size_t>(received)), requestId_,
                                  IdMatch::SequenceHalf)) {
                continue;
            }
            sockaddr_in offender;
            std::memcpy(&offender, SO_EE_OFFENDER(reinterpret_cast<sock_extended_err*>(CMSG_DATA(header))),
                        sizeof offender);
            Accept(offender.sin_addr.s_addr, notice.ee_code);
            return;
        }
    }
}

void Pinger::Accept(uint32_t sourceAddress, int unreachableCode) {
    responseSource_ = DottedAddress(sourceAddress);
    responseTime_ = static_cast<int>((MonotonicNs() - sendTimeNs_) / kNsPerMs);
    unreachableCode_ = unreachableCode;
    socket_.Close();
}

void Pinger::RaiseError(int code, const std::string& description) {
    if (OnError) {
        OnError(code, description);
    }
}

}  // namespace corvasse
