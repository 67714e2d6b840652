#pragma once
// Pinger: sends one ICMP echo request to a host and waits for its answer.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "common/address_family.h"
#include "common/file_descriptor.h"
#include "common/socket_address.h"
#include "ping/echo_request.h"

namespace corvasse {

class EventPump;

class Pinger {
public:
    // eventPump keeps the calling thread's events flowing while a ping waits;
    // without one the wait just sleeps in short slices.
    explicit Pinger(EventPump* eventPump = nullptr);
    ~Pinger();
    Pinger(const Pinger&) = delete;
    Pinger& operator=(const Pinger&) = delete;

    // Sends one echo request to host (a name, a dotted IPv4 address, an IPv6
    // address with or without brackets, or "255.255.255.255") and returns
    // once the answer has arrived: an ICMP echo to an IPv4 address, an
    // ICMPv6 echo to an IPv6 one. A name is looked up in Family and its first
    // address is pinged. An empty host
    // returns at once without sending. While waiting, the event pump runs at
    // most about 10 ms apart; errors met while receiving go to OnError. A
    // call made by a handler that runs inside that wait is refused with
    // 10036 "Operation now in progress" (ResponseTime 0), and the waiting
    // ping goes on.
    // Throws PingError: 301 "Timeout." (also when the application is asked to
    // quit meanwhile; ResponseTime is then 0), 127 for a destination-
    // unreachable answer, 118 for a PacketSize above kMaxMessageBytes, or the
    // socket error number of a failed lookup, socket call or send (10013 when
    // neither a raw ICMP socket nor a ping socket is allowed). Throws
    // AbortedError when the process abort is raised while it waits.
    void PingHost(const std::string& host);

    // Size of the whole ICMP message in bytes, header included; values below
    // 8 are raised to 8, values above 65535 cut to 65535.
    void SetPacketSize(int size);
    int PacketSize() const;

    // Setting the remote host pings it at once (see PingHost).
    void SetRemoteHost(const std::string& host);
    const std::string& RemoteHost() const;

    // Address of the sender of the latest accepted answer (dotted IPv4, or
    // IPv6 without brackets); empty while a ping runs and after a ping that
    // got none.
    const std::string& ResponseSource() const;
    // Milliseconds from sending to the answer of the latest ping; 0 after a
    // time-out or a refused call; unchanged by a ping to an empty host or one that failed
    // before sending.
    int ResponseTime() const;

    // The local host's address; the ping does not depend on it.
    std::string LocalHost;
    // IP type-of-service value for the socket; 0 keeps the system default.
    uint16_t QOSFlags = 0;
    // How long a ping waits for its answer; 0 means no limit.
    std::chrono::seconds Timeout{10};
    // The addresses a host may be pinged at: any, or those of one family
    // (then an address of the other one fails as a name without one would).
    AddressFamily Family = AddressFamily::Any;
    // Errors met while receiving: 119 "Message too short." or a socket error
    // number with "Winsock error in recv()". They do not end the wait.
    std::function<void(int errorCode, const std::string& description)> OnError;

private:
    SocketAddress ResolveHost(const std::string& host) const;
    void OpenSocket(int family);
    void ReceiveAnswers();
    void ReceiveErrorQueue();
    void Accept(const SocketAddress& source, int unreachableCode);
    void RaiseError(int code, const std::string& description);

    EventPump* eventPump_;
    uint32_t instanceId_;
    uint16_t packetSize_ = 64;
    std::string remoteHost_;
    std::string responseSource_;
    int responseTime_ = 0;

    // The request in flight.
    bool waiting_ = false;
    FileDescriptor socket_;
    bool pingSocket_ = false;
    IcmpVersion version_ = IcmpVersion::V4;
    uint32_t requestId_ = 0;
    int64_t sendTimeNs_ = 0;
    int unreachableCode_ = -1;
    bool timedOut_ = false;
};

}  // namespace corvasse
