// The offline decision over probes the test answers: which condition holds
// and the reason it gives.

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/offline/network_probes.h"
#include "app/offline/offline_reason.h"
#include "common/socket_error_code.h"

namespace corvasse {
namespace {

struct FakeProbes : NetworkProbes {
    std::vector<std::string> routed;
    bool network = true;
    bool resolver = true;
    bool reference = true;
    std::vector<std::string> asked;

    bool HasRouteTo(const SocketAddress& address) override {
        asked.push_back("route " + address.Text());
        for (const auto& text : routed) {
            if (text == address.Text()) return true;
        }
        return false;
    }
    bool HasNetwork() override { return network; }
    bool ResolverReachable() override { return resolver; }
    bool Reaches(const std::string& host) override {
        asked.push_back("reference " + host);
        return reference;
    }
};

AddressLookup Found(std::initializer_list<const char*> addresses) {
    AddressLookup lookup;
    for (const char* text : addresses) lookup.addresses.push_back(*SocketAddress::FromText(text));
    return lookup;
}

TEST(OfflineReasonTest, EachConditionAndItsReason) {
    const AddressLookup notFound{{}, kHostNotFound};
    const AddressLookup site = Found({"203.0.113.5"});
    const AddressLookup dualStack = Found({"2001:db8::1", "203.0.113.5"});
    const std::vector<std::string> routed = {"203.0.113.5"};
    const struct {
        const char* name;
        AddressLookup site;
        std::vector<std::string> routed;
        std::string silent;  // the probes that find nothing
        const char* referenceHost;
        std::optional<std::string> reason;
    } cases[] = {
        {"routed", site, routed, "", "", std::nullopt},
        {"no route", site, {}, "", "", "no route to 203.0.113.5"},
        {"no route to either family", dualStack, {}, "", "", "no route to [2001:db8::1]"},
        {"a route to one of them", dualStack, routed, "network resolver", "", std::nullopt},
        {"no name, no network", notFound, {}, "network resolver", "", "name look-up failed and no network"},
        {"no name, but a network", notFound, {}, "resolver", "", std::nullopt},
        {"no name, but a resolver", notFound, {}, "network", "", std::nullopt},
        {"reference answers", site, routed, "", "example.org", std::nullopt},
        {"reference silent", site, routed, "reference", "example.org", "reference example.org unreachable"},
        {"no name, network, reference silent",
         notFound,
         {},
         "reference",
         "example.org",
         "reference example.org unreachable"},
    };
    for (const auto& c : cases) {
        FakeProbes probes;
        probes.routed = c.routed;
        auto answers = [&](const char* probe) { return c.silent.find(probe) == std::string::npos; };
        probes.network = answers("network");
        probes.resolver = answers("resolver");
        probes.reference = answers("reference");
        EXPECT_EQ(OfflineReason(c.site, c.referenceHost, probes), c.reason) << c.name;
    }
}

TEST(OfflineReasonTest, TheReferenceIsTriedOnlyWhenSetAndNeeded) {
    FakeProbes probes;
    probes.routed = {"203.0.113.5"};
    probes.reference = false;
    EXPECT_EQ(OfflineReason(Found({"203.0.113.5"}), "", probes), std::nullopt);
    EXPECT_EQ(probes.asked, (std::vector<std::string>{"route 203.0.113.5"}));
    // A site without a route is offline already; the reference waits for nothing.
    probes.asked.clear();
    EXPECT_EQ(OfflineReason(Found({"192.0.2.1"}), "example.org", probes), "no route to 192.0.2.1");
    EXPECT_EQ(probes.asked, (std::vector<std::string>{"route 192.0.2.1"}));
}

}  // namespace
}  // namespace corvasse
