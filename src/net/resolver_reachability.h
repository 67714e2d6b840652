#pragma once
// Whether the name server this computer asks could be reached: one of the
// "nameserver" lines of resolv.conf(5) is a loopback address (a local cache
// such as systemd-resolved's 127.0.0.53 always answers, even if only to say
// it cannot get further), or the kernel has a route to one of them.

#include <filesystem>

namespace corvasse {

inline const std::filesystem::path kResolverConfigFile = "/etc/resolv.conf";

// A file without nameserver lines, or one that cannot be read, means the
// resolver's own default, the loopback address: reachable.
bool ResolverReachable(const std::filesystem::path& resolverConfig = kResolverConfigFile);

}  // namespace corvasse
