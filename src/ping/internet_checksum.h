#pragma once
// The Internet checksum of RFC 1071: the ones' complement of the ones'
// complement sum of the data taken as 16-bit words.

#include <cstdint>
#include <span>

namespace corvasse {

// Checksum of the bytes as they lie in memory; an odd last byte is padded with
// a zero byte. The result is stored back in memory as it is returned (no byte
// swap), so a message that carries it sums to zero.
uint16_t InternetChecksum(std::span<const uint8_t> data);

}  // namespace corvasse
