#include "ping/internet_checksum.h"

#include <cstring>

namespace corvasse {

uint16_t InternetChecksum(std::span<const uint8_t> data) {
    // Summing native 16-bit words gives the checksum in native order, ready to
    // be copied into the message (RFC 1071, byte order independence).
    uint64_t sum = 0;
    size_t i = 0;
    for (; i + 1 < data.size(); i += 2) {
        uint16_t word;
        std::memcpy(&word, data.data() + i, sizeof word);
        sum += word;
    }
    if (i < data.size()) {
        const uint8_t last[2] = {data[i], 0};
        uint16_t word;
        std::memcpy(&word, last, sizeof word);
        sum += word;
    }
    while (sum >> 16) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<uint16_t>(~sum);
}

}  // namespace corvasse
