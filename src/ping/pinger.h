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

class Pinger {
public:
    Pinger();
    ~Pinger();
    Pinger(const Pinger&) = delete;
    Pinger& operator=(const Pinger&) = delete;

    // Sends one echo request to host (a name, a dotted IPv4 address, an IPv6
    // address with or without brackets, or "255.255.255.255") and returns
    // once the answer has arrived: an ICMP echo to an IPv4 address, an
    // ICMPv6 echo to an IPv6 one. A name is looked up in Family and its first
    // address is pinged. An empty host returns at once without sending.
    // Errors met while receiving go to OnError. The wait blocks the calling
    // thread, so a window pings from a thread of its own.
    // Throws PingError: 301 "Timeout." (ResponseTime is then 0), 127 for a destination-
    // unreachable answer, 118 for a PacketSize above kMaxMessageBytes, or the
    // socket error number of a failed lookup, socket call or send (10013 when
    // neither a raw ICMP socket nor a ping socket is allowed). Throws
    // AbortedError when the process abort or the thread's abort signal is
    // raised while it waits.
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
    // time-out; unchanged by a ping to an empty host or one that failed
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

    uint32_t instanceId_;
    uint16_t packetSize_ = 64;
    std::string remoteHost_;
    std::string responseSource_;
    int responseTime_ = 0;

    // The request in flight.
    FileDescriptor socket_;
    bool pingSocket_ = false;
    IcmpVersion version_ = IcmpVersion::V4;
    uint32_t requestId_ = 0;
    std::chrono::steady_clock::time_point sendTime_;
    int unreachableCode_ = -1;
    bool timedOut_ = false;
};

}  // namespace corvasse
