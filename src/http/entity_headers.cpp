#include "http/entity_headers.h"

#include <optional>

#include "common/byte_string.h"
#include "http/http_date.h"
#include "net/date_header.h"

namespace corvasse {

EntityHeaders::EntityHeaders() { EntityHeaders::Clear(); }

void EntityHeaders::Clear() {
    CacheControl.clear();
    Connection.clear();
    ContentEncoding.clear();
    ContentLanguage.clear();
    SetContentLength(-1);
    ContentRangeEnd = 0;
    ContentRangeStart = 0;
    ContentType.clear();
    ContentVersion.clear();
    CustomHeaders.Clear();
    Date = 0;
    Expires = 0;
    LastModified = 0;
    Pragma.clear();
    rawHeaders_.Clear();
}

void EntityHeaders::SetContentLength(int32_t value) {
    contentLength_ = value;
    lengthGiven_ = value >= 0;
}

void EntityHeaders::AddEntityHeaders() {
    HeaderList& raw = rawHeaders_;
    auto add = [&raw](std::string_view name, const std::string& value) {
        if (!value.empty()) raw.SetHeaderValue(name, value);
    };
    add("Connection", Connection);
    add("Content-Version", ContentVersion);
    add("Content-Encoding", ContentEncoding);
    add("Content-Language", ContentLanguage);
    add("Content-Type", ContentType);
    if (contentLength_ >= 0) add("Content-Length", std::to_string(contentLength_));
    add("Cache-control", CacheControl);
    if (Date != 0) add("Date", FormatDateHeader(Date));
    if (Expires != 0) add("Expires", FormatDateHeader(Expires));
    if (LastModified != 0) add("Last-Modified", FormatHttpDate(LastModified));
    add("Pragma", Pragma);
    raw.AddLines(CustomHeaders);
}

void EntityHeaders::ReadEntityHeaders() {
    const HeaderList& raw = rawHeaders_;
    Connection = raw.GetHeaderValue("Connection");
    ContentVersion = raw.GetHeaderValue("Content-Version");
    ContentEncoding = raw.GetHeaderValue("Content-Encoding");
    ContentLanguage = raw.GetHeaderValue("Content-Language");
    ContentType = raw.GetHeaderValue("Content-Type");
    SetContentLength(TryStrToInt(Trim(raw.GetHeaderValue("Content-Length"))).value_or(-1));
    Date = ParseInternetDate(raw.GetHeaderValue("Date"));
    LastModified = ParseInternetDate(raw.GetHeaderValue("Last-Modified"));

    const std::string expires = raw.GetHeaderValue("Expires");
    if (std::optional<int32_t> seconds = TryStrToInt(expires)) {
        // Any whole number of seconds counts, a day or more included.
        Expires = std::time(nullptr) + *seconds;
    } else {
        Expires = ParseInternetDate(expires);
    }
    Pragma = raw.GetHeaderValue("Pragma");
}

}  // namespace corvasse
