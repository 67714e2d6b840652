#include "history/sqlite_statement.h"

#include "history/sqlite_connection.h"
#include "history/sqlite_library.h"

namespace corvasse {

SqliteStatement::SqliteStatement(const SqliteConnection& connection, sqlite3* db, std::string_view sql)
    : connection_(connection), db_(db) {
    const int result = Sqlite().prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                           &statement_, nullptr);
    if (result != SQLITE_OK) connection_.ThrowError(result);
}

SqliteStatement::~SqliteStatement() { Sqlite().finalize(statement_); }

void SqliteStatement::Bind(std::initializer_list<SqliteValue> values) {
    Sqlite().reset(statement_);
    Sqlite().clear_bindings(statement_);
    int index = 1;
    for (const SqliteValue& value : values) {
        int result = SQLITE_OK;
        if (const auto* number = std::get_if<int64_t>(&value)) {
            result = Sqlite().bind_int64(statement_, index, *number);
        } else if (const auto* text = std::get_if<std::string_view>(&value)) {
            result = Sqlite().bind_text64(statement_, index, text->data(), text->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        }
        if (result != SQLITE_OK) connection_.ThrowError(result);
        ++index;
    }
}

int SqliteStatement::Execute(std::initializer_list<SqliteValue> values) {
    Bind(values);
    SqliteCursor rows(connection_, statement_);
    while (rows.Next()) {}
    return Sqlite().changes(db_);
}

SqliteCursor SqliteStatement::Query(std::initializer_list<SqliteValue> values) {
    Bind(values);
    return SqliteCursor(connection_, statement_);
}

}  // namespace corvasse
