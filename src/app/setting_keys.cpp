#include "app/setting_keys.h"

#include <cstdint>
#include <optional>

#include "app/settings_store.h"
#include "common/byte_string.h"
#include "common/utf8_text.h"

namespace corvasse {

std::string ReadSetting(const SettingsStore& settings, const SettingKey& key) {
    return Utf8OrLatin1(settings.ReadSetting(kSettingsSection, key.name));
}

void WriteSetting(SettingsStore& settings, const SettingKey& key, std::string_view value) {
    settings.WriteSetting(kSettingsSection, key.name, value);
}

void DeleteSetting(SettingsStore& settings, const SettingKey& key) {
    settings.DeleteSetting(kSettingsSection, key.name);
}

bool IsSettingOn(const SettingsStore& settings, const SettingKey& key) {
    return ReadSetting(settings, key) == kSettingOn;
}

AddressFamily AddressFamilySetting(const SettingsStore& settings) {
    const std::string value = ReadSetting(settings, setting::ipFamily);
    if (value == kIpFamilyIPv4) return AddressFamily::IPv4;
    if (value == kIpFamilyIPv6) return AddressFamily::IPv6;
    return AddressFamily::Any;
}

std::chrono::seconds ResumeGraceSetting(const SettingsStore& settings) {
    const std::optional<int32_t> seconds = TryStrToInt(ReadSetting(settings, setting::resumeGraceSeconds));
    return seconds && *seconds >= 0 ? std::chrono::seconds(*seconds) : kDefaultResumeGrace;
}

std::string ReferenceHostSetting(const SettingsStore& settings) {
    const std::string host = ReadSetting(settings, setting::referenceHost);
    return host == kAbsentSetting ? std::string() : Trim(host);
}

bool WatchesEachFamily(const SettingsStore& settings) {
    return ReadSetting(settings, setting::ipFamily) == kIpFamilyEach;
}

}  // namespace corvasse
