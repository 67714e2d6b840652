// HttpClient::Get of a 1 MiB and a 64 MiB file from a loopback nginx, its body
// handed to a sink that counts it as the watch's check does, beside
// `curl -s -o /dev/null` of the same URL, with the peak memory of each.
//
// Peak memory is the maximum resident set of a fresh process doing one fetch:
// this program re-run as "--fetch-once URL", and curl; both read with wait4.
// Counters: peak_MiB, and peak_per_body (peak / body size).
//
// BM_WholeProcess times that whole fresh process per iteration, for http and
// https (nginx with a test certificate; both tools trust the test CA), for
// this program and for curl. Run with --benchmark_repetitions=N to get medians.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/byte_sink.h"
#include "http/http_client.h"
#include "process_cost.h"
#include "support/nginx_server.h"
#include "support/test_pki.h"

namespace {

using corvasse::HttpClient;

// Counts a body and keeps none of it.
struct CountedBody : corvasse::ByteSink {
    void Write(std::string_view bytes) override { size += static_cast<int64_t>(bytes.size()); }
    int64_t size = 0;
};

constexpr const char* kCurl = "/usr/bin/curl";
constexpr const char* kFetchOnceFlag = "--fetch-once";

std::unique_ptr<corvasse::test::NginxServer> server;
std::string selfPath;

std::string FileName(int64_t size) { return "/file-" + std::to_string(size) + ".bin"; }

void SetPeakCounters(benchmark::State& state, long peakKiB, int64_t size) {
    state.counters["peak_MiB"] = static_cast<double>(peakKiB) / 1024.0;
    state.counters["peak_per_body"] = static_cast<double>(peakKiB) * 1024.0 / static_cast<double>(size);
}

void BM_HttpClientGet(benchmark::State& state) {
    const int64_t size = state.range(0);
    const std::string url = server->Url(FileName(size));
    HttpClient client;
    client.ReadTimeout = 120000;
    client.HandleRedirects = true;
    for (auto _ : state) {
        CountedBody body;
        client.Get(url, body);
        if (body.size != size) state.SkipWithError("short body");
        // The watch closes the connection after every fetch.
        client.Disconnect();
    }
    state.SetBytesProcessed(state.iterations() * size);
    SetPeakCounters(state, corvasse::bench::RunProcess({selfPath, kFetchOnceFlag, url}).peakKiB, size);
}

void BM_CurlGet(benchmark::State& state) {
    const int64_t size = state.range(0);
    const std::string url = server->Url(FileName(size));
    long peakKiB = 0;
    for (auto _ : state) {
        peakKiB = std::max(peakKiB, corvasse::bench::RunProcess({kCurl, "-s", "-o", "/dev/null", url}).peakKiB);
    }
    state.SetBytesProcessed(state.iterations() * size);
    SetPeakCounters(state, peakKiB, size);
}

BENCHMARK(BM_HttpClientGet)->Arg(1 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlGet)->Arg(1 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

// The arguments of BM_WholeProcess.
constexpr int64_t kToolCorvasse = 0, kToolCurl = 1;
constexpr int64_t kSchemeHttp = 0, kSchemeHttps = 1;

// One fresh process per iteration, start to exit: args are the tool and the scheme.
void BM_WholeProcess(benchmark::State& state) {
    constexpr int64_t size = int64_t{64} << 20;
    const std::string url =
        state.range(1) == kSchemeHttps ? server->HttpsUrl(FileName(size)) : server->Url(FileName(size));
    const std::vector<std::string> argv =
        state.range(0) == kToolCorvasse
            ? std::vector<std::string>{selfPath, kFetchOnceFlag, url}
            : std::vector<std::string>{
                  kCurl, "-s", "-o", "/dev/null", "--cacert", corvasse::test::TestCertificates().caCertificate.string(),
                  url};
    long peakKiB = 0;
    for (auto _ : state) peakKiB = std::max(peakKiB, corvasse::bench::RunProcess(argv).peakKiB);
    state.SetLabel(std::string(state.range(0) == kToolCorvasse ? "corvasse " : "curl ") +
                   (state.range(1) == kSchemeHttps ? "https" : "http"));
    state.SetBytesProcessed(state.iterations() * size);
    SetPeakCounters(state, peakKiB, size);
}

BENCHMARK(BM_WholeProcess)
    ->ArgsProduct({{kToolCorvasse, kToolCurl}, {kSchemeHttp, kSchemeHttps}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One fetch in a fresh process, for the peak-memory and whole-process measurements.
int FetchOnce(const std::string& url) {
    HttpClient client;
    client.ReadTimeout = 120000;
    client.AllowHttps = true;
    CountedBody body;
    client.Get(url, body);
    client.Disconnect();
    return body.size == 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], kFetchOnceFlag) == 0) return FetchOnce(argv[2]);

    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return 1;
    selfPath.assign(path, static_cast<size_t>(length));

    // Also points SSL_CERT_FILE at the test CA, for the processes started here too.
    server = std::make_unique<corvasse::test::NginxServer>("", corvasse::test::TestCertificates().localhost);
    for (int64_t size : {int64_t{1} << 20, int64_t{64} << 20}) {
        std::string bytes(static_cast<size_t>(size), '\0');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
        server->WriteFile(FileName(size).substr(1), bytes);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    server.reset();
    return 0;
}
