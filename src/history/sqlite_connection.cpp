#include "history/sqlite_connection.h"

#include <sqlite3.h>
#include <unistd.h>

#include "history/history_error.h"
#include "history/sqlite_statement.h"

namespace corvasse {

namespace {

std::string ErrorText(sqlite3* db, int resultCode) {
    return db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(resultCode);
}

// The file as an SQLite URI that has it read as it stands, without locks.
std::string ImmutableUri(const std::filesystem::path& file) {
    std::string uri = "file:";
    for (char c : file.string()) {
        if (c == '%' || c == '?' || c == '#') {
            static constexpr char kHex[] = "0123456789ABCDEF";
            uri += '%';
            uri += kHex[static_cast<unsigned char>(c) >> 4];
            uri += kHex[c & 15];
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

// A reader of a database in write-ahead-log mode needs the log's index file
// beside it, and cannot make one in a folder it may not write (a read-only
// disk, a backup). There, with no log file left, the database file holds
// every committed transaction and no writer can be at work (it would need the
// folder for its log): the file is read as it stands.
bool ReadAsItStands(const std::filesystem::path& file) {
    std::error_code error;
    return ::access(file.parent_path().c_str(), W_OK) != 0 && !std::filesystem::exists(file.string() + "-wal", error) &&
           !error;
}

}  // namespace

SqliteConnection::SqliteConnection(std::filesystem::path file, HistoryAccess access) : file_(std::move(file)) {
    int flags = access == HistoryAccess::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    std::string name = file_.string();
    if (access == HistoryAccess::ReadOnly && ReadAsItStands(file_)) {
        name = ImmutableUri(file_);
        flags |= SQLITE_OPEN_URI;
    }
    const int result = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
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
