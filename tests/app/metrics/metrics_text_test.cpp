// The watches' metrics as the Prometheus text format writes them, from the
// results the watches come to.

#include <gtest/gtest.h>

#include <regex>

#include "app/metrics/metrics_board.h"
#include "app/metrics/metrics_text.h"
#include "app/monitor/watch_set.h"

namespace corvasse {
namespace {

using std::chrono::microseconds;

const ResultTime kAt{std::chrono::milliseconds(1796811296054)};
const std::chrono::system_clock::time_point kExpiry{std::chrono::seconds(1798761600)};

WatchStatus Ended(LastResult last, std::optional<microseconds> response = {}, std::optional<int64_t> size = {}) {
    WatchStatus status;
    status.name = "shop";
    status.address = "http://shop.example/";
    status.last = last;
    status.lastTime = kAt;
    status.responseTime = response;
    status.size = size;
    if (size) status.certificateExpiry = kExpiry;
    return status;
}

std::string TextAfter(const std::vector<WatchStatus>& results) {
    MetricsBoard board;
    board.SetWatches({Ended(LastResult::Unknown)});
    for (const WatchStatus& result : results) board.WatchEnded(result);
    return board.Text();
}

TEST(MetricsTextTest, EachResultSetsTheSamplesOfItsWatch) {
    const std::string of = R"({watch="shop",address="http://shop.example/"} )";
    const auto total = [&](const char* result) {
        return R"(corvasse_watches_total{watch="shop",address="http://shop.example/",result=")" + std::string(result) +
               "\"} ";
    };
    const WatchStatus up = Ended(LastResult::Up, microseconds(12345), 2048);
    const WatchStatus down = Ended(LastResult::Down), offline = Ended(LastResult::Offline);
    const struct {
        const char* name;
        std::vector<WatchStatus> results;
        std::vector<std::string> present, absent;
    } cases[] = {
        {"no result yet",
         {},
         {"corvasse_unknown" + of + "0\n", "corvasse_outage" + of + "0\n", total("up") + "0\n"},
         {"corvasse_up{", "corvasse_response_seconds{", "corvasse_last_watch_timestamp_seconds{"}},
        {"up",
         {up},
         {"corvasse_up" + of + "1\n", "corvasse_response_seconds" + of + "0.012345\n",
          "corvasse_page_bytes" + of + "2048\n", "corvasse_last_watch_timestamp_seconds" + of + "1796811296.054\n",
          "corvasse_certificate_expiry_timestamp_seconds" + of + "1798761600\n", total("up") + "1\n"},
         {}},
        {"down after up: the last watch's values only",
         {up, down},
         {"corvasse_up" + of + "0\n", total("up") + "1\n", total("down") + "1\n"},
         {"corvasse_response_seconds{", "corvasse_page_bytes{", "corvasse_certificate_expiry_timestamp_seconds{"}},
        {"offline leaves up as it was",
         {down, offline},
         {"corvasse_up" + of + "0\n", "corvasse_unknown" + of + "1\n", total("unknown") + "1\n"},
         {}},
        {"offline first: up still absent", {offline}, {"corvasse_unknown" + of + "1\n"}, {"corvasse_up{"}},
        {"up after offline", {offline, up}, {"corvasse_up" + of + "1\n", "corvasse_unknown" + of + "0\n"}, {}},
    };
    for (const auto& c : cases) {
        const std::string text = TextAfter(c.results);
        for (const std::string& line : c.present)
            EXPECT_NE(text.find("\n" + line), std::string::npos) << c.name << ": " << line << text;
        for (const std::string& part : c.absent)
            EXPECT_EQ(text.find("\n" + part), std::string::npos) << c.name << ": " << part << text;
        // Every sample follows its family's HELP and TYPE lines.
        std::smatch sample;
        for (auto at = text.cbegin();
             std::regex_search(at, text.cend(), sample, std::regex("\n(corvasse_[a-z_]+)[{ ]"));
             at = sample[0].second) {
            const size_t where = static_cast<size_t>(sample.position(0) + (at - text.cbegin()));
            for (const char* kind : {"# HELP ", "# TYPE "})
                EXPECT_LT(text.find(kind + sample.str(1) + " "), where) << c.name << ": " << sample.str(1);
        }
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
    WatchStatus shop = Ended(LastResult::Up), blog = Ended(LastResult::Down);
    blog.name = "blog";
    board.SetWatches({shop, blog});
    board.WatchEnded(shop);
    board.SetOutage("blog", true);
    board.WatchEnded(blog);
    // A new address is another series; the outage stays the watch's.
    blog.address = "http://blog.example/";
    board.WatchEnded(blog);
    board.SetWatches({blog});
    const std::string text = board.Text();
    EXPECT_EQ(text.find("watch=\"shop\""), std::string::npos) << text;
    EXPECT_EQ(text.find("http://shop.example/"), std::string::npos) << text;
    EXPECT_NE(text.find(R"(corvasse_watches_total{watch="blog",address="http://blog.example/",result="down"} 1)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(R"(corvasse_outage{watch="blog",address="http://blog.example/"} 1)"), std::string::npos)
        << text;
}

}  // namespace
}  // namespace corvasse
