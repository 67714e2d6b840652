// Many watches in one process: `corvasse --headless --all` over a folder of
// watch files, beside Prometheus's blackbox exporter probing the same pages
// once a minute each, as a user who watches many sites would run either.
//
// BM_ManyWatches: N watch files (CORVASSE_BENCH_WATCHES, 1,000 unless set),
// each a web watch of a loopback nginx page every 60 s that looks for a
// text; every tenth points at a server that accepts and never answers. The
// service runs for CORVASSE_BENCH_SECONDS (300 unless set). Counters: how
// late each watch of an answering page ran, against its first watch and then
// one every 60 s (late_p99_s, late_max_s), how long after the start the last
// first watch ran (first_max_s), the watches seen against those due from
// each one's first watch until 2 s before the end (runs, runs_due), the peak resident
// memory (rss_MiB), the most threads seen (threads) and the CPU time as a
// share of one core (cpu_pct).
//
// BM_BlackboxExporter: Debian's prometheus-blackbox-exporter, asked by this
// program to probe each of the same targets once a minute for the same time,
// spread over the minute as Prometheus spreads its scrapes, with the same
// text to find and the watch's 120 s time-out: its process's rss_MiB,
// threads and cpu_pct (this program's own requests not counted).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/child_process.h"
#include "support/loopback.h"
#include "support/nginx_server.h"
#include "support/temp_dir.h"

namespace {

using corvasse::test::ChildProcess;
using Clock = std::chrono::system_clock;

constexpr const char* kBlackboxExporter = "/usr/bin/prometheus-blackbox-exporter";
constexpr const char* kSqlite = "/usr/bin/sqlite3";
constexpr const char* kText = "Welcome";
constexpr int kIntervalSeconds = 60;
constexpr int kHungEvery = 10;
constexpr int64_t kLatenessAllowedMs = 2000;

int EnvironmentNumber(const char* name, int otherwise) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::atoi(value) : otherwise;
}

const int kWatches = EnvironmentNumber("CORVASSE_BENCH_WATCHES", 1000);
const auto kRunTime = std::chrono::seconds(EnvironmentNumber("CORVASSE_BENCH_SECONDS", 300));

// A loopback server that accepts every connection and never answers.
class SilentServer {
public:
    SilentServer() {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(listener_, 1024) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 || pipe(stop_) != 0) {
            throw std::runtime_error("the silent server cannot listen");
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Accept(); });
    }
    ~SilentServer() {
        (void)!write(stop_[1], "x", 1);
        thread_.join();
        for (int fd : accepted_) close(fd);
        close(listener_);
        close(stop_[0]);
        close(stop_[1]);
    }
    int Port() const { return port_; }

private:
    void Accept() {
        for (;;) {
            pollfd fds[] = {{listener_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0 || fds[1].revents != 0) return;
            const int fd = accept(listener_, nullptr, nullptr);
            if (fd >= 0) accepted_.push_back(fd);
        }
    }

    int listener_ = -1;
    int stop_[2] = {-1, -1};
    int port_ = 0;
    std::vector<int> accepted_;
    std::thread thread_;
};

std::unique_ptr<corvasse::test::NginxServer> nginx;
std::unique_ptr<SilentServer> silent;

// The watches' addresses: every kHungEvery-th one on the silent server.
std::vector<std::string> Targets() {
    std::vector<std::string> targets;
    for (int i = 0; i < kWatches; ++i) {
        const std::string path = "/page.html?watch=" + std::to_string(i);
        targets.push_back(i % kHungEvery == kHungEvery - 1 ? "http://127.0.0.1:" + std::to_string(silent->Port()) + path
                                                           : nginx->Url(path));
    }
    return targets;
}

bool Answers(const std::string& target) { return target.starts_with(nginx->Url("/")); }

bool Accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool accepted = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return accepted;
}

// The value of a "Name:   value" line of /proc/PID/status, in its unit.
long StatusValue(int pid, const std::string& name) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(name + ":")) return std::stol(line.substr(name.size() + 1));
    }
    return 0;
}

// utime + stime of a process, in seconds.
double CpuSeconds(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14 || i == 15) ticks += std::stol(field);
    }
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Watches a running process for kRunTime: its CPU share of one core, peak
// resident memory and the most threads it had.
struct ProcessWatch {
    double cpuPercent = 0;
    double peakMiB = 0;
    long threads = 0;
};

ProcessWatch Observe(ChildProcess& process) {
    ProcessWatch seen;
    const double cpuBefore = CpuSeconds(process.Pid());
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < kRunTime) {
        if (!process.Running()) throw std::runtime_error("the process ended: " + process.Errors());
        seen.threads = std::max(seen.threads, StatusValue(process.Pid(), "Threads"));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    seen.cpuPercent = 100.0 * (CpuSeconds(process.Pid()) - cpuBefore) / seconds;
    seen.peakMiB = static_cast<double>(StatusValue(process.Pid(), "VmHWM")) / 1024.0;
    return seen;
}

void Report(benchmark::State& state, const ProcessWatch& seen) {
    state.counters["cpu_pct"] = seen.cpuPercent;
    state.counters["rss_MiB"] = seen.peakMiB;
    state.counters["threads"] = static_cast<double>(seen.threads);
}

// Each result in the history: its watch's target and its time in ms.
std::map<std::string, std::vector<int64_t>> ResultTimes(const std::filesystem::path& history) {
    const std::string command = std::string(kSqlite) + " -separator ' ' " + history.string() +
                                " 'SELECT w.target, r.time_ms FROM result r JOIN watch w ON w.id = r.watch_id'";
    FILE* out = popen(command.c_str(), "r");
    if (out == nullptr) throw std::runtime_error("sqlite3 cannot run");
    std::map<std::string, std::vector<int64_t>> times;
    char line[4096];
    while (std::fgets(line, sizeof line, out) != nullptr) {
        std::istringstream fields(line);
        std::string target;
        int64_t ms = 0;
        if (fields >> target >> ms) times[target].push_back(ms);
    }
    pclose(out);
    return times;
}

void BM_ManyWatches(benchmark::State& state) {
    for (auto _ : state) {
        corvasse::test::TempDir dir;
        const std::vector<std::string> targets = Targets();
        for (int i = 0; i < kWatches; ++i) {
            std::ofstream file(dir.Path() /
                               (i == 0 ? std::string("Corvasse.conf") : "w" + std::to_string(i) + ".conf"));
            file << "[Settings]\nurl2watch=" << targets[i] << "\ntxtLookFor=" << kText
                 << "\nintervalSeconds=" << kIntervalSeconds << "\n";
        }
        const std::filesystem::path history = dir.Path() / "history.sqlite3";
        const auto launched = Clock::now();
        ChildProcess service({CORVASSE_BINARY, "--headless", "--all", "--watches", dir.Path().string(), "--log",
                              (dir.Path() / "Corvasse.log").string(), "--history", history.string()},
                             dir.Path(), corvasse::test::kDisplayVariables);
        const ProcessWatch seen = Observe(service);
        const auto ended = Clock::now();
        service.Signal(SIGTERM);
        if (service.Wait(10000) != 0) throw std::runtime_error("the service did not end: " + service.Errors());

        const auto ms = [](Clock::time_point t) {
            return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
        };
        std::vector<double> lateness;
        double firstMax = 0;
        int64_t runs = 0, due = 0;
        const std::map<std::string, std::vector<int64_t>> times = ResultTimes(history);
        // A watch due in the last seconds may still be allowed to be late.
        const int64_t dueBy = ms(ended) - kLatenessAllowedMs;
        for (const std::string& target : targets) {
            if (!Answers(target)) continue;
            const auto found = times.find(target);
            if (found == times.end()) {
                due += 1 + (dueBy - ms(launched)) / (kIntervalSeconds * 1000);
                continue;
            }
            std::vector<int64_t> results = found->second;
            std::sort(results.begin(), results.end());
            // One at its first watch, then one every interval.
            due += 1 + (dueBy - results.front()) / (kIntervalSeconds * 1000);
            runs += static_cast<int64_t>(results.size());
            firstMax = std::max(firstMax, static_cast<double>(results.front() - ms(launched)) / 1000.0);
            for (size_t k = 0; k < results.size(); ++k) {
                const int64_t dueAt = results.front() + static_cast<int64_t>(k) * kIntervalSeconds * 1000;
                lateness.push_back(static_cast<double>(results[k] - dueAt) / 1000.0);
            }
        }
        if (lateness.empty()) throw std::runtime_error("no watch of an answering page ran");
        std::sort(lateness.begin(), lateness.end());
        state.counters["late_p99_s"] = lateness[lateness.size() * 99 / 100];
        state.counters["late_max_s"] = lateness.back();
        state.counters["first_max_s"] = firstMax;
        state.counters["runs"] = static_cast<double>(runs);
        state.counters["runs_due"] = static_cast<double>(due);
        Report(state, seen);
    }
}

// One probe: asks the exporter to probe target and reads its answer.
void Probe(int port, const std::string& target) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        std::string escaped;
        for (char c : target) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            escaped += std::isalnum(static_cast<unsigned char>(c)) ? std::string(1, c) : hex;
        }
        const std::string request = "GET /probe?module=page&target=" + escaped +
                                    " HTTP/1.0\r\nHost: 127.0.0.1\r\nX-Prometheus-Scrape-Timeout-Seconds: 130\r\n\r\n";
        if (write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
            char buffer[4096];
            while (read(fd, buffer, sizeof buffer) > 0) {}
        }
    }
    close(fd);
}

void BM_BlackboxExporter(benchmark::State& state) {
    for (auto _ : state) {
        corvasse::test::TempDir dir;
        const std::filesystem::path config = dir.Path() / "blackbox.yml";
        std::ofstream(config) << "modules:\n  page:\n    prober: http\n    timeout: 120s\n    http:\n"
                              << "      fail_if_body_not_matches_regexp: [\"" << kText << "\"]\n";
        const int port = corvasse::test::ClosedPort("127.0.0.1");
        ChildProcess exporter({kBlackboxExporter, "--config.file=" + config.string(),
                               "--web.listen-address=127.0.0.1:" + std::to_string(port)},
                              dir.Path());
        for (int i = 0; i < 500 && !Accepts(port); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const std::vector<std::string> targets = Targets();
        std::atomic<bool> stop{false};
        std::vector<std::thread> probes;
        std::thread scheduler([&] {
            // Target i is probed at i/N of every minute.
            const auto start = std::chrono::steady_clock::now();
            for (int64_t n = 0; !stop.load(); ++n) {
                const auto at = start + std::chrono::milliseconds(n * kIntervalSeconds * 1000 / kWatches);
                std::this_thread::sleep_until(at);
                if (stop.load()) break;
                probes.emplace_back(Probe, port, targets[static_cast<size_t>(n % kWatches)]);
            }
        });
        const ProcessWatch seen = Observe(exporter);
        stop.store(true);
        scheduler.join();
        exporter.Signal(SIGKILL);
        exporter.Wait(10000);
        for (std::thread& probe : probes) probe.join();
        Report(state, seen);
    }
}

BENCHMARK(BM_ManyWatches)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_BlackboxExporter)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    nginx = std::make_unique<corvasse::test::NginxServer>();
    nginx->WriteFile("page.html", "<html><body><p>Welcome to a small page.</p></body></html>\n");
    silent = std::make_unique<SilentServer>();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    silent.reset();
    nginx.reset();
    return 0;
}
