#pragma once
// The rows of one run of a query. When the cursor ends, its statement is
// reset: a statement left in the middle of its rows would hold a read
// snapshot, and with it keep the write-ahead log from being emptied.

#include <cstdint>
#include <optional>
#include <string>

struct sqlite3_stmt;

namespace corvasse {

class SqliteConnection;

class SqliteCursor {
public:
    SqliteCursor(const SqliteConnection& connection, sqlite3_stmt* statement);
    ~SqliteCursor();
    SqliteCursor(const SqliteCursor&) = delete;
    SqliteCursor& operator=(const SqliteCursor&) = delete;

    // Steps to the next row: false when there is none. Throws HistoryError.
    bool Next();

    // The columns of the current row, counted from 0. A NULL reads 0, the
    // empty text, or none.
    int64_t Int(int column) const;
    std::optional<int64_t> OptionalInt(int column) const;
    std::string Text(int column) const;

private:
    const SqliteConnection& connection_;
    sqlite3_stmt* statement_;
};

}  // namespace corvasse
