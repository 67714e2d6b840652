#include "history/sqlite_connection.h"

#include <unistd.h>

#include <thread>

#include "history/history_error.h"
#include "history/sqlite_library.h"
#include "history/sqlite_statement.h"

namespace corvasse {

namespace {

std::string ErrorText(sqlite3* db, int resultCode) {
    return db != nullptr ? Sqlite().errmsg(db) : Sqlite().errstr(resultCode);
}

// The file as an SQLite URI that has it read as it stands, without locks.
// The authority is always there, empty: a path that begins with "//" would
// be taken for one.
std::string ImmutableUri(const std::filesystem::path& file) {
    std::string uri = "file://";
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
    // The first history opened loads SQLite.
    const SqliteLibrary* sqlite = nullptr;
    try {
        sqlite = &Sqlite();
    } catch (const std::runtime_error& error) {
        throw HistoryError(file_, error.what());
    }
    const int result = sqlite->open_v2(name.c_str(), &db_, flags, nullptr);
    if (result != SQLITE_OK) {
        const std::string reason = ErrorText(db_, result);
        sqlite->close_v2(db_);
        throw HistoryError(file_, reason);
    }
    sqlite->extended_result_codes(db_, 1);
}

SqliteConnection::~SqliteConnection() {
    // Statements first: a connection closes only when its statements are gone.
    statements_.clear();
    Sqlite().close_v2(db_);
}

void SqliteConnection::Execute(const char* sql) {
    const int result = Sqlite().exec(db_, sql, nullptr, nullptr, nullptr);
    if (result != SQLITE_OK) ThrowError(result);
}

void SqliteConnection::ExecuteWhenUnlocked(const char* sql, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        const int result = Sqlite().exec(db_, sql, nullptr, nullptr, nullptr);
        if (result == SQLITE_OK) return;
        if ((result & 0xff) != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline) ThrowError(result);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

SqliteStatement& SqliteConnection::Statement(std::string_view sql) {
    auto found = statements_.find(std::string(sql));
    if (found != statements_.end()) return *found->second;
    auto statement = std::make_unique<SqliteStatement>(*this, db_, sql);
    return *statements_.emplace(std::string(sql), std::move(statement)).first->second;
}

int64_t SqliteConnection::LastInsertRowId() const { return Sqlite().last_insert_rowid(db_); }

void SqliteConnection::ThrowError(int resultCode) const { throw HistoryError(file_, ErrorText(db_, resultCode)); }

}  // namespace corvasse
