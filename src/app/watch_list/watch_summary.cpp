#include "app/watch_list/watch_summary.h"

#include <memory>
#include <optional>
#include <system_error>

#include "app/history_view/history_range.h"
#include "app/history_view/history_text.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "common/byte_string.h"
#include "history/history_error.h"
#include "history/history_store.h"

namespace corvasse {

std::string WatchAddress(const SettingsStore& store) {
    const SettingsStore settings = store.Snapshot();
    if (IsSettingOn(settings, setting::PingOnly)) {
        const std::string host = ReadSetting(settings, setting::PingAddr);
        return host == kAbsentSetting ? std::string() : Trim(host);
    }
    const std::string url = ReadSetting(settings, setting::url2watch);
    return url == kAbsentSetting || url.empty() ? std::string(setting::url2watch.initial) : url;
}

std::vector<WatchSummary> ReadWatchSummaries(const std::vector<WatchFile>& watches,
                                             const std::filesystem::path& history, ResultTime now) {
    std::unique_ptr<HistoryStore> store;
    std::error_code missing;
    if (std::filesystem::exists(history, missing)) {
        try {
            store = std::make_unique<HistoryStore>(history, HistoryAccess::ReadOnly);
        } catch (const HistoryError&) {
            // Every uptime reads "no data", as for a watch without results.
        }
    }
    const TimeRange day = RangeEndingAt(HistoryRange::Day, now);
    std::vector<WatchSummary> summaries;
    summaries.reserve(watches.size());
    for (const WatchFile& watch : watches) {
        WatchSummary summary;
        ResultCount count;
        try {
            summary.address = WatchAddress(SettingsStore::AtFile(watch.file));
            if (store) {
                if (const std::optional<WatchId> id = store->FindWatch(watch.file, summary.address)) {
                    count = store->CountResults(*id, day);
                }
            }
        } catch (const std::exception&) {
            // A file or history that cannot be read leaves what was read.
        }
        summary.dayUptime = UptimeText(count);
        summaries.push_back(std::move(summary));
    }
    return summaries;
}

}  // namespace corvasse
