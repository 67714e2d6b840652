#include "ping/ping_error.h"

#include <gtest/gtest.h>

#include "ping/ping_socket_error_text.h"

namespace corvasse {
namespace {

TEST(PingErrorTest, MessageIsCodeAndDescription) {
    const PingError error(301, "Timeout.");
    EXPECT_STREQ(error.what(), "301: Timeout.");
    EXPECT_EQ(error.Code, 301);
    EXPECT_EQ(error.Description, "Timeout.");
    const CodedError& base = error;
    EXPECT_EQ(base.Code, 301);
    EXPECT_STREQ(PingError(11001, "").what(), "11001: ");
}

TEST(PingErrorTest, UnreachableDescriptions) {
    EXPECT_EQ(UnreachableDescription(0), "Network unreachable.");
    EXPECT_EQ(UnreachableDescription(1), "Host unreachable.");
    EXPECT_EQ(UnreachableDescription(3), "Port unreachable.");
    EXPECT_EQ(UnreachableDescription(4), "Fragmentation needed and DF is set.");
    EXPECT_EQ(UnreachableDescription(9), "Communication with destination network administratively prohibited.");
    EXPECT_EQ(UnreachableDescription(12), "Host unreachable for this type of service.");
    EXPECT_EQ(UnreachableDescription(13), "Destination unreachable: 13.");
    EXPECT_EQ(UnreachableDescription(255), "Destination unreachable: 255.");
    // ICMPv6 codes read as the ICMP code of the same meaning.
    const struct {
        int code;
        const char* description;
    } icmpv6[] = {
        {0, "Network unreachable."},
        {1, "Communication with destination host administratively prohibited."},
        {3, "Host unreachable."},
        {4, "Port unreachable."},
        {6, "Communication with destination network administratively prohibited."},
        {7, "Destination unreachable: 7."},
        {-1, "Destination unreachable: -1."},
    };
    for (const auto& c : icmpv6) EXPECT_EQ(UnreachableDescription(c.code, IcmpVersion::V6), c.description) << c.code;
}

TEST(PingErrorTest, SocketErrorTexts) {
    EXPECT_EQ(PingSocketErrorText(10013), "Access denied");
    EXPECT_EQ(PingSocketErrorText(10060), "Connection timed out");
    EXPECT_EQ(PingSocketErrorText(10061), "Connection refused");
    EXPECT_EQ(PingSocketErrorText(10065), "No route to host");
    EXPECT_EQ(PingSocketErrorText(10093), "Winsock not loaded yet (WSANOTINITIALISED)");
    EXPECT_EQ(PingSocketErrorText(11001), "Host not found");
    EXPECT_EQ(PingSocketErrorText(11004), "Valid name, no data record (check DNS setup)");
    // Every number of the table has its own text; its neighbours have none.
    int described = 0;
    for (int code = 10000; code < 11010; ++code) {
        if (PingSocketErrorText(code) != "(no description available)") {
            ++described;
        }
    }
    EXPECT_EQ(described, 50);
    EXPECT_EQ(PingSocketErrorText(10072), "(no description available)");
    EXPECT_EQ(PingSocketErrorText(11005), "(no description available)");
    EXPECT_EQ(PingSocketErrorText(-1), "(no description available)");
}

}  // namespace
}  // namespace corvasse
