#include "common/date_time_text.h"

namespace corvasse {

std::string DateTimeText(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    const bool midnight = local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0;
    char buffer[128];
    size_t n = std::strftime(buffer, sizeof buffer, midnight ? "%x" : "%x %X", &local);
    return std::string(buffer, n);
}

std::string DateTimeTextNow() { return DateTimeText(std::time(nullptr)); }

}  // namespace corvasse
