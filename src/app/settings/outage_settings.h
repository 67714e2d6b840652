#pragma once
// What the outage model is told: how many down results in a row make an
// outage, how often to remind while it lasts, how many up results in a row
// end it, and whether its end is mailed. The limits are those the settings
// form accepts.

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>

namespace corvasse {

class SettingsStore;

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

// A value of the settings file that is not a whole number in its range:
//     Outage alerts are off: alertAfter=abc in the settings file must be a whole number from 1 to 100.
class OutageSettingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The outage settings in the store: none unless "outageAlerts" is "y"; a
// missing or empty value takes its default, and "recoveryMail" other than "n" sends
// the mail. Throws OutageSettingError and RegistryError.
std::optional<OutageSettings> ReadOutageSettings(const SettingsStore& settings);

// The whole number that text holds when it lies from min to max (the
// shared integer conversion of the settings form); none otherwise.
std::optional<int> WholeNumberIn(const std::string& text, int min, int max);

}  // namespace corvasse
