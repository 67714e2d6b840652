#pragma once
// A monitor's files in a test's own folder: the settings in <folder>/config
// and the log and the history beside it, named by absolute paths, so that no
// test depends on (or changes) the working directory or the user's history.

#include <filesystem>

#include "app/monitor/monitor.h"
#include "app/settings/settings_store.h"

namespace corvasse::test {

inline MonitorFiles MonitorFilesIn(const std::filesystem::path& folder) {
    return {folder / "config" / kSettingsFileName, folder / "Corvasse.log", folder / kHistoryFileName};
}

}  // namespace corvasse::test
