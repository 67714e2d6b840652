#include "app/settings/outage_settings.h"

#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "common/byte_string.h"

namespace corvasse {

namespace {

int ReadNumber(const SettingsStore& settings, const SettingKey& key, int min, int max) {
    std::string value = ReadSetting(settings, key);
    if (value == kAbsentSetting || value.empty()) value = key.initial;
    const std::optional<int> number = WholeNumberIn(value, min, max);
    if (!number) {
        throw OutageSettingError("Outage alerts are off: " + std::string(key.name) + "=" + value +
                                 " in the settings file must be a whole number from " + std::to_string(min) + " to " +
                                 std::to_string(max) + ".");
    }
    return *number;
}

}  // namespace

std::optional<int> WholeNumberIn(const std::string& text, int min, int max) {
    const std::optional<int32_t> number = TryStrToInt(text);
    if (!number || *number < min || *number > max) return std::nullopt;
    return *number;
}

std::optional<OutageSettings> ReadOutageSettings(const SettingsStore& settings) {
    if (!IsSettingOn(settings, setting::outageAlerts)) return std::nullopt;
    OutageSettings outage;
    outage.alertAfter = ReadNumber(settings, setting::alertAfter, kAlertAfterMin, kAlertAfterMax);
    outage.remindEvery = std::chrono::minutes(
        ReadNumber(settings, setting::remindMinutes, 0, static_cast<int>(kRemindEveryMax.count())));
    outage.recoverAfter = ReadNumber(settings, setting::recoverAfter, kRecoverAfterMin, kRecoverAfterMax);
    outage.recoveryMail =
        ReadSetting(settings, setting::recoveryMail) == kRecoveryMailOff ? RecoveryMail::Skip : RecoveryMail::Send;
    return outage;
}

}  // namespace corvasse
