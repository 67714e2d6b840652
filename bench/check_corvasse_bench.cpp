// check_corvasse as a monitoring engine runs it: whole processes, each beside
// the tool a user would pick instead, against the same loopback nginx, taking
// turns so that a load that changes meanwhile weighs on both alike.
//
// BM_SmallPage: a small page checked for a text, its watch in a settings
// file, beside `check_http -H 127.0.0.1 -p PORT -u /page.html -s TEXT` of
// Debian's monitoring-plugins-basic (what an engine runs today); over https
// beside `check_http -S`, which does not verify the certificate;
// plain_recorded also records the result in a history database (--history,
// as --alert does). https_test_ca
// trusts the test CA alone (SSL_CERT_FILE); https_system_store trusts the
// system's store as a real check does (SSL_CERT_FILE unset; SSL_CERT_DIR
// names the system's hashed folder, then one holding the test CA, so the
// CA's lookup misses in the system's first). Counters: the
// median wall time of single runs of each (corvasse_ms, check_http_ms), their
// ratio, the median CPU time of each process (user and system).
//
// BM_LargePage: a 64 MiB page with the text at its end, `check_corvasse -u
// URL -s TEXT` beside `curl -s -o /dev/null URL`, plain and https (both
// trust the test CA). Counters: the median wall time and peak resident
// memory of each, and their ratios.
//
// BM_HeadlessIdle: the idle cost of `corvasse --headless` between two ticks:
// CPU time over 10 s after its first watch (cpu_ms) and its resident memory
// (rss_MiB).
//
// Each benchmark also reports the machine's load (the 1-minute load average
// when it ended, load1).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <openssl/x509.h>
#include <unistd.h>

#include "app/settings/settings_store.h"
#include "bench_stats.h"
#include "process_cost.h"
#include "support/child_process.h"
#include "support/nginx_server.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"
#include "support/test_pki.h"

namespace {

using corvasse::bench::LoadAverage;
using corvasse::bench::Median;
using corvasse::bench::ProcessCost;
using corvasse::test::ChildProcess;
using corvasse::test::ScopedEnvironment;

// How the small page is checked: over http, over http recording the result
// in a history database (--history, as --alert also does), or over https.
enum class Transport { Plain, PlainRecorded, HttpsTestCa, HttpsSystemStore };

constexpr const char* kCheckHttp = "/usr/lib/nagios/plugins/check_http";
constexpr const char* kCurl = "/usr/bin/curl";
constexpr auto kIdleSpan = std::chrono::seconds(10);
constexpr size_t kLargePageBytes = size_t{64} << 20;
constexpr const char* kText = "Welcome";

std::unique_ptr<corvasse::test::NginxServer> server;
std::unique_ptr<corvasse::test::TempDir> dir;
std::filesystem::path plainSettings;
std::filesystem::path httpsSettings;

// The medians of two commands run in turns, one pair per iteration.
struct Pair {
    std::vector<double> wall[2], cpu[2], peakMiB[2];

    // One run of each per iteration, the first of the two going first every
    // other time.
    void RunBoth(benchmark::State& state, const std::vector<std::string> (&commands)[2]) {
        bool firstFirst = true;
        for (auto _ : state) {
            for (int turn = 0; turn < 2; ++turn) {
                const int which = (turn == 0) == firstFirst ? 0 : 1;
                const ProcessCost cost = corvasse::bench::RunProcess(commands[which]);
                wall[which].push_back(cost.wallMs);
                cpu[which].push_back(cost.cpuMs);
                peakMiB[which].push_back(static_cast<double>(cost.peakKiB) / 1024.0);
            }
            firstFirst = !firstFirst;
        }
    }
};

std::string Url(bool https, const std::string& path) { return https ? server->HttpsUrl(path) : server->Url(path); }

void BM_SmallPage(benchmark::State& state, Transport transport) {
    const bool https = transport == Transport::HttpsTestCa || transport == Transport::HttpsSystemStore;
    const bool systemStore = transport == Transport::HttpsSystemStore;
    // The system's store (SSL_CERT_FILE unset) and the folder that holds
    // the test CA.
    std::optional<ScopedEnvironment> file, folder;
    if (systemStore) {
        file.emplace("SSL_CERT_FILE", std::nullopt);
        folder.emplace("SSL_CERT_DIR", std::string(X509_get_default_cert_dir()) + ":" +
                                           corvasse::test::TestCertificates().hashedCaFolder.string());
    }
    std::vector<std::string> checkHttp = {
        kCheckHttp, "-H",         "127.0.0.1", "-p", std::to_string(https ? server->TlsPort() : server->Port()),
        "-u",       "/page.html", "-s",        kText};
    if (https) checkHttp.push_back("-S");
    std::vector<std::string> corvasse = {CHECK_CORVASSE_BINARY, "--settings",
                                         (https ? httpsSettings : plainSettings).string()};
    if (transport == Transport::PlainRecorded) {
        corvasse.insert(corvasse.end(), {"--history", (dir->Path() / "history.sqlite3").string()});
    }
    const std::vector<std::string> commands[2] = {corvasse, checkHttp};
    Pair pair;
    pair.RunBoth(state, commands);
    state.counters["corvasse_ms"] = Median(pair.wall[0]);
    state.counters["check_http_ms"] = Median(pair.wall[1]);
    state.counters["ratio"] = Median(pair.wall[0]) / Median(pair.wall[1]);
    state.counters["corvasse_cpu_ms"] = Median(pair.cpu[0]);
    state.counters["check_http_cpu_ms"] = Median(pair.cpu[1]);
    state.counters["load1"] = LoadAverage();
}

void BM_LargePage(benchmark::State& state) {
    const bool https = state.range(0) != 0;
    const std::string url = Url(https, "/large.html");
    std::vector<std::string> curl = {kCurl, "-s", "-o", "/dev/null", url};
    if (https) curl.insert(curl.end() - 1, {"--cacert", corvasse::test::TestCertificates().caCertificate.string()});
    const std::vector<std::string> commands[2] = {{CHECK_CORVASSE_BINARY, "-u", url, "-s", kText}, curl};
    Pair pair;
    pair.RunBoth(state, commands);
    state.counters["corvasse_ms"] = Median(pair.wall[0]);
    state.counters["curl_ms"] = Median(pair.wall[1]);
    state.counters["wall_ratio"] = Median(pair.wall[0]) / Median(pair.wall[1]);
    state.counters["corvasse_peak_MiB"] = Median(pair.peakMiB[0]);
    state.counters["curl_peak_MiB"] = Median(pair.peakMiB[1]);
    state.counters["peak_ratio"] = Median(pair.peakMiB[0]) / Median(pair.peakMiB[1]);
    state.counters["load1"] = LoadAverage();
}

// utime + stime of a process, in clock ticks.
long CpuTicks(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command name, which ends with ")".
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stol(field);
        if (i == 15) stime = std::stol(field);
    }
    return utime + stime;
}

double ResidentMiB(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

void BM_HeadlessIdle(benchmark::State& state) {
    for (auto _ : state) {
        ChildProcess service({CORVASSE_BINARY, "--headless", "--settings", plainSettings.string()}, dir->Path(),
                             corvasse::test::kDisplayVariables);
        while (service.Output().find("HTTP Disconnected...") == std::string::npos) {
            if (!service.Running()) throw std::runtime_error("the service ended: " + service.Errors());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const long before = CpuTicks(service.Pid());
        std::this_thread::sleep_for(kIdleSpan);
        const long ticks = CpuTicks(service.Pid()) - before;
        state.counters["cpu_ms"] = 1000.0 * static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
        state.counters["rss_MiB"] = ResidentMiB(service.Pid());
    }
    state.counters["load1"] = LoadAverage();
}

BENCHMARK_CAPTURE(BM_SmallPage, plain, Transport::Plain)->Iterations(300)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_SmallPage, plain_recorded, Transport::PlainRecorded)
    ->Iterations(300)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_SmallPage, https_test_ca, Transport::HttpsTestCa)
    ->Iterations(300)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_SmallPage, https_system_store, Transport::HttpsSystemStore)
    ->Iterations(300)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_LargePage)->ArgName("https")->Arg(0)->Arg(1)->Iterations(21)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HeadlessIdle)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

std::filesystem::path WriteSettings(const std::string& name, const std::string& url, bool https) {
    const std::filesystem::path file = dir->Path() / name;
    corvasse::SettingsStore store = corvasse::SettingsStore::AtFile(file);
    store.WriteSetting("Settings", "url2watch", url);
    store.WriteSetting("Settings", "txtLookFor", kText);
    if (https) store.WriteSetting("Settings", "allowHttps", "y");
    return file;
}

// A folder holding the certificate as "<subject hash>.0".
}  // namespace

int main(int argc, char** argv) {
    // Before any process starts: both tools trust the test CA through SSL_CERT_FILE.
    const corvasse::test::TestPki& pki = corvasse::test::TestCertificates();
    server = std::make_unique<corvasse::test::NginxServer>("", pki.localhost);
    server->WriteFile("page.html", "<html><body><p>Welcome to a small page.</p></body></html>\n");
    std::string large(kLargePageBytes, '.');
    large.replace(large.size() - 16, 7, kText);
    server->WriteFile("large.html", large);
    large.clear();
    large.shrink_to_fit();
    dir = std::make_unique<corvasse::test::TempDir>();
    plainSettings = WriteSettings("watch.conf", server->Url("/page.html"), false);
    httpsSettings = WriteSettings("watch-https.conf", server->HttpsUrl("/page.html"), true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    server.reset();
    return 0;
}
