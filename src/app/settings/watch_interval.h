#pragma once
// The watch interval: whole minutes ("Watch interval" field) from 0 (one
// watch, no repeat) up to the longest interval the timer holds, 2^31 - 1 ms.
// Beyond that the minutes times 60000 would wrap, and a long interval would
// turn into a short one (71583 minutes into 12.7 s). Or, set by hand as
// "intervalSeconds", whole seconds from 1 to a day, which replace the minutes.

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace corvasse {

inline constexpr int32_t kMaxWatchIntervalMinutes = 35791;
inline constexpr const char* kInvalidIntervalMessage =
    "Sorry, the watch interval must be a whole number of minutes from 0 to 35791.";
inline constexpr int32_t kMinWatchIntervalSeconds = 1;
inline constexpr int32_t kMaxWatchIntervalSeconds = 86400;
inline constexpr const char* kInvalidIntervalSecondsMessage =
    "Sorry, intervalSeconds in the settings file must be a whole number of seconds from 1 to 86400.";

// An interval that is a whole number but out of range; its message is
// kInvalidIntervalMessage or kInvalidIntervalSecondsMessage.
class WatchIntervalError : public std::runtime_error {
public:
    explicit WatchIntervalError(const char* message = kInvalidIntervalMessage) : std::runtime_error(message) {}
};

bool IsWatchIntervalInRange(int32_t minutes);

// The interval the texts ask for: secondsText when it is not empty, else
// minutesText. Throws WatchIntervalError for seconds that are not a whole
// number in range, ConversionError for minutes that are not a whole number
// and WatchIntervalError for minutes out of range.
std::chrono::milliseconds WatchInterval(const std::string& minutesText, const std::string& secondsText);

}  // namespace corvasse
