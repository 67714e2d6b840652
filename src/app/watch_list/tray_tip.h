#pragma once
// The tip of the tray icon while a folder's watches run: how many watch and
// which of them are down.

#include <string>
#include <string_view>
#include <vector>

#include "app/monitor/watch_set.h"

namespace corvasse {

// Over the watches that watch: with one "Corvasse: shop.example up" or
// "Corvasse: shop.example down since 14:03"; with more "Corvasse: 3 watches,
// 1 down: shop since 14:03" (each down watch in the order given, "all up"
// when none is); with none the application's name alone. Times are local.
std::string TrayTipText(std::string_view appName, const std::vector<WatchStatus>& watches);

}  // namespace corvasse
