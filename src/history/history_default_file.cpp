// The default place of the history, apart from the store itself: a program
// that only names the file (the plugin, which keeps no history) then links
// no SQLite and does not load it at every start.

#include <cstdlib>

#include "history/history_store.h"

namespace corvasse {

std::filesystem::path HistoryStore::DefaultFile() {
    const char* state = std::getenv("XDG_STATE_HOME");
    // XDG base directories that are relative paths are ignored.
    if (state != nullptr && *state == '/') return std::filesystem::path(state) / "Corvasse" / kHistoryFileName;
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : ".") / ".local" / "state" / "Corvasse" / kHistoryFileName;
}

}  // namespace corvasse
