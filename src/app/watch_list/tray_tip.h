#pragma once
// The tip of the tray icon while a folder's watches run: how many watch and
// which of them are down.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/history_records.h"

namespace corvasse {

// A running watch as the tip tells it.
struct TipWatch {
    std::string name;
    std::string address;
    // Since when it is down; nothing while it is up or not known to be down.
    std::optional<ResultTime> downSince;
};

// With one running watch "Corvasse: shop.example up" or "Corvasse:
// shop.example down since 14:03"; with more "Corvasse: 3 watches, 1 down: shop
// since 14:03" (each down watch in the order given, "all up" when none is);
// with none the application's name alone. Times are local.
std::string TrayTipText(std::string_view appName, const std::vector<TipWatch>& running);

}  // namespace corvasse
