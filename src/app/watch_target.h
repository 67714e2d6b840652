#pragma once
// What a watch watches, as its history and its outage mails name it.

#include <string>

namespace corvasse {

class FormFields;
class SettingsStore;

// The host to ping, trimmed, when the setting "PingOnly" is on; otherwise the
// address as the watch fetches it. Throws RegistryError.
std::string WatchTarget(const FormFields& form, const SettingsStore& settings);

}  // namespace corvasse
