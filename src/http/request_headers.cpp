#include "http/request_headers.h"

#include "common/base64.h"
#include "http/http_date.h"
#include "net/date_header.h"

namespace corvasse {

RequestHeaders::RequestHeaders() { RequestHeaders::Clear(); }

void RequestHeaders::Clear() {
    Accept = kDefaultAccept;
    UserAgent = kDefaultUserAgent;
    AcceptCharSet.clear();
    BasicAuthentication = false;
    EntityHeaders::Clear();
}

void RequestHeaders::SetHeaders() {
    HeaderList& raw = RawHeaders();
    raw.Clear();
    AddEntityHeaders();
    auto add = [&raw](std::string_view name, const std::string& value) {
        if (!value.empty()) raw.SetHeaderValue(name, value);
    };
    add("Proxy-Connection", ProxyConnection);
    add("Host", Host);
    add("Accept", Accept);
    add("Accept-Charset", AcceptCharSet);
    add("Accept-Encoding", AcceptEncoding);
    add("Accept-Language", AcceptLanguage);
    add("From", From);
    add("Referer", Referer);
    add("User-Agent", UserAgent);
    if (LastModified != 0) add("If-Modified-Since", FormatDateHeader(LastModified));
    if (ContentRangeStart != 0 || ContentRangeEnd != 0) {
        std::string range = "bytes=" + std::to_string(ContentRangeStart) + "-";
        if (ContentRangeEnd != 0) range += std::to_string(ContentRangeEnd);
        add("Range", range);
    }
    if (Authentication) {
        add("Authorization", Authentication->Authorization());
    } else if (BasicAuthentication) {
        add("Authorization", "Basic " + EncodeBase64(Username + ":" + Password));
    }
}

}  // namespace corvasse
