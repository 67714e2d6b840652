#include "app/settings/setting_keys.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>

#include "app/settings/settings_store.h"
#include "common/byte_string.h"
#include "common/utf8_text.h"

namespace corvasse {

namespace {

SettingScope ScopeOf(const SettingKey& key) {
    const bool shared =
        std::find(std::begin(kSharedSettings), std::end(kSharedSettings), key.name) != std::end(kSharedSettings);
    return shared ? SettingScope::Shared : SettingScope::Watch;
}

}  // namespace

std::string ReadSetting(const SettingsStore& settings, const SettingKey& key) {
    return Utf8OrLatin1(settings.ReadSetting(kSettingsSection, key.name));
}

void WriteSetting(SettingsStore& settings, const SettingKey& key, std::string_view value) {
    settings.WriteSetting(kSettingsSection, key.name, value, ScopeOf(key));
}

void DeleteSetting(SettingsStore& settings, const SettingKey& key) {
    settings.DeleteSetting(kSettingsSection, key.name, ScopeOf(key));
}

bool IsSettingOn(const SettingsStore& settings, const SettingKey& key) {
    return ReadSetting(settings, key) == kSettingOn;
}

}  // namespace corvasse
