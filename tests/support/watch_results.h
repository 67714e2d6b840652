#pragma once
// Results and moments for the history's tests.

#include <chrono>
#include <optional>
#include <string>

#include "core/history_records.h"

namespace corvasse::test {

// 2026-12-08 00:00:00 UTC.
inline const ResultTime kDayStart{std::chrono::milliseconds(1796688000000)};

inline WatchResult Up(ResultTime time, std::chrono::microseconds response = std::chrono::milliseconds(12),
                      std::optional<int64_t> size = 2043) {
    return WatchResult{time, ResultState::Up, response, size, ""};
}

inline WatchResult Down(ResultTime time, std::string reason = "Socket Error # 10061 Connection refused.") {
    return WatchResult{time, ResultState::Down, std::nullopt, std::nullopt, std::move(reason)};
}

inline WatchResult Unknown(ResultTime time) {
    return WatchResult{time, ResultState::Unknown, std::nullopt, std::nullopt, "no route to 203.0.113.5"};
}

}  // namespace corvasse::test
