#pragma once
// Where the service serves its metrics: the address --metrics gives, or
// else metricsListen of the settings file.

#include <filesystem>
#include <optional>
#include <string>

#include "app/metrics/listen_address.h"

namespace corvasse {

// The option's address, or else the value of metricsListen in settings (a
// file that does not exist sets none); none when neither is set. Throws
// UsageError for an address that is not HOST:PORT, and for a settings file
// that cannot be read.
std::optional<ListenAddress> MetricsAddress(const std::optional<std::string>& option,
                                            const std::filesystem::path& settings);

}  // namespace corvasse
