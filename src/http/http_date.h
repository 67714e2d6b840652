#pragma once
// Date texts in HTTP headers: the forms a server sends, and the GMT form a
// request writes ("Date" and "Expires" take FormatDateHeader of
// net/date_header.h).

#include <ctime>
#include <string>
#include <string_view>

namespace corvasse {

// Reads an RFC 1123 ("Sun, 06 Nov 1994 08:49:37 GMT"), RFC 850
// ("Sunday, 06-Nov-94 08:49:37 GMT") or asctime ("Sun Nov  6 08:49:37 1994")
// date, or an RFC 822 one with a numeric zone ("+0100"). Returns the moment as
// seconds since the epoch, 0 when the text is not such a date.
std::time_t ParseInternetDate(std::string_view text);

// "Sun, 06 Nov 1994 08:49:37 GMT": the moment in GMT with English names.
std::string FormatHttpDate(std::time_t when);

}  // namespace corvasse
