// Whether a name server of resolv.conf can be reached, in a network
// namespace that has only its loopback, then a route to one of them.

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "net/resolver_reachability.h"
#include "support/isolated_network.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

TEST(ResolverReachabilityTest, LoopbackServersOrRoutedOnes) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root for network namespaces";
    test::ScopedNetNamespace network;
    test::TempDir dir;
    const struct {
        const char* name;
        const char* config;
        bool reachable;
    } cases[] = {
        {"no servers: the resolver's own default, the loopback", "search example.org\n", true},
        {"a local cache", "# systemd-resolved\nnameserver 127.0.0.53\noptions edns0\n", true},
        {"IPv6 loopback", "nameserver ::1\n", true},
        {"unrouted servers", "nameserver 203.0.113.53\nnameserver 2001:db8::53\n", false},
        {"one of them on the loopback", "nameserver 203.0.113.53\nnameserver 127.0.0.1\n", true},
        {"a line that only looks like one", "#nameserver 127.0.0.1\nnameserver 203.0.113.53\n", false},
    };
    for (const auto& c : cases) {
        const auto path = dir.Path() / "resolv.conf";
        std::ofstream(path) << c.config;
        EXPECT_EQ(ResolverReachable(path), c.reachable) << c.name;
    }
    EXPECT_TRUE(ResolverReachable(dir.Path() / "missing.conf"));

    ASSERT_EQ(std::system("/usr/sbin/ip link add corv0 type veth peer name corv1 && /usr/sbin/ip link set corv0 up && "
                          "/usr/sbin/ip link set corv1 up && /usr/sbin/ip addr add 203.0.113.10/24 dev corv0"),
              0);
    const auto path = dir.Path() / "routed.conf";
    std::ofstream(path) << "nameserver 203.0.113.53\n";
    // The link's state reaches the route a moment after it came up.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!ResolverReachable(path) && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(ResolverReachable(path));
}

}  // namespace
}  // namespace corvasse
