#include "ping/internet_checksum.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace corvasse {
namespace {

// The checksum as the bytes it becomes in a message.
std::vector<uint8_t> StoredChecksum(const std::vector<uint8_t>& data) {
    const uint16_t checksum = InternetChecksum(data);
    std::vector<uint8_t> bytes(2);
    std::memcpy(bytes.data(), &checksum, 2);
    return bytes;
}

TEST(InternetChecksumTest, KnownVectors) {
    // RFC 1071, section 3: the words 0001 f203 f4f5 f6f7 sum to ddf2.
    EXPECT_EQ(StoredChecksum({0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7}), (std::vector<uint8_t>{0x22, 0x0d}));
    // A bare echo request header with identifier and sequence 0.
    EXPECT_EQ(StoredChecksum({0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), (std::vector<uint8_t>{0xf7, 0xff}));
    // Carries wrap around: ffff + ffff + 0001 folds to 0001.
    EXPECT_EQ(StoredChecksum({0xff, 0xff, 0xff, 0xff, 0x00, 0x01}), (std::vector<uint8_t>{0xff, 0xfe}));
    // An odd last byte counts as the high byte of a word padded with zero.
    EXPECT_EQ(StoredChecksum({0x12, 0x34, 0x56}), StoredChecksum({0x12, 0x34, 0x56, 0x00}));
    EXPECT_EQ(StoredChecksum({}), (std::vector<uint8_t>{0xff, 0xff}));
}

TEST(InternetChecksumTest, MessageCarryingItsChecksumVerifies) {
    std::mt19937 random(7);
    for (size_t length = 4; length < 200; length += 2) {
        std::vector<uint8_t> message(length);
        for (auto& byte : message) {
            byte = static_cast<uint8_t>(random());
        }
        message[2] = message[3] = 0;
        const uint16_t checksum = InternetChecksum(message);
        std::memcpy(message.data() + 2, &checksum, 2);
        EXPECT_EQ(InternetChecksum(message), 0) << "length " << length;
    }
}

}  // namespace
}  // namespace corvasse
