// One echo to 127.0.0.1 through Pinger beside iputils ping.
//
// Prints the medians of 100 pings each: Pinger's wall time per PingHost call
// (name conversion, socket set-up, send, wait, close) and its ResponseTime,
// beside the per-echo round-trip times that "ping -c 100 -i 0.01" reports.
// Then runs the Google Benchmark loops. Needs root or the ping group range.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ping/pinger.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPings = 100;

double Median(std::vector<double> values) {
    if (values.empty()) {
        return -1;
    }
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void ComparePing() {
    corvasse::Pinger pinger;
    std::vector<double> wallMs;
    std::vector<double> responseMs;
    const auto start = Clock::now();
    for (int i = 0; i < kPings; ++i) {
        const auto before = Clock::now();
        pinger.PingHost("127.0.0.1");
        wallMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - before).count());
        responseMs.push_back(pinger.ResponseTime());
    }
    const double ourTotalMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

    std::vector<double> pingMs;
    const auto pingStart = Clock::now();
    FILE* ping = popen("ping -n -c 100 -i 0.01 127.0.0.1 2>&1", "r");
    char line[512];
    while (ping != nullptr && std::fgets(line, sizeof line, ping) != nullptr) {
        if (const char* time = std::strstr(line, "time=")) {
            pingMs.push_back(std::atof(time + 5));
        }
    }
    if (ping != nullptr) {
        pclose(ping);
    }
    const double pingTotalMs = std::chrono::duration<double, std::milli>(Clock::now() - pingStart).count();

    std::printf(
        "Pinger:        %d pings, median wall time per PingHost %.3f ms, median ResponseTime %.0f ms, "
        "total %.1f ms\n",
        kPings, Median(wallMs), Median(responseMs), ourTotalMs);
    std::printf("iputils ping:  %zu replies, median time= %.3f ms, total %.1f ms (with -i 0.01 pauses)\n",
                pingMs.size(), Median(pingMs), pingTotalMs);
    std::printf("overhead per echo beyond ping's round trip: %.3f ms\n\n", Median(wallMs) - Median(pingMs));
}

void BM_PingHostLoopback(benchmark::State& state) {
    corvasse::Pinger pinger;
    for (auto _ : state) {
        pinger.PingHost("127.0.0.1");
    }
}
BENCHMARK(BM_PingHostLoopback)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    ComparePing();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
