#include "app/history_view/history_text.h"

#include <algorithm>
#include <cstdio>

#include "app/outage/outage_text.h"
#include "app/view/result_time_text.h"

namespace corvasse {

namespace {

// A recorded reason as one line of a table or a tip: a line break (CR LF,
// CR or LF) and every other control character become one blank, so that
// nothing a server sent can break the table or steer a terminal.
std::string OneLine(std::string_view text) {
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        line += byte < 0x20 || byte == 0x7F ? ' ' : text[i];
    }
    return line;
}

}  // namespace

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
    // An outage recorded while the clock went back may end before it began: it never runs backwards here.
    const ResultTime ended = std::max(outage.ended.value_or(now), outage.began);
    return {TimestampText(outage.began), outage.ended ? TimestampText(ended) : "ongoing",
            DurationText(outage.began, ended), std::to_string(outage.downResults), OneLine(outage.firstReason)};
}

std::string ResultTip(const WatchResult& result) {
    const std::string what = result.state == ResultState::Up ? UpLine(result) : "Down: " + OneLine(result.reason);
    return TimestampText(result.time) + "\n" + what;
}

}  // namespace corvasse
