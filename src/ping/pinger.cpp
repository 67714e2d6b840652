#include "ping/pinger.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <random>

#include <fcntl.h>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/address_lookup.h"
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

constexpr int kTimeoutCode = 301;
constexpr int kUnreachableCode = 127;
constexpr int kMessageTooLongCode = 118;
constexpr int kMessageTooShortCode = 119;

// The whole datagram a raw socket delivers: the IPv4 header (up to 60 bytes;
// an ICMPv6 socket delivers none) and the largest message. Anything longer is cut, which does not matter
// because only the first bytes of an answer are looked at.
constexpr size_t kReceiveBufferBytes = 60 + kMaxMessageBytes;

using Clock = std::chrono::steady_clock;

// Whole milliseconds, as the request identifier and the response time count them.
int64_t WholeMs(Clock::duration time) { return std::chrono::duration_cast<std::chrono::milliseconds>(time).count(); }

[[noreturn]] void ThrowSocketError(int code) { throw PingError(code, PingSocketErrorText(code)); }

// Sets an int socket option; a failure ends the ping with its error.
void SetOption(int fd, int level, int option, int value) {
    if (setsockopt(fd, level, option, &value, sizeof value) < 0) {
        ThrowSocketError(SocketErrorFromErrno(errno));
    }
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
    const SocketAddress target = ResolveHost(host);
    OpenSocket(target.Family());
    try {
        const Clock::time_point start = Clock::now();
        const bool limited = Timeout != std::chrono::seconds::zero();
        const uint32_t deadlineTick =
            limited ? static_cast<uint32_t>(WholeMs((start + Timeout).time_since_epoch())) : 0;
        requestId_ = instanceId_ + deadlineTick;
        unreachableCode_ = -1;
        timedOut_ = false;

        if (packetSize_ > kMaxMessageBytes) {
            throw PingError(kMessageTooLongCode, "Message can't be longer than MaxMessageSize.");
        }
        const std::vector<uint8_t> request = BuildEchoRequest(requestId_, packetSize_, version_);
        sendTime_ = Clock::now();
        // The socket stays unconnected: a connected raw socket would hear only
        // the target itself (no router's unreachable answer, no broadcast
        // answers) and would report ICMP errors as failed reads besides.
        // Answers are told apart by the request identifier alone.
        if (sendto(socket_.Get(), request.data(), request.size(), MSG_NOSIGNAL, target.Get(), target.Length()) < 0) {
            ThrowSocketError(SocketErrorFromErrno(errno));
        }

        // Answers are taken as they arrive, until one is accepted (which
        // closes the socket) or the time is up.
        const std::optional<Clock::time_point> deadline = limited ? std::optional(start + Timeout) : std::nullopt;
        while (socket_.Valid()) {
            if (deadline && Clock::now() >= *deadline) {
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
        throw PingError(kUnreachableCode, UnreachableDescription(unreachableCode_, version_));
    }
}

SocketAddress Pinger::ResolveHost(const std::string& host) const {
    const AddressLookup lookup = LookupAddresses(host, Family);
    if (lookup.errorCode != 0) {
        ThrowSocketError(lookup.errorCode);
    }
    return lookup.addresses.front();
}

void Pinger::OpenSocket(int family) {
    version_ = family == AF_INET6 ? IcmpVersion::V6 : IcmpVersion::V4;
    const bool v6 = version_ == IcmpVersion::V6;
    const int protocol = v6 ? IPPROTO_ICMPV6 : IPPROTO_ICMP;
    pingSocket_ = false;
    FileDescriptor opened(socket(family, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol));
    if (!opened.Valid()) {
        // Without CAP_NET_RAW the Linux ping socket may still be allowed
        // (net.ipv4.ping_group_range, for both families); its refusal
        // reports the raw socket's.
        const int rawError = errno;
        if (rawError != EPERM && rawError != EACCES) {
            ThrowSocketError(SocketErrorFromErrno(rawError));
        }
        opened = FileDescriptor(socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol));
        if (!opened.Valid()) {
            ThrowSocketError(SocketErrorFromErrno(rawError));
        }
        pingSocket_ = true;
    }
    const int fd = opened.Get();
    SetOption(fd, SOL_SOCKET, SO_BROADCAST, 1);
    // The system's socket buffers stay: one of 2048 bytes holds less than
    // one answer of the largest size once Linux counts its overhead.
    // A raw socket hears every ICMP message of the host, its own requests
    // on loopback included; let only the two kinds of answer through.
    if (!pingSocket_ && v6) {
        icmp6_filter onlyAnswers;
        ICMP6_FILTER_SETBLOCKALL(&onlyAnswers);
        ICMP6_FILTER_SETPASS(kIcmpv6Types.echoReply, &onlyAnswers);
        ICMP6_FILTER_SETPASS(kIcmpv6Types.destinationUnreachable, &onlyAnswers);
        setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &onlyAnswers, sizeof onlyAnswers);
    } else if (!pingSocket_) {
        icmp_filter onlyAnswers{};
        onlyAnswers.data = ~((1u << kIcmpTypes.echoReply) | (1u << kIcmpTypes.destinationUnreachable));
        setsockopt(fd, SOL_RAW, ICMP_FILTER, &onlyAnswers, sizeof onlyAnswers);
    }
    if (QOSFlags != 0) {
        SetOption(fd, v6 ? IPPROTO_IPV6 : IPPROTO_IP, v6 ? IPV6_TCLASS : IP_TOS, QOSFlags);
    }
    // A ping socket hears of unreachable destinations only through its
    // error queue.
    if (pingSocket_) {
        SetOption(fd, v6 ? IPPROTO_IPV6 : IPPROTO_IP, v6 ? IPV6_RECVERR : IP_RECVERR, 1);
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
        sockaddr_storage from{};
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
        const EchoAnswer answer = MatchEchoAnswer(std::span<const uint8_t>(buffer, static_cast<size_t>(received)),
                                                  requestId_, match, version_);
        const SocketAddress source(reinterpret_cast<const sockaddr*>(&from), fromLength);
        switch (answer.Kind) {
            case EchoAnswerKind::TooShort: RaiseError(kMessageTooShortCode, "Message too short."); break;
            case EchoAnswerKind::EchoReply: Accept(source, -1); break;
            case EchoAnswerKind::Unreachable: Accept(source, answer.Code); break;
            case EchoAnswerKind::Ignored: break;
        }
    }
}

void Pinger::ReceiveErrorQueue() {
    const bool v6 = version_ == IcmpVersion::V6;
    const int level = v6 ? IPPROTO_IPV6 : IPPROTO_IP;
    const int kind = v6 ? IPV6_RECVERR : IP_RECVERR;
    const uint8_t origin = v6 ? SO_EE_ORIGIN_ICMP6 : SO_EE_ORIGIN_ICMP;
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
            // Only a whole notice is read; the sender's address follows it.
            if (header->cmsg_level != level || header->cmsg_type != kind ||
                header->cmsg_len < CMSG_LEN(sizeof(sock_extended_err))) {
                continue;
            }
            sock_extended_err notice;
            std::memcpy(&notice, CMSG_DATA(header), sizeof notice);
            if (notice.ee_origin != origin || notice.ee_type != TypesOf(version_).destinationUnreachable) {
                continue;
            }
            // The returned bytes are the request the answer quoted.
            if (!RequestCarriesId(std::span<const uint8_t>(returned, static_cast<size_t>(received)), requestId_,
                                  IdMatch::SequenceHalf, version_)) {
                continue;
            }
            sockaddr_storage offender{};
            const size_t offenderBytes = std::min<size_t>(header->cmsg_len - CMSG_LEN(sizeof notice), sizeof offender);
            std::memcpy(&offender, CMSG_DATA(header) + sizeof notice, offenderBytes);
            Accept(SocketAddress(reinterpret_cast<const sockaddr*>(&offender), static_cast<socklen_t>(offenderBytes)),
                   notice.ee_code);
            return;
        }
    }
}

void Pinger::Accept(const SocketAddress& source, int unreachableCode) {
    responseSource_ = source.Text();
    if (version_ == IcmpVersion::V4) {
        responseSource_.resize(std::min(responseSource_.size(), kMaxResponseSourceChars));
    }
    responseTime_ = static_cast<int>(WholeMs(Clock::now() - sendTime_));
    unreachableCode_ = unreachableCode;
    socket_.Close();
}

void Pinger::RaiseError(int code, const std::string& description) {
    if (OnError) {
        OnError(code, description);
    }
}

}  // namespace corvasse
