#include "ping/echo_request.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "ping/internet_checksum.h"
#include "ping/pinger.h"

namespace corvasse {
namespace {

TEST(EchoRequestTest, EachSizeCarriesTheIdThePaddingAndAChecksumThatVerifies) {
    // The default size, the header alone, odd sizes and the largest message.
    for (size_t size : {64u, 8u, 9u, 65u, 2051u, 2052u}) {
        SCOPED_TRACE(size);
        const uint32_t id = 0xA5A51100 + static_cast<uint32_t>(size);
        const auto message = BuildEchoRequest(id, size);
        ASSERT_EQ(message.size(), size);
        EXPECT_EQ(message[0], 8);
        EXPECT_EQ(message[1], 0);
        uint32_t carried;
        std::memcpy(&carried, message.data() + 4, 4);
        EXPECT_EQ(carried, id);  // machine byte order
        for (size_t i = 8; i < message.size(); ++i) {
            ASSERT_EQ(message[i], 0x2A) << "byte " << i;
        }
        EXPECT_EQ(InternetChecksum(message), 0);
        // The checksum was computed with its own field zero.
        auto zeroed = message;
        zeroed[2] = zeroed[3] = 0;
        uint16_t stored;
        std::memcpy(&stored, message.data() + 2, 2);
        EXPECT_EQ(InternetChecksum(zeroed), stored);
    }
}

TEST(EchoRequestTest, PacketSizeStaysBetweenTheHeaderAndTheLargestMessage) {
    Pinger pinger;
    EXPECT_EQ(pinger.PacketSize(), 64);
    for (const auto& [asked, kept] : {std::pair{5, 8}, {-3, 8}, {100000, 65535}}) {
        pinger.SetPacketSize(asked);
        EXPECT_EQ(pinger.PacketSize(), kept) << asked;
    }
}

}  // namespace
}  // namespace corvasse
