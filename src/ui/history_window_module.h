#pragma once
// The History window lives in a module of its own (history_window.so, with
// the chart code and Qt Charts, which brings Qt OpenGL, EGL and GLX), loaded
// when the window is first asked for: the program's start loads and relocates
// none of it.
//
//     HistoryWindow* window = NewHistoryWindow(guard, this);
//     window->ShowHistory(watch);
//
// The module is looked for where `cmake --install` puts it, relative to the
// program (lib/corvasse beside its bin folder), then beside the program, where
// the build folder has it.

#include <filesystem>
#include <vector>

class QWidget;

namespace corvasse {

class HandlerGuard;
class HistoryWindow;

// What the module exports, under the name kHistoryWindowFactory.
using HistoryWindowFactory = HistoryWindow* (*)(const HandlerGuard& guard, QWidget* parent);
inline constexpr char kHistoryWindowFactory[] = "corvasse_new_history_window";
inline constexpr char kHistoryWindowModule[] = "history_window.so";

// The folders the module is looked for in, first first, for the program at
// the path given.
std::vector<std::filesystem::path> HistoryModuleFolders(const std::filesystem::path& program);

// Loads the module from the first of the folders that holds it. Throws
// std::runtime_error, saying where it looked or why it could not be loaded,
// when none holds a module that loads.
HistoryWindowFactory LoadHistoryWindowModule(const std::vector<std::filesystem::path>& folders);

// A History window of the running program's module, loaded by the first
// call; the error above when it cannot be (a later call tries again).
HistoryWindow* NewHistoryWindow(const HandlerGuard& guard, QWidget* parent);

}  // namespace corvasse
