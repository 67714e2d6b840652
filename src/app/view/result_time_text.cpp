#include "app/view/result_time_text.h"

#include <chrono>

#include "common/date_time_text.h"
#include "common/duration_text.h"

namespace corvasse {

std::string TimestampText(ResultTime time) { return TimestampText(std::chrono::system_clock::to_time_t(time)); }

std::string DurationText(ResultTime from, ResultTime to) {
    return DurationText(std::chrono::floor<std::chrono::seconds>(to - from));
}

}  // namespace corvasse
