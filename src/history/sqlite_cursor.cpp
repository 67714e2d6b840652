#include "history/sqlite_cursor.h"

#include "history/sqlite_connection.h"
#include "history/sqlite_library.h"

namespace corvasse {

SqliteCursor::SqliteCursor(const SqliteConnection& connection, sqlite3_stmt* statement)
    : connection_(connection), statement_(statement) {}

SqliteCursor::~SqliteCursor() { Sqlite().reset(statement_); }

bool SqliteCursor::Next() {
    const int result = Sqlite().step(statement_);
    if (result == SQLITE_ROW) return true;
    if (result == SQLITE_DONE) return false;
    connection_.ThrowError(result);
}

int64_t SqliteCursor::Int(int column) const { return Sqlite().column_int64(statement_, column); }

std::optional<int64_t> SqliteCursor::OptionalInt(int column) const {
    if (Sqlite().column_type(statement_, column) == SQLITE_NULL) return std::nullopt;
    return Int(column);
}

std::string SqliteCursor::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(Sqlite().column_text(statement_, column));
    if (text == nullptr) return {};
    return std::string(text, static_cast<size_t>(Sqlite().column_bytes(statement_, column)));
}

}  // namespace corvasse
