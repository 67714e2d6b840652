#pragma once
// What the outage model is told: how many down results in a row make an
// outage, how often to remind while it lasts, how many up results in a row
// end it, and whether its end is mailed. The limits are those the settings
// form accepts.

#include <chrono>

namespace corvasse {

inline constexpr int kAlertAfterMin = 1;
inline constexpr int kAlertAfterMax = 100;
inline constexpr int kAlertAfterDefault = 2;
inline constexpr std::chrono::minutes kRemindEveryMax{10080};  // a week
inline constexpr int kRecoverAfterMin = 1;
inline constexpr int kRecoverAfterMax = 100;
inline constexpr int kRecoverAfterDefault = 1;

enum class RecoveryMail { Send, Skip };

struct OutageSettings {
    // The outage begins with this down result in a row.
    int alertAfter = kAlertAfterDefault;
    // A reminder each time this much of the outage has passed since the
    // last alert or reminder; zero: none.
    std::chrono::minutes remindEvery{0};
    // The outage ends with this up result in a row.
    int recoverAfter = kRecoverAfterDefault;
    RecoveryMail recoveryMail = RecoveryMail::Send;
};

}  // namespace corvasse
