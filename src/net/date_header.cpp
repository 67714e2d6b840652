#include "net/date_header.h"

#include <cstdio>
#include <cstdlib>

namespace corvasse {

namespace {

constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr int kSecondsPerMinute = 60;

std::tm LocalTime(std::time_t when) {
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) throw TimeZoneInfoError();
    return local;
}

}  // namespace

std::string FormatDateHeader(std::time_t when) {
    std::tm local = LocalTime(when);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %d %s %d %02d:%02d:%02d %s", kDayNames[local.tm_wday], local.tm_mday,
                  kMonthNames[local.tm_mon], local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                  FormatUtcOffset(LocalUtcOffset(when)).c_str());
    return text;
}

int LocalUtcOffset(std::time_t when) { return static_cast<int>(LocalTime(when).tm_gmtoff / kSecondsPerMinute); }

std::string FormatUtcOffset(int offsetMinutes) {
    const int magnitude = std::abs(offsetMinutes);
    char text[16];
    std::snprintf(text, sizeof text, "%c%02d%02d", offsetMinutes >= 0 ? '+' : '-', magnitude / 60, magnitude % 60);
    return text;
}

}  // namespace corvasse
