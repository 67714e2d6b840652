#include "app/watch_list/day_uptimes.h"

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

namespace {

// The host it pings when the settings ping, else the address it fetches, as
// the window loads them: what names the watch in the history.
std::string WatchTarget(const SettingsStore& store) {
    const SettingsStore settings = store.Snapshot();
    if (IsSettingOn(settings, setting::PingOnly)) {
        const std::string host = ReadSetting(settings, setting::PingAddr);
        return host == kAbsentSetting ? std::string() : Trim(host);
    }
    const std::string url = ReadSetting(settings, setting::url2watch);
    return url == kAbsentSetting || url.empty() ? std::string(setting::url2watch.initial) : url;
}

}  // namespace

std::vector<std::string> ReadDayUptimes(const std::vector<WatchFile>& watches, const std::filesystem::path& history,
                                        ResultTime now) {
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
    std::vector<std::string> uptimes;
    uptimes.reserve(watches.size());
    for (const WatchFile& watch : watches) {
        ResultCount count;
        if (store) {
            try {
                const std::string target = WatchTarget(SettingsStore::AtFile(watch.file));
                if (const std::optional<WatchId> id = store->FindWatch(watch.file, target)) {
                    count = store->CountResults(*id, day);
                }
            } catch (const std::exception&) {
                // A file or history that cannot be read counts no results.
            }
        }
        uptimes.push_back(UptimeText(count));
    }
    return uptimes;
}

}  // namespace corvasse
