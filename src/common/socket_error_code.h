#pragma once
// Socket failures are reported with the Winsock error numbers users and logs
// know ("Socket Error # 10061"); these map the POSIX results onto them.

namespace corvasse {

// The Winsock numbers the code names, to test for them or to raise them;
// every other number comes from the two mappings below.
inline constexpr int kBadFile = 10009;            // EBADF: the socket was closed under the call
inline constexpr int kWouldBlock = 10035;         // EAGAIN: nothing to take yet
inline constexpr int kInProgress = 10036;         // EINPROGRESS: a non-blocking connect under way
inline constexpr int kNotSocket = 10038;          // ENOTSOCK
inline constexpr int kAddressInUse = 10048;       // EADDRINUSE
inline constexpr int kConnectionAborted = 10053;  // ECONNABORTED
inline constexpr int kConnectionReset = 10054;    // ECONNRESET
inline constexpr int kShutDown = 10058;           // EPIPE, ESHUTDOWN: the connection is gone
inline constexpr int kConnectionRefused = 10061;  // ECONNREFUSED: the host said no
inline constexpr int kHostNotFound = 11001;       // EAI_NONAME
inline constexpr int kNoAddress = 11004;          // a name without an address of the family asked for

// An errno value as its Winsock number; an errno without an equivalent keeps
// its own number.
int SocketErrorFromErrno(int errnoValue);

// A getaddrinfo() result (EAI_*) as its Winsock number; EAI_SYSTEM maps the
// current errno.
int SocketErrorFromLookup(int lookupResult);

}  // namespace corvasse
