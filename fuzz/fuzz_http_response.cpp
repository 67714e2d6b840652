// A response read by the parsers (status line, header block, then a chunked
// body) in pieces whose size the input's first byte picks, and again a byte at
// a time: both must end alike. Then a whole fetch answered by the input
// through a transport that replays it in those pieces (with redirects
// followed when bit 6 of the first byte is set).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/header_list.h"
#include "common/memory_stream.h"
#include "http/chunked_decoder.h"
#include "http/header_block_parser.h"
#include "http/http_client.h"
#include "http/status_line_parser.h"
#include "input_answer.h"

namespace {

struct Parsed {
    std::string statusLine;
    std::vector<std::string> headers;
    std::string body;
    size_t taken = 0;
    std::string error;
    bool operator==(const Parsed&) const = default;
};

Parsed Parse(std::string_view input, size_t pieceBytes) {
    using namespace corvasse;
    Parsed parsed;
    HeadByteCount headBytes;
    StatusLineParser status(headBytes);
    HeaderList headers;
    HeaderBlockParser block(headers, headBytes);
    ChunkedDecoder decoder;
    try {
        while (parsed.taken < input.size() && !decoder.Done()) {
            const std::string_view piece = input.substr(parsed.taken, pieceBytes);
            size_t taken;
            if (!status.Done()) {
                taken = status.Feed(piece);
            } else if (!block.Done()) {
                taken = block.Feed(piece);
            } else {
                const ChunkedDecoder::Fed fed = decoder.Feed(piece);
                parsed.body += fed.data;
                taken = fed.taken;
            }
            // A parser that is not done must take something, or its caller would wait for ever.
            if (taken == 0) std::abort();
            parsed.taken += taken;
        }
    } catch (const std::exception& error) {
        parsed.error = error.what();
        // How much of the failing piece was taken depends on its size.
        parsed.taken = 0;
    }
    if (status.Done()) parsed.statusLine = status.Line();
    parsed.headers = headers.Lines();
    return parsed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0) {
        const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
        if (!(Parse(input, data[0] % 64 + 1) == Parse(input, 1))) std::abort();
    }

    corvasse::test::ScriptedTransport transport(corvasse::fuzz::InputAnswer(data, size));
    corvasse::HttpClient client;
    client.SetIOHandler(&transport);
    client.HandleRedirects = size > 0 && (data[0] & 0x40) != 0;
    try {
        corvasse::MemoryStream body;
        client.Get("http://fuzz.test/a/b/page?q=1", body);
    } catch (const std::exception&) {}
    return 0;
}
