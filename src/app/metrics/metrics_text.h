#pragma once
// The watches' metrics in the Prometheus text exposition format, version
// 0.0.4: each family with its "# HELP" and "# TYPE" lines, one sample per
// watch labelled with its name and address, and the program's build_info.
//
//     # HELP corvasse_up Whether the last result that counted was up (1) or down (0).
//     # TYPE corvasse_up gauge
//     corvasse_up{watch="shop",address="http://shop.example/"} 1

#include <span>
#include <string>
#include <string_view>

#include "app/metrics/watch_metrics.h"

namespace corvasse {

// The Content-Type of the text.
inline constexpr std::string_view kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

// The text for the watches, in their order.
std::string MetricsText(std::span<const WatchMetrics> watches, std::string_view version);

// A label's value as the format writes it between its quotes: a backslash,
// a double quote and a line feed escaped with a backslash.
std::string LabelValue(std::string_view text);

}  // namespace corvasse
