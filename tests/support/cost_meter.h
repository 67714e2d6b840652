#pragma once
// Measures what a piece of work cost: the time since the meter was made and
// how far the process's peak resident memory grew meanwhile.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include <sys/resource.h>

#include <gtest/gtest.h>

namespace corvasse::test {

// Whether a process's memory measures the code that runs in it: the address
// sanitizer adds its shadow (an eighth of what is allocated) and keeps freed
// blocks in quarantine, so memory budgets are checked in the build without it.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kMemoryMeasurable = false;
#else
inline constexpr bool kMemoryMeasurable = true;
#endif

class CostMeter {
public:
    CostMeter() : start_(std::chrono::steady_clock::now()), rss_(PeakRssKiB()) {}

    long ElapsedMs() const {
        return static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count());
    }
    int64_t PeakGrowthMiB() const { return (PeakRssKiB() - rss_) / 1024; }

    // Expects the peak resident memory to have grown by less than `mib`
    // where memory measures the code (see kMemoryMeasurable).
    void ExpectPeakGrowthBelowMiB(int64_t mib) const {
        if constexpr (kMemoryMeasurable) {
            EXPECT_LT(PeakGrowthMiB(), mib) << "peak resident memory growth, MiB";
        }
    }

    // One line in the test output, so runs can be compared.
    void Print(const std::string& what) const {
        std::printf("[ hostile  ] %s: %ld ms, peak memory +%lld MiB\n", what.c_str(), ElapsedMs(),
                    static_cast<long long>(PeakGrowthMiB()));
    }

private:
    static int64_t PeakRssKiB() {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_maxrss;
    }

    std::chrono::steady_clock::time_point start_;
    int64_t rss_;
};

}  // namespace corvasse::test
