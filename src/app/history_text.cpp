#include "app/history_text.h"

#include <cstdio>

#include "app/outage_text.h"
#include "app/result_time_text.h"
#include "common/byte_string.h"

namespace corvasse {

std::string UptimeText(const ResultCount& count) {
    const int64_t all = count.up + count.down;
    if (all == 0) return "no data";
    // In hundredths of a percent; whole numbers, so that nothing rounds up.
    const int64_t hundredths = count.up * 10000 / all;
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%02lld %%", static_cast<long long>(hundredths / 100),
                  static_cast<long long>(hundredths % 100));
    return text;
}

OutageRow OutageRowOf(const Outage& outage, ResultTime now) {
    return {TimestampText(outage.began), outage.ended ? TimestampText(*outage.ended) : "ongoing",
            DurationText(outage.began, outage.ended.value_or(now)), std::to_string(outage.downResults),
            OneLine(outage.firstReason)};
}

std::string ResultTip(const WatchResult& result) {
    const std::string what = result.state == ResultState::Up ? UpLine(result) : "Down: " + OneLine(result.reason);
    return TimestampText(result.time) + "\n" + what;
}

}  // namespace corvasse
