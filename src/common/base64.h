#pragma once
// Standard base64 (RFC 4648 alphabet, "=" padding, no line breaks).

#include <string>
#include <string_view>

namespace corvasse {

std::string EncodeBase64(std::string_view bytes);

}  // namespace corvasse
