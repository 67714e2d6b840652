// What a scrape of the service's metrics costs, wall time, with N watches
// that each came to an up result over https (every metric has a sample):
// - BM_MetricsText/N: the text put together from the values the watches left.
// - BM_Scrape/N: GET /metrics from the listener on a loopback port, answer
//   read whole, as a Prometheus on the same computer scrapes it.

#include <benchmark/benchmark.h>

#include "app/metrics/metrics_board.h"
#include "app/metrics/metrics_listener.h"
#include "app/monitor/watch_set.h"
#include "support/http_exchange.h"

namespace {

using namespace corvasse;

// A board of N watches, each up once.
void Fill(MetricsBoard& board, int watches) {
    std::vector<WatchStatus> statuses(static_cast<size_t>(watches));
    for (int i = 0; i < watches; ++i) {
        WatchStatus& status = statuses[static_cast<size_t>(i)];
        status.name = "watch" + std::to_string(i);
        status.address = "https://shop" + std::to_string(i) + ".example/catalogue/index.html";
        status.last = LastResult::Up;
        status.lastTime = ResultTimeNow();
        status.responseTime = std::chrono::microseconds(12345 + i);
        status.size = 20480 + i;
        status.certificateExpiry = std::chrono::system_clock::now() + std::chrono::days(60);
    }
    board.SetWatches(statuses);
    for (const WatchStatus& status : statuses) board.WatchEnded(status);
}

void BM_MetricsText(benchmark::State& state) {
    MetricsBoard board;
    Fill(board, static_cast<int>(state.range(0)));
    size_t bytes = 0;
    for (auto _ : state) bytes = board.Text().size();
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_MetricsText)->Arg(10)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_Scrape(benchmark::State& state) {
    MetricsBoard board;
    Fill(board, static_cast<int>(state.range(0)));
    const MetricsListener listener({"127.0.0.1", 0}, [&board] { return board.Text(); });
    size_t bytes = 0;
    for (auto _ : state)
        bytes = test::HttpExchange("127.0.0.1", listener.Port(), "GET /metrics HTTP/1.1\r\n\r\n").size();
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Scrape)->Arg(10)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
