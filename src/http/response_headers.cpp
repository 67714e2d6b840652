#include "http/response_headers.h"

#include "common/byte_string.h"

namespace corvasse {

ResponseHeaders::ResponseHeaders() { ResponseHeaders::Clear(); }

void ResponseHeaders::Clear() {
    EntityHeaders::Clear();
    Location.clear();
    ProxyConnection.clear();
    WWWAuthenticate.clear();
    ContentRangeStart = 0;
    ContentRangeEnd = 0;
}

void ResponseHeaders::ProcessHeaders() {
    const HeaderList& raw = RawHeaders();
    Location = raw.GetHeaderValue("Location");
    ProxyConnection = raw.GetHeaderValue("Proxy-Connection");

    // "bytes 0-499/1234"
    std::string range = raw.GetHeaderValue("Content-Range");
    if (!range.empty()) {
        size_t blank = range.find(' ');
        if (blank != std::string::npos) range.erase(0, blank + 1);
        size_t dash = range.find('-');
        size_t slash = range.find('/', dash == std::string::npos ? 0 : dash);
        ContentRangeStart = static_cast<uint32_t>(StrToInt(range.substr(0, dash)));
        ContentRangeEnd = static_cast<uint32_t>(
            StrToInt(dash == std::string::npos ? std::string() : range.substr(dash + 1, slash - dash - 1)));
    } else {
        ContentRangeStart = 0;
        ContentRangeEnd = 0;
    }
    WWWAuthenticate.clear();
    raw.ExtractHeaderValues("WWW-Authenticate", WWWAuthenticate);

    ReadEntityHeaders();
}

}  // namespace corvasse
