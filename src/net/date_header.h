#pragma once
// The internet "Date" header text of outgoing mail and HTTP requests.

#include <ctime>
#include <string>

#include "net/net_error.h"

namespace corvasse {

// The local time-zone information could not be read.
class TimeZoneInfoError : public NetError {
public:
    TimeZoneInfoError() : NetError("Failed attempting to retrieve time zone information.") {}
};

// "Sun, 6 Dec 2026 17:05:09 +0100": English day and month names, the day
// without a leading zero, the local time with colons and the local offset
// from UTC in force at that moment. Nothing comes from the locale.
// Throws TimeZoneInfoError.
std::string FormatDateHeader(std::time_t when);

// Local time minus UTC at the given moment, in minutes.
// Throws TimeZoneInfoError.
int LocalUtcOffset(std::time_t when);

// "+0100", "-0500", "+0000" for an offset in minutes.
std::string FormatUtcOffset(int offsetMinutes);

}  // namespace corvasse
