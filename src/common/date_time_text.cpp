#include "common/date_time_text.h"

namespace corvasse {

namespace {

std::string LocalText(std::time_t when, const char* format) {
    std::tm local{};
    localtime_r(&when, &local);
    char buffer[128];
    const size_t n = std::strftime(buffer, sizeof buffer, format, &local);
    return std::string(buffer, n);
}

}  // namespace

std::string DateTimeText(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    const bool midnight = local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0;
    return LocalText(when, midnight ? "%x" : "%x %X");
}

std::string DateTimeTextNow() { return DateTimeText(std::time(nullptr)); }

std::string TimestampText(std::time_t when) { return LocalText(when, "%Y-%m-%d %H:%M:%S"); }

std::string TimeOfDayText(std::time_t when) { return LocalText(when, "%H:%M:%S"); }

std::string HourMinuteText(std::time_t when) { return LocalText(when, "%H:%M"); }

}  // namespace corvasse
