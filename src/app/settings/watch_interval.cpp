#include "app/settings/watch_interval.h"

#include <optional>

#include "common/byte_string.h"

namespace corvasse {

static_assert(std::chrono::minutes(kMaxWatchIntervalMinutes + 1) > std::chrono::milliseconds(INT32_MAX) &&
                  std::chrono::minutes(kMaxWatchIntervalMinutes) <= std::chrono::milliseconds(INT32_MAX),
              "the longest interval is the last whole minute the timer holds");

bool IsWatchIntervalInRange(int32_t minutes) { return minutes >= 0 && minutes <= kMaxWatchIntervalMinutes; }

std::chrono::milliseconds WatchInterval(const std::string& minutesText, const std::string& secondsText) {
    if (!secondsText.empty()) {
        // Set by hand, so any text that is not such a number is refused alike.
        const std::optional<int32_t> seconds = TryStrToInt(secondsText);
        if (!seconds || *seconds < kMinWatchIntervalSeconds || *seconds > kMaxWatchIntervalSeconds) {
            throw WatchIntervalError(kInvalidIntervalSecondsMessage);
        }
        return std::chrono::seconds(*seconds);
    }
    const int32_t minutes = StrToInt(minutesText);
    if (!IsWatchIntervalInRange(minutes)) throw WatchIntervalError();
    return std::chrono::minutes(minutes);
}

}  // namespace corvasse
