// check_corvasse, a whole process checking a small page for a text, beside
// `check_http -H 127.0.0.1 -p PORT -u /page.html -s TEXT` of Debian's
// monitoring-plugins-basic (what a monitoring engine runs today), both
// against the same loopback nginx; once as it is, and once recording its
// result in a history database (--history), as --alert also does. Counters:
// the median wall time of single runs of each (corvasse_ms, check_http_ms),
// their ratio, and the median CPU time of each process (user and system).
//
// Also the idle cost of `corvasse --headless` between two ticks: CPU time
// over 10 s after its first watch (cpu_ms) and its resident memory (rss_MiB).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/settings_store.h"
#include "process_cost.h"
#include "support/child_process.h"
#include "support/nginx_server.h"
#include "support/temp_dir.h"

namespace {

using corvasse::test::ChildProcess;

constexpr const char* kCheckHttp = "/usr/lib/nagios/plugins/check_http";
constexpr auto kIdleSpan = std::chrono::seconds(10);

std::unique_ptr<corvasse::test::NginxServer> server;
std::unique_ptr<corvasse::test::TempDir> dir;
std::filesystem::path settings;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The two plugins take turns, so that a load that changes meanwhile weighs
// on both alike.
void BM_CheckCorvasseBesideCheckHttp(benchmark::State& state) {
    std::vector<std::string> corvasse = {CHECK_CORVASSE_BINARY, "--settings", settings.string()};
    if (state.range(0) == 1) corvasse.insert(corvasse.end(), {"--history", (dir->Path() / "history.sqlite3").string()});
    const std::vector<std::string> checkHttp = {
        kCheckHttp, "-H", "127.0.0.1", "-p", std::to_string(server->Port()), "-u", "/page.html", "-s", "Welcome"};
    std::vector<double> corvasseWall, corvasseCpu, checkHttpWall, checkHttpCpu;
    bool corvasseFirst = true;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool runCorvasse = (turn == 0) == corvasseFirst;
            const corvasse::bench::ProcessCost cost = corvasse::bench::RunProcess(runCorvasse ? corvasse : checkHttp);
            (runCorvasse ? corvasseWall : checkHttpWall).push_back(cost.wallMs);
            (runCorvasse ? corvasseCpu : checkHttpCpu).push_back(cost.cpuMs);
        }
        corvasseFirst = !corvasseFirst;
    }
    state.counters["corvasse_ms"] = Median(corvasseWall);
    state.counters["check_http_ms"] = Median(checkHttpWall);
    state.counters["ratio"] = Median(corvasseWall) / Median(checkHttpWall);
    state.counters["corvasse_cpu_ms"] = Median(corvasseCpu);
    state.counters["check_http_cpu_ms"] = Median(checkHttpCpu);
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
        ChildProcess service({CORVASSE_BINARY, "--headless", "--settings", settings.string()}, dir->Path(),
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
}

BENCHMARK(BM_CheckCorvasseBesideCheckHttp)
    ->ArgName("history")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(500)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_HeadlessIdle)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    server = std::make_unique<corvasse::test::NginxServer>();
    server->WriteFile("page.html", "<html><body><p>Welcome to a small page.</p></body></html>\n");
    dir = std::make_unique<corvasse::test::TempDir>();
    settings = dir->Path() / "watch.conf";
    corvasse::SettingsStore store = corvasse::SettingsStore::AtFile(settings);
    store.WriteSetting("Settings", "url2watch", server->Url("/page.html"));
    store.WriteSetting("Settings", "txtLookFor", "Welcome");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    server.reset();
    return 0;
}
