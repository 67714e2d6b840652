#include "history/sqlite_connection.h"

#include <sqlite3.h>

#include "history/history_error.h"
#include "history/sqlite_statement.h"

namespace corvasse {

namespace {

std::string ErrorText(sqlite3* db, int resultCode) {
    return db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(resultCode);
}

}  // namespace

SqliteConnection::SqliteConnection(std::filesystem::path file) : file_(std::move(file)) {
    const int result = sqlite3_open_v2(file_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (result != SQLITE_OK) {
        const std::string reason = ErrorText(db_, result);
        sqlite3_close_v2(db_);
        throw HistoryError(file_, reason);
    }
    sqlite3_extended_result_codes(db_, 1);
}

SqliteConnection::~SqliteConnection() {
    // Statements first: a connection closes only when its statements are gone.
    statements_.clear();
    sqlite3_close_v2(db_);
}

void SqliteConnection::Execute(const char* sql) {
    const int result = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (result != SQLITE_OK) ThrowError(result);
}

SqliteStatement& SqliteConnection::Statement(std::string_view sql) {
    auto found = statements_.find(std::string(sql));
    if (found != statements_.end()) return *found->second;
    auto statement = std::make_unique<SqliteStatement>(*this, db_, sql);
    return *statements_.emplace(std::string(sql), std::move(statement)).first->second;
}

int64_t SqliteConnection::LastInsertRowId() const { return sqlite3_last_insert_rowid(db_); }

void SqliteConnection::ThrowError(int resultCode) const { throw HistoryError(file_, ErrorText(db_, resultCode)); }

}  // namespace corvasse
