#pragma once
// The MD5 message digest (RFC 1321), used for the APOP login of POP3.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvasse {

// The 16-byte digest of the bytes.
std::array<uint8_t, 16> Md5Digest(std::string_view bytes);

// The digest as 32 lower-case hexadecimal digits.
std::string Md5Hex(std::string_view bytes);

}  // namespace corvasse
