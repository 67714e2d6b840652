// The one symbol the History window's module exports (ui/history_window_module.h).

#include <type_traits>

#include "ui/history_window.h"
#include "ui/history_window_module.h"

extern "C" __attribute__((visibility("default"))) corvasse::HistoryWindow* corvasse_new_history_window(
    const corvasse::HandlerGuard& guard, QWidget* parent) {
    return new corvasse::HistoryWindow(guard, {}, {}, parent);
}

static_assert(std::is_same_v<decltype(&corvasse_new_history_window), corvasse::HistoryWindowFactory>);
