#pragma once
// Socket failures are reported with the Winsock error numbers users and logs
// know ("Socket Error # 10061"); these map the POSIX results onto them.

namespace corvasse {

// An errno value as its Winsock number; an errno without an equivalent keeps
// its own number.
int SocketErrorFromErrno(int errnoValue);

// A getaddrinfo() result (EAI_*) as its Winsock number; EAI_SYSTEM maps the
// current errno.
int SocketErrorFromLookup(int lookupResult);

}  // namespace corvasse
