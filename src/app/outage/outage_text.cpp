#include "app/outage/outage_text.h"

#include <chrono>

#include "app/view/result_time_text.h"

namespace corvasse {

namespace {

// "2043 bytes in 12 ms", "12 ms", "2043 bytes" or nothing.
std::string Details(const WatchResult& result) {
    std::string details;
    if (result.size) details = std::to_string(*result.size) + " bytes";
    if (result.responseTime) {
        if (!details.empty()) details += " in ";
        details += std::to_string(std::chrono::floor<std::chrono::milliseconds>(*result.responseTime).count()) + " ms";
    }
    return details;
}

std::string WithDetails(std::string head, const WatchResult& result) {
    const std::string details = Details(result);
    if (!details.empty()) head += ": " + details;
    return head;
}

std::string Count(int64_t count, int of) { return " (" + std::to_string(count) + " of " + std::to_string(of) + ")"; }

}  // namespace

std::string UpLine(const WatchResult& result) { return WithDetails("Up", result); }

std::string UpInOutageLine(const WatchResult& result, int64_t upsInRow, int recoverAfter) {
    return WithDetails("Up" + Count(upsInRow, recoverAfter), result) + "; not back up yet";
}

std::string BackUpLine(const WatchResult& result, const Outage& outage) {
    return UpLine(result) + "; back up after " + DurationText(outage.began, outage.ended.value_or(result.time));
}

std::string DownCountLine(const WatchResult& result, int64_t downsInRow, int alertAfter) {
    std::string line = "Down" + Count(downsInRow, alertAfter) + ": " + result.reason;
    if (downsInRow < alertAfter) {
        // "refused; no alert yet", not "refused.; no alert yet"; an ellipsis stays.
        if (line.ends_with('.') && !line.ends_with("..")) line.pop_back();
        line += "; no alert yet";
    }
    return line;
}

std::string DownSinceLine(const Outage& outage, ResultTime now) {
    return "Down since " + TimestampText(outage.began) + " (" + DurationText(outage.began, now) + ")";
}

std::string RecoveryReport(const Outage& outage) {
    const ResultTime ended = outage.ended.value_or(outage.began);
    std::string pauses;
    for (const TimeRange& pause : outage.pauses) {
        pauses += "Watching paused from " + TimestampText(pause.from) + " to " + TimestampText(pause.to) + "\n";
    }
    return "Back up after " + DurationText(outage.began, ended) + "\n" +                        //
           "Down from " + TimestampText(outage.began) + " to " + TimestampText(ended) + "\n" +  //
           pauses +                                                                             //
           "Failed watches: " + std::to_string(outage.downResults) + "\n" +                     //
           "First failure: " + outage.firstReason + "\n" +                                      //
           "Last failure: " + outage.lastReason + "\n";
}

}  // namespace corvasse
