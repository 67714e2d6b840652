#include "common/duration_text.h"

#include <algorithm>

namespace corvasse {

namespace {

// "2 h 13 min", or "2 h" when the smaller unit counts zero.
std::string TwoUnits(long long larger, const char* largerUnit, long long smaller, const char* smallerUnit) {
    std::string text = std::to_string(larger) + " " + largerUnit;
    if (smaller != 0) text += " " + std::to_string(smaller) + " " + smallerUnit;
    return text;
}

}  // namespace

std::string DurationText(std::chrono::seconds duration) {
    using std::chrono::days, std::chrono::hours, std::chrono::minutes;
    if (duration < minutes(1)) return std::to_string(std::max<long long>(duration.count(), 0)) + " s";
    if (duration < hours(1)) return std::to_string(duration / minutes(1)) + " min";
    if (duration < days(1)) return TwoUnits(duration / hours(1), "h", duration % hours(1) / minutes(1), "min");
    return TwoUnits(duration / days(1), "d", duration % days(1) / hours(1), "h");
}

}  // namespace corvasse
