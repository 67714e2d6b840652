// The default place of the history, apart from the store itself: a program
// that only names the file (the plugin, which keeps no history) then links
// no SQLite and does not load it at every start.

#include <cstdlib>

#include "history/history_store.h"

namespace corvasse {

std::optional<std::filesystem::path> HistoryStore::UserFile() {
    const char* state = std::getenv("XDG_STATE_HOME");
    // XDG base directories that are relative paths are ignored.
    if (state != nullptr && *state == '/') return std::filesystem::path(state) / "Corvasse" / kHistoryFileName;
    const char* home = std::getenv("HOME");
    if (home == nullptr) return std::nullopt;
    return std::filesystem::path(home) / ".local" / "state" / "Corvasse" / kHistoryFileName;
}

std::filesystem::path HistoryStore::DefaultFile() {
    return UserFile().value_or(std::filesystem::path(".") / ".local" / "state" / "Corvasse" / kHistoryFileName);
}

}  // namespace corvasse
