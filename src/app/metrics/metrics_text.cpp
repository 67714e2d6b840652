#include "app/metrics/metrics_text.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <functional>

namespace corvasse {

namespace {

using std::chrono::system_clock;

struct Family {
    const char* name;
    const char* type;
    const char* help;
};

void Header(std::string& out, const Family& family) {
    out.append("# HELP ").append(family.name).append(" ").append(family.help).append("\n");
    out.append("# TYPE ").append(family.name).append(" ").append(family.type).append("\n");
}

void Labels(std::string& out, const WatchMetrics& watch) {
    out.append("{watch=\"").append(LabelValue(watch.name));
    out.append("\",address=\"").append(LabelValue(watch.address)).append("\"");
}

void Integer(std::string& out, int64_t value) {
    char text[24];
    const auto end = std::to_chars(std::begin(text), std::end(text), value).ptr;
    out.append(text, end).append("\n");
}

// A count of microseconds or milliseconds (never negative: response times,
// and times after 1970) as a decimal number of whole units.
void Fraction(std::string& out, int64_t value, int64_t perUnit, int digits) {
    char text[48];
    const int length =
        std::snprintf(text, sizeof text, "%" PRId64 ".%0*" PRId64 "\n", value / perUnit, digits, value % perUnit);
    out.append(text, static_cast<size_t>(length));
}

// One sample of the family for each watch that has a value for it.
using Sample = std::function<bool(std::string& out, const WatchMetrics& watch)>;

void Gauges(std::string& out, std::span<const WatchMetrics> watches, const Family& family, const Sample& value) {
    Header(out, family);
    std::string line;
    for (const WatchMetrics& watch : watches) {
        line.assign(family.name);
        Labels(line, watch);
        line.append("} ");
        if (value(line, watch)) out += line;
    }
}

}  // namespace

std::string LabelValue(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\\': escaped += "\\\\"; break;
            case '"': escaped += "\\\""; break;
            case '\n': escaped += "\\n"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

std::string MetricsText(std::span<const WatchMetrics> watches, std::string_view version) {
    std::string out;
    // Some 1 KiB a watch.
    out.reserve(1024 + watches.size() * 1152);
    Gauges(out, watches,
           {"corvasse_up", "gauge", "Whether the watch's last result that counted was up (1) or down (0)."},
           [](std::string& line, const WatchMetrics& watch) {
               if (watch.up) Integer(line, *watch.up ? 1 : 0);
               return watch.up.has_value();
           });
    Gauges(out, watches,
           {"corvasse_unknown", "gauge",
            "Whether the watch's last result could not tell (1: this computer was offline), leaving corvasse_up as "
            "it was."},
           [](std::string& line, const WatchMetrics& watch) {
               Integer(line, watch.unknown ? 1 : 0);
               return true;
           });
    Gauges(out, watches, {"corvasse_response_seconds", "gauge", "The response time of the watch's last watch."},
           [](std::string& line, const WatchMetrics& watch) {
               if (watch.responseTime) Fraction(line, watch.responseTime->count(), 1000000, 6);
               return watch.responseTime.has_value();
           });
    Gauges(out, watches, {"corvasse_page_bytes", "gauge", "The size of the page of the watch's last watch."},
           [](std::string& line, const WatchMetrics& watch) {
               if (watch.pageBytes) Integer(line, *watch.pageBytes);
               return watch.pageBytes.has_value();
           });
    Header(out, {"corvasse_watches_total", "counter", "The watches that came to a result, by result."});
    for (const WatchMetrics& watch : watches) {
        const std::pair<const char*, int64_t> counts[] = {
            {"up", watch.upResults}, {"down", watch.downResults}, {"unknown", watch.unknownResults}};
        for (const auto& [result, count] : counts) {
            out += "corvasse_watches_total";
            Labels(out, watch);
            out.append(",result=\"").append(result).append("\"} ");
            Integer(out, count);
        }
    }
    Gauges(out, watches, {"corvasse_outage", "gauge", "Whether an outage goes on (1), in outage mode."},
           [](std::string& line, const WatchMetrics& watch) {
               Integer(line, watch.outage ? 1 : 0);
               return true;
           });
    Gauges(out, watches,
           {"corvasse_last_watch_timestamp_seconds", "gauge", "When the watch last came to a result, in Unix time."},
           [](std::string& line, const WatchMetrics& watch) {
               if (watch.lastWatch) Fraction(line, watch.lastWatch->time_since_epoch().count(), 1000, 3);
               return watch.lastWatch.has_value();
           });
    Gauges(out, watches,
           {"corvasse_certificate_expiry_timestamp_seconds", "gauge",
            "When the certificate the watch's last https watch was shown ends, in Unix time."},
           [](std::string& line, const WatchMetrics& watch) {
               if (watch.certificateExpiry) {
                   Integer(
                       line,
                       std::chrono::floor<std::chrono::seconds>(watch.certificateExpiry->time_since_epoch()).count());
               }
               return watch.certificateExpiry.has_value();
           });
    Header(out, {"corvasse_build_info", "gauge", "The version of Corvasse that serves these metrics."});
    out.append("corvasse_build_info{version=\"").append(LabelValue(version)).append("\"} 1\n");
    return out;
}

}  // namespace corvasse
