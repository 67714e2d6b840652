#include "cli/metrics_option.h"

#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "cli/command_line.h"

namespace corvasse {

namespace {

constexpr const char* kExamples = "HOST:PORT, such as 127.0.0.1:9477 or [::1]:9477";

}  // namespace

std::optional<ListenAddress> MetricsAddress(const std::optional<std::string>& option,
                                            const std::filesystem::path& settings) {
    if (option) {
        if (std::optional<ListenAddress> address = ParseListenAddress(*option)) return address;
        throw UsageError("--metrics takes " + std::string(kExamples) + ", not '" + *option + "'.");
    }
    std::error_code missing;
    if (!std::filesystem::exists(settings, missing)) return std::nullopt;
    std::string value;
    try {
        value = ReadSetting(SettingsStore::AtFile(settings), setting::metricsListen);
    } catch (const RegistryError& error) {
        throw UsageError(error.what());
    }
    if (value == kAbsentSetting || value.empty()) return std::nullopt;
    if (std::optional<ListenAddress> address = ParseListenAddress(value)) return address;
    throw UsageError("metricsListen=" + value + " in the settings file must be " + kExamples + ".");
}

}  // namespace corvasse
