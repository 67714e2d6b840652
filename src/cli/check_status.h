#pragma once
// The states of the monitoring plugin convention, as exit statuses.

namespace corvasse {

enum class CheckStatus { Ok = 0, Warning = 1, Critical = 2, Unknown = 3 };

// The state that tells more of a problem: CRITICAL over WARNING over UNKNOWN
// over OK.
constexpr CheckStatus Worse(CheckStatus a, CheckStatus b) {
    constexpr auto rank = [](CheckStatus status) {
        switch (status) {
            case CheckStatus::Ok: return 0;
            case CheckStatus::Unknown: return 1;
            case CheckStatus::Warning: return 2;
            case CheckStatus::Critical: return 3;
        }
        return 0;
    };
    return rank(a) >= rank(b) ? a : b;
}

}  // namespace corvasse
