#pragma once
// What one run of a whole program cost, read with wait4: wall time, CPU time
// (user and system) and peak resident memory.

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace corvasse::bench {

struct ProcessCost {
    double wallMs;
    double cpuMs;
    long peakKiB;
};

// Runs argv[0] with the arguments that follow, its standard output to
// /dev/null, to its end. Throws when it cannot start or does not exit with 0.
inline ProcessCost RunProcess(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error(argv[0] + std::string(" failed"));
    }
    const double wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1000.0 + t.tv_usec / 1000.0; };
    return {wallMs, ms(usage.ru_utime) + ms(usage.ru_stime), usage.ru_maxrss};
}

}  // namespace corvasse::bench
