#include "app/settings/watch_folder.h"

#include <algorithm>
#include <system_error>

namespace corvasse {

std::vector<WatchFile> ListWatches(const std::filesystem::path& folder) {
    std::vector<WatchFile> watches;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::filesystem::path& file = entry.path();
        if (file.extension() != ".conf" || file.stem().empty() || !entry.is_regular_file(error)) continue;
        watches.push_back({file.stem().string(), file});
    }
    std::sort(watches.begin(), watches.end(), [](const WatchFile& a, const WatchFile& b) { return a.name < b.name; });
    return watches;
}

}  // namespace corvasse
