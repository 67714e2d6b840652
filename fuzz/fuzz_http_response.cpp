// A whole HTTP fetch answered by the input: status lines, headers, bodies of
// every framing and redirects, through a transport that replays the input.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "fake_transport.h"
#include "http/http_client.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    corvasse::fuzz::FakeTransport transport(data, size);
    corvasse::HttpClient client;
    client.SetIOHandler(&transport);
    client.HandleRedirects = size > 0 && (data[0] & 0x40) != 0;
    try {
        client.Get("http://fuzz.test/a/b/page?q=1");
    } catch (const std::exception&) {
    }
    return 0;
}
