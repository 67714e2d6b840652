#include "http/request_headers.h"

namespace corvasse {

RequestHeaders::RequestHeaders() { RequestHeaders::Clear(); }

void RequestHeaders::Clear() {
    Accept = kDefaultAccept;
    UserAgent = kDefaultUserAgent;
    EntityHeaders::Clear();
}

void RequestHeaders::SetHeaders() {
    HeaderList& raw = RawHeaders();
    raw.Clear();
    auto add = [&raw](std::string_view name, const std::string& value) {
        if (!value.empty()) raw.SetHeaderValue(name, value);
    };
    add("Host", Host);
    add("Accept", Accept);
    add("User-Agent", UserAgent);
    if (Authentication) add("Authorization", Authentication->Authorization());
}

}  // namespace corvasse
