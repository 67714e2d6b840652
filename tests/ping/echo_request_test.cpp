#include "ping/echo_request.h"

#include <gtest/gtest.h>

#include <cstring>

#include "ping/internet_checksum.h"
#include "ping/pinger.h"

namespace corvasse {
namespace {

TEST(EchoRequestTest, DefaultRequestLayout) {
    Pinger pinger;
    ASSERT_EQ(pinger.PacketSize(), 64);
    const uint32_t id = 0x11223344;
    const auto message = BuildEchoRequest(id, static_cast<size_t>(pinger.PacketSize()));
    ASSERT_EQ(message.size(), 64u);
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

TEST(EchoRequestTest, SmallPacketSizeGivesTheHeaderAlone) {
    Pinger pinger;
    pinger.SetPacketSize(5);
    EXPECT_EQ(pinger.PacketSize(), 8);
    pinger.SetPacketSize(-3);
    EXPECT_EQ(pinger.PacketSize(), 8);
    pinger.SetPacketSize(100000);
    EXPECT_EQ(pinger.PacketSize(), 65535);

    const auto message = BuildEchoRequest(0xA5A5A5A5, 8);
    ASSERT_EQ(message.size(), 8u);
    EXPECT_EQ(message[0], 8);
    EXPECT_EQ(message[4], 0xA5);
    EXPECT_EQ(InternetChecksum(message), 0);
}

TEST(EchoRequestTest, OddSizesStillVerify) {
    for (size_t size : {9u, 65u, 2051u, 2052u}) {
        const auto message = BuildEchoRequest(12345, size);
        ASSERT_EQ(message.size(), size);
        EXPECT_EQ(InternetChecksum(message), 0) << size;
        EXPECT_EQ(message.back(), 0x2A);
    }
}

}  // namespace
}  // namespace corvasse
