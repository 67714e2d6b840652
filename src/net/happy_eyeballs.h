#pragma once
// Connecting to the first of several addresses that answers, as RFC 8305
// ("Happy Eyeballs") asks: the addresses are tried in their order, each one
// kConnectionAttemptDelay after the one before, or at once when that one has
// failed; the first connection wins and the others are closed. Every attempt
// is a non-blocking connect, and all of them are waited for in one poll on
// the calling thread, so no thread is left behind and the process abort ends
// the wait at once.
//
//     ConnectToFirst({"2001:db8::1", "192.0.2.1"}, 443, Wait::For(120000ms), setUp, binding);

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "net/wait.h"

namespace corvasse {

class SocketHandle;

// How long an attempt has alone before the next address is tried too.
inline constexpr std::chrono::milliseconds kConnectionAttemptDelay{250};

// Readies the socket of one attempt (PeerIP and PeerPort already set):
// allocates it for the address's family, binds it, sets its options and
// reports it. A NetError it throws fails that attempt only.
using AttemptSetUp = std::function<void(SocketHandle& socket)>;

// Connects winner to port at the first of the addresses (texts, IPv6 without
// brackets) that accepts; it then holds that socket, blocking as usual, and
// every other attempt's socket is closed. wait: Wait::Forever() lets each
// attempt last as long as the system's own, Wait::For(t) ends the whole
// after t. Throws what failed the attempt that failed last when all of them
// failed (the NetError of the set-up, or SocketError: 10061 for a refusal),
// ConnectTimeoutError "Connect timed out." when the time ran out first, and
// AbortedError once the process abort is raised.
void ConnectToFirst(const std::vector<std::string>& addresses, int port, Wait wait, const AttemptSetUp& setUp,
                    SocketHandle& winner);

}  // namespace corvasse
