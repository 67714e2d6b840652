#pragma once
// The uptime of each watch over the last 24 hours, from the history, as the
// watch list shows it. Read away from the window, as it touches every file
// of the folder and the database.

#include <filesystem>
#include <string>
#include <vector>

#include "app/settings/watch_folder.h"
#include "core/history_records.h"

namespace corvasse {

// One uptime per watch ("99.93 %"), in the order given, as of now; the
// history is opened once for all. A watch is found there by its settings
// file and the address or host it watches. A watch without results, or a
// history that is missing or cannot be read, has "no data".
std::vector<std::string> ReadDayUptimes(const std::vector<WatchFile>& watches, const std::filesystem::path& history,
                                        ResultTime now);

}  // namespace corvasse
