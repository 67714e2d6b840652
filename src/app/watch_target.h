#pragma once
// What a watch watches, as the history names it (with the settings file):
// the host to ping, or the address to fetch.

#include <string>

namespace corvasse {

class FormFields;
class SettingsStore;

// With the stored "PingOnly" on, the ping host of the form, trimmed, as the
// ping watch sends to it; otherwise the form's address exactly as the web
// watch fetches it (untrimmed, "http://" not added). Throws RegistryError.
std::string WatchTarget(const FormFields& form, const SettingsStore& settings);

}  // namespace corvasse
