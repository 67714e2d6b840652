#pragma once
// A page fetched whole into a string, for tests that compare it.

#include <string>

#include "common/memory_stream.h"
#include "http/http_client.h"

namespace corvasse::test {

inline std::string FetchText(HttpClient& client, const std::string& url) {
    MemoryStream body;
    client.Get(url, body);
    return body.Release();
}

}  // namespace corvasse::test
