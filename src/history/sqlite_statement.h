#pragma once
// One prepared SQLite statement (sqlite3_stmt*), finalized when the object
// goes. Values are bound to ?1, ?2 ... in the order given, afresh for every
// run.
//
//     statement.Execute({watch.value, nullptr, std::string_view("reason")});
//     for (auto rows = statement.Query({watch.value}); rows.Next();) rows.Int(0);

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <variant>

#include "history/sqlite_cursor.h"

struct sqlite3;
struct sqlite3_stmt;

namespace corvasse {

class SqliteConnection;

// A value to bind: NULL, an integer or a text (copied by SQLite).
using SqliteValue = std::variant<std::nullptr_t, int64_t, std::string_view>;

// The value, or NULL when there is none.
inline SqliteValue OrNull(std::optional<int64_t> value) {
    if (!value) return nullptr;
    return *value;
}

class SqliteStatement {
public:
    // Prepares the SQL text of one statement on db, which connection owns.
    // Throws HistoryError.
    SqliteStatement(const SqliteConnection& connection, sqlite3* db, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Runs a statement that returns no rows; how many rows it changed.
    // Throws HistoryError.
    int Execute(std::initializer_list<SqliteValue> values = {});

    // Starts a query; its rows are read through the cursor, which must end
    // before the statement runs again. Throws HistoryError.
    SqliteCursor Query(std::initializer_list<SqliteValue> values = {});

private:
    void Bind(std::initializer_list<SqliteValue> values);

    const SqliteConnection& connection_;
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

}  // namespace corvasse
