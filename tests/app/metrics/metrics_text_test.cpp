// The watches' metrics as the Prometheus text format writes them, from the
// results the watches come to.

#include <gtest/gtest.h>

#include <sstream>

#include "app/metrics/metrics_board.h"
#include "app/metrics/metrics_text.h"
#include "app/monitor/watch_set.h"
#include "core/watch_outcome.h"

namespace corvasse {
namespace {

using std::chrono::microseconds;

const ResultTime kAt{std::chrono::milliseconds(1796811296054)};
const std::chrono::system_clock::time_point kExpiry{std::chrono::seconds(1798761600)};

// A watch that came to a result; one with a page came over https, and was
// shown two certificates.
WatchStatus Ended(ResultState state, std::optional<microseconds> response = {}, std::optional<int64_t> size = {}) {
    WatchOutcome outcome;
    outcome.result = {kAt, state, response, size, ""};
    if (size)
        outcome.certificates = {{"shop.example", kExpiry + std::chrono::days(1), "CN=CA", "1"},
                                {"www.shop.example", kExpiry, "CN=CA", "2"}};
    WatchStatus status{"shop", {}, "http://shop.example/", true, LastResult::Unknown, {}, {}, {}, {}, {}, {}};
    TakeResult(status, outcome);
    return status;
}

std::string TextAfter(const std::vector<WatchStatus>& results) {
    MetricsBoard board;
    board.SetWatches({Ended(ResultState::Up)});
    for (const WatchStatus& result : results) board.WatchEnded(result);
    return board.Text();
}

// The value of the watch's sample of the metric ("up" for the count of up
// results); "-" when there is none.
std::string Sample(const std::string& text, const std::string& metric) {
    const bool count = metric == "up" || metric == "down" || metric == "unknown";
    const std::string series = "\n" + (count ? "corvasse_watches_total" : metric) +
                               R"({watch="shop",address="http://shop.example/")" +
                               (count ? ",result=\"" + metric + "\"} " : "} ");
    const size_t at = text.find(series);
    return at == std::string::npos ? "-"
                                   : text.substr(at + series.size(), text.find('\n', at + 1) - at - series.size());
}

TEST(MetricsTextTest, EachResultSetsTheSamplesOfItsWatch) {
    const WatchStatus up = Ended(ResultState::Up, microseconds(12345), 2048);
    const WatchStatus down = Ended(ResultState::Down), offline = Ended(ResultState::Unknown);
    std::vector<std::string> metrics;
    std::istringstream names(
        "corvasse_up corvasse_unknown corvasse_response_seconds corvasse_page_bytes "
        "corvasse_last_watch_timestamp_seconds "
        "corvasse_certificate_expiry_timestamp_seconds corvasse_outage up down unknown");
    for (std::string name; names >> name;) metrics.push_back(name);
    const std::pair<std::vector<WatchStatus>, std::vector<std::string>> cases[] = {
        {{}, {"-", "0", "-", "-", "-", "-", "0", "0", "0", "0"}},
        {{up}, {"1", "0", "0.012345", "2048", "1796811296.054", "1798761600", "0", "1", "0", "0"}},
        // The last watch's values alone.
        {{up, down}, {"0", "0", "-", "-", "1796811296.054", "-", "0", "1", "1", "0"}},
        // Offline leaves up as it was, absent too.
        {{down, offline}, {"0", "1", "-", "-", "1796811296.054", "-", "0", "0", "1", "1"}},
        {{offline}, {"-", "1", "-", "-", "1796811296.054", "-", "0", "0", "0", "1"}},
        {{offline, up}, {"1", "0", "0.012345", "2048", "1796811296.054", "1798761600", "0", "1", "0", "1"}},
    };
    for (const auto& [results, values] : cases) {
        const std::string text = TextAfter(results);
        for (size_t i = 0; i < metrics.size(); ++i)
            EXPECT_EQ(Sample(text, metrics[i]), values[i]) << metrics[i] << " after " << results.size() << "\n" << text;
        EXPECT_TRUE(text.ends_with("\ncorvasse_build_info{version=\"2.00\"} 1\n")) << text;
    }
}

TEST(MetricsTextTest, LabelValuesEscapeBackslashQuoteAndLineFeed) {
    const std::pair<std::string, std::string> cases[] = {{"http://shop.example/", "http://shop.example/"},
                                                         {R"(a"b)", R"(a\"b)"},
                                                         {R"(C:\x)", R"(C:\\x)"},
                                                         {"a\nb", R"(a\nb)"},
                                                         {"\\\"\n", R"(\\\"\n)"},
                                                         {"Grüße\t", "Grüße\t"}};
    for (const auto& [value, escaped] : cases) EXPECT_EQ(LabelValue(value), escaped) << value;
}

TEST(MetricsTextTest, TheBoardFollowsTheWatchesItRuns) {
    MetricsBoard board;
    WatchStatus shop = Ended(ResultState::Up), blog = Ended(ResultState::Down);
    blog.name = "blog";
    board.SetWatches({shop, blog});
    board.SetOutage("blog", true);
    board.WatchEnded(blog);
    // A new address is another series; the outage stays the watch's. A watch gone is dropped.
    blog.address = "http://blog.example/";
    board.WatchEnded(blog);
    board.SetWatches({blog});
    const std::string text = board.Text(), of = R"({watch="blog",address="http://blog.example/")";
    EXPECT_EQ(text.find("shop"), std::string::npos) << text;
    EXPECT_NE(text.find("corvasse_watches_total" + of + R"(,result="down"} 1)"), std::string::npos) << text;
    EXPECT_NE(text.find("corvasse_outage" + of + "} 1"), std::string::npos) << text;
}

}  // namespace
}  // namespace corvasse
