#include "cli/print_history.h"

#include <algorithm>
#include <array>
#include <exception>
#include <string>
#include <vector>

#include "app/history_view/history_text.h"
#include "app/history_view/watch_history.h"
#include "app/monitor/monitor.h"
#include "app/settings/form_values.h"
#include "app/settings/settings_form.h"
#include "app/settings/settings_store.h"
#include "app/settings/watch_spec.h"
#include "cli/console_dialogs.h"
#include "cli/console_view.h"

namespace corvasse {

namespace {

constexpr const char* kColumnGap = "  ";

void Print(std::FILE* out, const std::string& text) { std::fwrite(text.data(), 1, text.size(), out); }

// The cells in columns as wide as their widest cell; the last one as it is.
std::string Table(const std::vector<OutageRow>& rows) {
    std::array<size_t, kOutageColumns.size()> widths{};
    for (const auto& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    }
    std::string table;
    for (const auto& row : rows) {
        for (size_t i = 0; i + 1 < row.size(); ++i)
            table += row[i] + std::string(widths[i] - row[i].size(), ' ') + kColumnGap;
        table += row.back() + "\n";
    }
    return table;
}

std::string Summary(WatchHistory& history, HistoryRange since, ResultTime now) {
    std::string text;
    const auto uptime = [&](HistoryRange range) {
        text += "Uptime " + std::string(RangeName(range)) + ": " + history.Uptime(range, now) + "\n";
    };
    // A range shorter than a day tells its own uptime alone.
    if (since < kUptimeRanges.front()) uptime(since);
    for (const HistoryRange range : kUptimeRanges) {
        if (range <= since) uptime(range);
    }
    const std::vector<Outage> outages = history.Outages(since, now);
    text += "\nOutages " + std::string(RangeName(since)) + ": ";
    if (outages.empty()) return text + "none\n";
    text += std::to_string(outages.size()) + "\n";
    std::vector<OutageRow> rows(1);
    std::copy(kOutageColumns.begin(), kOutageColumns.end(), rows[0].begin());
    for (const Outage& outage : outages) rows.push_back(OutageRowOf(outage, now));
    return text + Table(rows);
}

}  // namespace

int PrintHistory(const MonitorFiles& files, HistoryRange since, HistoryFormat format, ResultTime now, std::FILE* out,
                 std::FILE* err) {
    try {
        // The watch is named from the settings as the window loads them.
        SettingsStore settings = SettingsStore::AtFile(files.settings);
        FormValues form;
        ConsoleView view(nullptr, nullptr);
        ConsoleDialogs dialogs(err);
        SettingsForm(form, view, dialogs, settings).Load();
        WatchHistory history(files.history, files.settings, ReadWatchSpec(form, settings).target);
        if (format == HistoryFormat::Csv) {
            history.WriteCsv(since, now,
                             [out](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), out); });
        } else {
            Print(out, Summary(history, since, now));
        }
    } catch (const std::exception& error) {
        std::fprintf(err, "corvasse: %s\n", error.what());
        return kNoHistoryStatus;
    }
    return 0;
}

}  // namespace corvasse
