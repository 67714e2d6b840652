// The ping receive matcher over a datagram; the first four bytes are the
// request identifier looked for.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "ping/echo_answer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    uint32_t id;
    std::memcpy(&id, data, sizeof id);
    std::span<const uint8_t> datagram(data + 4, size - 4);
    for (auto version : {corvasse::IcmpVersion::V4, corvasse::IcmpVersion::V6}) {
        corvasse::MatchEchoAnswer(datagram, id, corvasse::IdMatch::WholeId, version);
        corvasse::MatchEchoAnswer(datagram, id, corvasse::IdMatch::SequenceHalf, version);
        corvasse::RequestCarriesId(datagram, id, corvasse::IdMatch::WholeId, version);
        corvasse::RequestCarriesId(datagram, id, corvasse::IdMatch::SequenceHalf, version);
    }
    return 0;
}
