#pragma once
// The fuzz input as a server's answer for a client over ScriptedTransport:
// the bytes after the first, in pieces whose sizes the first byte picks, then
// the server's close.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/scripted_transport.h"

namespace corvasse::fuzz {

inline std::vector<test::ScriptStep> InputAnswer(const uint8_t* data, size_t size) {
    if (size == 0) return {test::script::Close()};
    return {test::script::Pieces(data[0] % 64 + 1),
            test::script::Send(std::string(reinterpret_cast<const char*>(data) + 1, size - 1)), test::script::Close()};
}

}  // namespace corvasse::fuzz
