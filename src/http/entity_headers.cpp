#include "http/entity_headers.h"

#include "common/byte_string.h"

namespace corvasse {

void EntityHeaders::Clear() {
    Connection.clear();
    contentLength_ = -1;
    rawHeaders_.Clear();
}

void EntityHeaders::ReadEntityHeaders() {
    const HeaderList& raw = rawHeaders_;
    Connection = raw.GetHeaderValue("Connection");
    contentLength_ = TryStrToInt(Trim(raw.GetHeaderValue("Content-Length"))).value_or(-1);
}

}  // namespace corvasse
