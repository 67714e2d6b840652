#include "net/kernel_routes.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "common/file_descriptor.h"

namespace corvasse {

namespace {

// Room for the kernel's answers: a route dump comes in parts of at most a
// page or so each.
constexpr size_t kReceiveBufferBytes = 32768;
constexpr time_t kKernelAnswerTimeoutSeconds = 2;

enum class Outcome { Done, Refused, Failed };

size_t Align(size_t length) { return (length + NLMSG_ALIGNTO - 1) & ~size_t{NLMSG_ALIGNTO - 1}; }

struct RouteRequest {
    std::vector<unsigned char> bytes;

    RouteRequest(int family, uint16_t flags) : bytes(Align(sizeof(nlmsghdr)) + Align(sizeof(rtmsg))) {
        nlmsghdr header{};
        header.nlmsg_type = RTM_GETROUTE;
        header.nlmsg_flags = static_cast<uint16_t>(NLM_F_REQUEST | flags);
        header.nlmsg_seq = 1;
        std::memcpy(bytes.data(), &header, sizeof header);
        rtmsg route{};
        route.rtm_family = static_cast<unsigned char>(family);
        std::memcpy(bytes.data() + Align(sizeof(nlmsghdr)), &route, sizeof route);
    }

    void SetDestination(const void* address, size_t length) {
        rtattr attribute{};
        attribute.rta_type = RTA_DST;
        attribute.rta_len = static_cast<unsigned short>(Align(sizeof attribute) + length);
        const size_t at = bytes.size();
        bytes.resize(at + Align(attribute.rta_len));
        std::memcpy(bytes.data() + at, &attribute, sizeof attribute);
        std::memcpy(bytes.data() + at + Align(sizeof attribute), address, length);
        rtmsg route{};
        std::memcpy(&route, bytes.data() + Align(sizeof(nlmsghdr)), sizeof route);
        route.rtm_dst_len = static_cast<unsigned char>(length * 8);
        std::memcpy(bytes.data() + Align(sizeof(nlmsghdr)), &route, sizeof route);
    }
};

// One route of an answer: its header and the attributes this file reads.
struct Route {
    rtmsg header{};
    int outputInterface = 0;
    std::vector<unsigned char> destination;
};

Route ParseRoute(const unsigned char* payload, size_t length) {
    Route route;
    if (length < sizeof(rtmsg)) return route;
    std::memcpy(&route.header, payload, sizeof(rtmsg));
    for (size_t at = Align(sizeof(rtmsg)); at + sizeof(rtattr) <= length;) {
        rtattr attribute{};
        std::memcpy(&attribute, payload + at, sizeof attribute);
        if (attribute.rta_len < sizeof attribute || at + attribute.rta_len > length) break;
        const unsigned char* data = payload + at + Align(sizeof attribute);
        const size_t dataLength = attribute.rta_len - Align(sizeof attribute);
        if (attribute.rta_type == RTA_OIF && dataLength >= sizeof(int)) {
            std::memcpy(&route.outputInterface, data, sizeof(int));
        } else if (attribute.rta_type == RTA_DST) {
            route.destination.assign(data, data + dataLength);
        }
        at += Align(attribute.rta_len);
    }
    return route;
}

// Sends the request and hands every route of the answer to onRoute, until
// the answer ends. Refused: the kernel answered with an error (for a single
// route: there is none).
Outcome AskKernel(RouteRequest& request, const std::function<void(const Route&)>& onRoute) {
    const FileDescriptor socket(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!socket.Valid()) return Outcome::Failed;
    // The kernel answers at once; this only keeps a watch from hanging on a
    // kernel that does not.
    const timeval answerTimeout{kKernelAnswerTimeoutSeconds, 0};
    setsockopt(socket.Get(), SOL_SOCKET, SO_RCVTIMEO, &answerTimeout, sizeof answerTimeout);
    nlmsghdr sentHeader{};
    std::memcpy(&sentHeader, request.bytes.data(), sizeof sentHeader);
    sentHeader.nlmsg_len = static_cast<uint32_t>(request.bytes.size());
    std::memcpy(request.bytes.data(), &sentHeader, sizeof sentHeader);
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    const ssize_t sent = ::sendto(socket.Get(), request.bytes.data(), request.bytes.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel);
    if (sent != static_cast<ssize_t>(request.bytes.size())) return Outcome::Failed;
    const bool dump = (sentHeader.nlmsg_flags & NLM_F_DUMP) == NLM_F_DUMP;

    std::vector<unsigned char> buffer(kReceiveBufferBytes);
    for (;;) {
        const ssize_t got = ::recv(socket.Get(), buffer.data(), buffer.size(), 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return Outcome::Failed;
        const size_t length = static_cast<size_t>(got);
        for (size_t at = 0; at + sizeof(nlmsghdr) <= length;) {
            nlmsghdr header{};
            std::memcpy(&header, buffer.data() + at, sizeof header);
            if (header.nlmsg_len < sizeof header || at + header.nlmsg_len > length) return Outcome::Failed;
            const unsigned char* payload = buffer.data() + at + Align(sizeof header);
            const size_t payloadLength = header.nlmsg_len - Align(sizeof header);
            if (header.nlmsg_type == NLMSG_DONE) return Outcome::Done;
            if (header.nlmsg_type == NLMSG_ERROR) {
                nlmsgerr error{};
                if (payloadLength < sizeof error) return Outcome::Failed;
                std::memcpy(&error, payload, sizeof error);
                // An error of 0 is an acknowledgement.
                return error.error == 0 ? Outcome::Done : Outcome::Refused;
            }
            if (header.nlmsg_type == RTM_NEWROUTE) {
                onRoute(ParseRoute(payload, payloadLength));
                if (!dump) return Outcome::Done;
            }
            at += Align(header.nlmsg_len);
        }
    }
}

// Whether the interface has its link: a cable in, a wireless network joined.
// The kernel keeps the routes of an interface that lost it.
bool InterfaceHasLink(int index) {
    ifreq request{};
    if (index == 0 || if_indextoname(static_cast<unsigned>(index), request.ifr_name) == nullptr) return true;
    const FileDescriptor socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!socket.Valid() || ioctl(socket.Get(), SIOCGIFFLAGS, &request) != 0) return true;
    return (request.ifr_flags & IFF_RUNNING) != 0;
}

bool IsIPv6LinkLocal(const Route& route) {
    return route.header.rtm_family == AF_INET6 && route.destination.size() == 16 && route.header.rtm_dst_len >= 10 &&
           route.destination[0] == 0xfe && (route.destination[1] & 0xc0) == 0x80;
}

}  // namespace

bool HasRouteTo(const SocketAddress& address) {
    RouteRequest request(address.Family(), 0);
    if (address.Family() == AF_INET) {
        request.SetDestination(&reinterpret_cast<const sockaddr_in*>(address.Get())->sin_addr, 4);
    } else if (address.Family() == AF_INET6) {
        request.SetDestination(&reinterpret_cast<const sockaddr_in6*>(address.Get())->sin6_addr, 16);
    } else {
        return true;
    }
    bool routed = false;
    const Outcome outcome = AskKernel(request, [&](const Route& route) {
        const unsigned char type = route.header.rtm_type;
        routed = type != RTN_UNREACHABLE && type != RTN_PROHIBIT && type != RTN_BLACKHOLE && type != RTN_THROW &&
                 InterfaceHasLink(route.outputInterface);
    });
    if (outcome == Outcome::Failed) return true;
    return outcome == Outcome::Done && routed;
}

bool HasRouteOutside(int family) {
    const int loopback = static_cast<int>(if_nametoindex("lo"));
    RouteRequest request(family, NLM_F_DUMP);
    bool outside = false;
    const Outcome outcome = AskKernel(request, [&](const Route& route) {
        const rtmsg& header = route.header;
        if (header.rtm_table == RT_TABLE_LOCAL || header.rtm_type != RTN_UNICAST) return;
        if ((header.rtm_flags & RTNH_F_LINKDOWN) != 0 || IsIPv6LinkLocal(route)) return;
        if (route.outputInterface != 0 && route.outputInterface == loopback) return;
        outside = true;
    });
    return outcome != Outcome::Done || outside;
}

}  // namespace corvasse
