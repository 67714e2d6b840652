#pragma once
// The socket layer: the one place that calls the operating system's socket
// interface. Every socket operation of the network components passes through
// the process-wide SocketStack, which also turns failures into the NetError
// family with Winsock-style codes and texts.
//
// The process-wide instance exists while at least one NetComponent exists:
//     SocketStack* stack = SocketStack::Instance();   // nullptr when none
// A component reaches it while it lives, e.g. for the EHLO name:
//     SocketStack::Instance()->LocalHostName()

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "common/address_family.h"
#include "net/wait.h"

namespace corvasse {

// The value of a socket handle that holds no socket.
inline constexpr int kInvalidSocket = -1;
// The internet address families (with their Winsock numbers), and the
// stream socket type, as the stack takes them.
inline constexpr int kAddressFamilyInet = 2;
inline constexpr int kAddressFamilyInet6 = 23;
inline constexpr int kSocketTypeStream = 1;
// The directions ShutdownSocket closes, with their Winsock numbers.
inline constexpr int kShutdownReceive = 0;
inline constexpr int kShutdownSend = 1;
inline constexpr int kShutdownBoth = 2;
// Most sockets one readiness wait list may hold.
inline constexpr int kMaxSocketsPerWait = 64;

// The forms an IPv4 literal can take.
enum class IPAddressForm { Invalid, Dotted, SingleNumber };

// The result of ClassifyIPAddress: the form, the four address bytes in network
// order, and the address class letter ('A'..'E'; 0 when invalid).
struct IPAddressInfo {
    IPAddressForm form = IPAddressForm::Invalid;
    std::array<uint8_t, 4> bytes{};
    char addressClass = 0;
};

// One end of a connection as the system reports it.
struct SocketEndpoint {
    int family = 0;
    int port = 0;
    std::string ip;
};

// The two steps that start the socket library once per process. Linux sockets
// need neither, so by default both succeed; tests replace them to reach the
// start-up failures.
struct StackStartupSteps {
    std::string libraryName;
    // 0 when loading succeeds, else the system error code of the failure.
    std::function<int()> load;
    // 0 when starting succeeds, else a non-zero failure result.
    std::function<int()> start;
};

class SocketStack {
public:
    virtual ~SocketStack();

    // The process-wide instance, or nullptr while no NetComponent exists.
    static SocketStack* Instance();
    // How many network components are alive.
    static int ComponentCount();
    // Replaces the start-up steps and forgets that the library was started;
    // a step left empty succeeds.
    static void SetStartupStepsForTesting(StackStartupSteps steps);

    // ---- operations (implemented by PlatformSocketStack) ----

    // Closes a socket; 0 or -1.
    virtual int ReleaseSocket(int socket) = 0;
    // Connects to ip:port; 0 or -1. Throws InvalidIPAddressError.
    virtual int ConnectSocket(int socket, int family, int port, const std::string& ip) = 0;
    // Resolves a name to its addresses of the family as text (IPv6 without
    // brackets), in the resolver's order; throws SocketError (11001 "Host
    // not found." for an unknown name).
    virtual std::vector<std::string> LookupHostAddresses(const std::string& host, AddressFamily family) = 0;
    // This machine's name (cut at 250 bytes).
    virtual std::string LocalHostName() = 0;
    virtual uint16_t HostToNet16(uint16_t value) = 0;
    virtual uint16_t NetToHost16(uint16_t value) = 0;
    // recv/send; the count or -1. Sends never raise SIGPIPE.
    virtual long ReceiveBytes(int socket, char* buffer, size_t length, int flags) = 0;
    virtual long SendBytes(int socket, const char* buffer, size_t length, int flags) = 0;
    // Waits until a socket of a list is ready: read (data or end of stream),
    // write, error (urgent data). A list may be nullptr; each given list is
    // replaced by its ready sockets. wait: Wait::Forever() or Wait::For(t);
    // Wait::Default() means nothing here and fails (-1, errno EINVAL).
    // Returns the count of ready sockets, 0 on time-out, -1 on error. A list
    // of more than 64 sockets throws StackSetSizeExceededError. Once the
    // process abort is raised (common/process_abort.h) the wait ends with
    // AbortedError.
    virtual int SelectSockets(std::vector<int>* readList, std::vector<int>* writeList, std::vector<int>* errorList,
                              Wait wait) = 0;
    // setsockopt/getsockopt with an int value; 0 or -1.
    virtual int SetSocketOption(int socket, int level, int option, int value) = 0;
    virtual int GetSocketOption(int socket, int level, int option, int& value) = 0;
    // A new socket or kInvalidSocket.
    virtual int OpenSocket(int family, int type, int protocol) = 0;
    // Switches a socket between blocking and non-blocking calls; 0 or -1.
    virtual int SetBlocking(int socket, bool blocking) = 0;
    // shutdown (how: kShutdownReceive, kShutdownSend or kShutdownBoth); 0 or -1.
    virtual int ShutdownSocket(int socket, int how) = 0;
    // The error of the last failed call on this thread, as a Winsock-style code.
    virtual int LastSocketError() = 0;
    // getpeername; throws SocketError on failure.
    virtual SocketEndpoint PeerEndpoint(int socket) = 0;

    // "Socket Error # %d\r\n%s" for a code.
    std::string SocketErrorText(int code) const;
    // Four bytes as dotted decimal text.
    static std::string AddressToText(const std::array<uint8_t, 4>& bytes);
    // An IPv4 literal in any form of ClassifyIPAddress as its four bytes;
    // throws InvalidIPAddressError "%s is not a valid IP address.".
    static std::array<uint8_t, 4> TextToAddress(const std::string& text);

    // ---- checks and helpers ----

    // A result of -1 stores the last error; it returns true when that error is
    // one of the ignored codes and throws SocketError otherwise. Any other
    // result returns false.
    bool CheckSocketResult(long result, std::initializer_list<int> ignoredCodes = {});
    // Throws SocketError for a code (also stored as the last error).
    [[noreturn]] void RaiseSocketError(int code);
    // The code stored by the last failed check.
    int StoredSocketError() const { return storedError_; }
    // A new internet socket of the family; throws InvalidSocketError "Cannot
    // allocate socket.".
    int NewSocket(int type, int protocol, int family = kAddressFamilyInet);
    // The addresses of the family to connect to for host, in the order to
    // try them. An IPv4 literal in any form of ClassifyIPAddress stays as it
    // is; anything else goes to LookupHostAddresses, where "localhost" in
    // any case is ::1 and 127.0.0.1 and an IPv6 literal (in brackets or not)
    // is itself. AddressFamily::IPv4 keeps the first address only, as the
    // classic resolver did; the others come as InterleaveFamilies orders
    // them. Throws SocketError (11001 for an unknown name, 11004 for a name
    // or literal without an address of the family).
    std::vector<std::string> LookupHost(const std::string& host, AddressFamily family);
    // kAddressFamilyInet6 for an IPv6 address text, else kAddressFamilyInet.
    static int FamilyOf(const std::string& ip);
    static bool IsIPAddress(const std::string& text);
    // Classifies a, a.b, a.b.c and a.b.c.d literals (each part a number in the
    // syntax of StrToInt: decimal or hexadecimal).
    static IPAddressInfo ClassifyIPAddress(const std::string& text);

protected:
    SocketStack() = default;

private:
    friend class NetComponent;
    static void AddComponent();
    static void RemoveComponent();

    // Written by the timed connect's thread as well as the caller.
    std::atomic<int> storedError_{0};
};

// The process-wide instance, for code that runs only while a NetComponent
// lives (a socket, a connection, a handler).
SocketStack& Stack();

// Addresses in the order of RFC 8305: the first address's family first, then
// the two families alternating, each family keeping its own order; once one
// family runs out the other's addresses follow.
std::vector<std::string> InterleaveFamilies(const std::vector<std::string>& addresses);

}  // namespace corvasse
