#pragma once
// The "Watch interval" field: whole minutes from 0 (one watch, no repeat) up
// to the longest interval the timer holds, 2^31 - 1 ms. Beyond that the
// minutes times 60000 would wrap, and a long interval would turn into a
// short one (71583 minutes into 12.7 s).

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace corvasse {

inline constexpr int32_t kMaxWatchIntervalMinutes = 35791;
inline constexpr const char* kInvalidIntervalMessage =
    "Sorry, the watch interval must be a whole number of minutes from 0 to 35791.";

// An interval that is a whole number but out of range; its message is
// kInvalidIntervalMessage.
class WatchIntervalError : public std::runtime_error {
public:
    WatchIntervalError() : std::runtime_error(kInvalidIntervalMessage) {}
};

bool IsWatchIntervalInRange(int32_t minutes);

// The interval the field's text asks for. Throws ConversionError for a text
// that is not a whole number and WatchIntervalError for one out of range.
std::chrono::milliseconds WatchInterval(const std::string& minutesText);

}  // namespace corvasse
