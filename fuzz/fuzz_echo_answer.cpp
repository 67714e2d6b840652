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
    corvasse::MatchEchoAnswer(datagram, id, corvasse::IdMatch::WholeId);
    corvasse::MatchEchoAnswer(datagram, id, corvasse::IdMatch::SequenceHalf);
    corvasse::RequestCarriesId(datagram, id, corvasse::IdMatch::WholeId);
    corvasse::RequestCarriesId(datagram, id, corvasse::IdMatch::SequenceHalf);
    return 0;
}
