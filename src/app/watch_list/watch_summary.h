#pragma once
// What the watch list reads of each watch beside its state: the address or
// host it watches, from its settings file, and its uptime over the last 24
// hours, from the history. Read away from the window, as it touches every
// file of the folder.

#include <filesystem>
#include <string>
#include <vector>

#include "app/settings/watch_folder.h"
#include "core/history_records.h"

namespace corvasse {

class SettingsStore;

struct WatchSummary {
    std::string address;
    std::string dayUptime;  // "99.93 %", "no data"

    bool operator==(const WatchSummary&) const = default;
};

// The host it pings when the settings ping, else the address it fetches, as
// the window loads them.
std::string WatchAddress(const SettingsStore& settings);

// One summary per watch, in the order given, as of now; the history is
// opened once for all. A watch without results, or a history that is
// missing or cannot be read, has "no data".
std::vector<WatchSummary> ReadWatchSummaries(const std::vector<WatchFile>& watches,
                                             const std::filesystem::path& history, ResultTime now);

}  // namespace corvasse
