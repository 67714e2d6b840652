#include "mail/md5.h"

#include <cmath>

namespace corvasse {

namespace {

constexpr size_t kBlockBytes = 64;

constexpr uint32_t kShifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                  5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                  4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                  6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

// The sine table of RFC 1321: floor(abs(sin(i + 1)) * 2^32).
const std::array<uint32_t, 64>& SineTable() {
    static const std::array<uint32_t, 64> table = [] {
        std::array<uint32_t, 64> t{};
        for (size_t i = 0; i < t.size(); ++i) {
            t[i] = static_cast<uint32_t>(std::floor(std::fabs(std::sin(static_cast<double>(i + 1))) * 4294967296.0));
        }
        return t;
    }();
    return table;
}

uint32_t RotateLeft(uint32_t x, uint32_t n) { return (x << n) | (x >> (32 - n)); }

void ProcessBlock(std::array<uint32_t, 4>& state, const uint8_t* block) {
    uint32_t m[16];
    for (int i = 0; i < 16; ++i) {
        m[i] = static_cast<uint32_t>(block[i * 4]) | (static_cast<uint32_t>(block[i * 4 + 1]) << 8) |
               (static_cast<uint32_t>(block[i * 4 + 2]) << 16) | (static_cast<uint32_t>(block[i * 4 + 3]) << 24);
    }
    const auto& k = SineTable();
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (uint32_t i = 0; i < 64; ++i) {
        uint32_t f;
        uint32_t g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        uint32_t next = b + RotateLeft(a + f + k[i] + m[g], kShifts[i]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

std::array<uint8_t, 16> Md5Digest(std::string_view bytes) {
    std::array<uint32_t, 4> state = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    size_t whole = bytes.size() / kBlockBytes * kBlockBytes;
    for (size_t i = 0; i < whole; i += kBlockBytes) {
        ProcessBlock(state, reinterpret_cast<const uint8_t*>(bytes.data() + i));
    }
    // Padding: a 1 bit, zeros up to 56 bytes mod 64, then the bit length.
    std::string tail(bytes.substr(whole));
    tail += static_cast<char>(0x80);
    while (tail.size() % kBlockBytes != 56) tail += '\0';
    uint64_t bitLength = static_cast<uint64_t>(bytes.size()) * 8;
    for (int i = 0; i < 8; ++i) tail += static_cast<char>((bitLength >> (8 * i)) & 0xff);
    for (size_t i = 0; i < tail.size(); i += kBlockBytes) {
        ProcessBlock(state, reinterpret_cast<const uint8_t*>(tail.data() + i));
    }
    std::array<uint8_t, 16> digest{};
    for (size_t i = 0; i < 16; ++i) digest[i] = static_cast<uint8_t>(state[i / 4] >> (8 * (i % 4)));
    return digest;
}

std::string Md5Hex(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t byte : Md5Digest(bytes)) {
        hex += kHex[byte >> 4];
        hex += kHex[byte & 15];
    }
    return hex;
}

}  // namespace corvasse
