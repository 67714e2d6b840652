// The kernel's routes as the offline decision reads them, in network
// namespaces of the test's own: first with only the loopback, then with a
// veth pair holding a default route, then with that link lost.

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "net/kernel_routes.h"
#include "support/isolated_network.h"

namespace corvasse {
namespace {

SocketAddress Address(const char* text) { return *SocketAddress::FromText(text); }

void Ip(const std::string& arguments) { ASSERT_EQ(std::system(("/usr/sbin/ip " + arguments).c_str()), 0) << arguments; }

struct Expected {
    bool toLoopback4, toLoopback6, toOutside4, toOutside6, toUnreachable, outside4, outside6;
};

void ExpectRoutes(const Expected& e) {
    // A link's state reaches the routes a moment after the change.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (HasRouteTo(Address("203.0.113.5")) != e.toOutside4 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(HasRouteTo(Address("127.0.0.1")), e.toLoopback4);
    EXPECT_EQ(HasRouteTo(Address("::1")), e.toLoopback6);
    EXPECT_EQ(HasRouteTo(Address("203.0.113.5")), e.toOutside4);
    EXPECT_EQ(HasRouteTo(Address("2001:db8::1")), e.toOutside6);
    EXPECT_EQ(HasRouteTo(Address("198.51.100.1")), e.toUnreachable);
    EXPECT_EQ(HasRouteOutside(AF_INET), e.outside4);
    EXPECT_EQ(HasRouteOutside(AF_INET6), e.outside6);
}

TEST(KernelRoutesTest, LoopbackOnlyThenADefaultRouteThenItsLinkLost) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root for network namespaces";
    test::ScopedNetNamespace network;
    {
        SCOPED_TRACE("loopback only");
        ExpectRoutes({true, true, false, false, false, false, false});
    }
    // Both ends in this namespace, so the link is up; IPv6 gets only the
    // link-local routes every interface has.
    Ip("link add corv0 type veth peer name corv1");
    Ip("link set corv0 up");
    Ip("link set corv1 up");
    Ip("addr add 192.0.2.10/24 dev corv0");
    Ip("route add default via 192.0.2.1");
    Ip("route add unreachable 198.51.100.0/24");
    {
        SCOPED_TRACE("IPv4 default route");
        ExpectRoutes({true, true, true, false, false, true, false});
    }
    // The routes stay, marked as without their link, as when Wi-Fi drops.
    Ip("link set corv1 down");
    {
        SCOPED_TRACE("link lost");
        ExpectRoutes({true, true, false, false, false, false, false});
    }
}

}  // namespace
}  // namespace corvasse
