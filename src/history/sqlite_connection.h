#pragma once
// One open SQLite database (the C API's sqlite3*), closed exactly once when
// the object goes. It keeps the statements it prepared for reuse, since
// preparing costs more than running most of them.
//
//     SqliteConnection db(path);
//     db.Execute("PRAGMA journal_mode=WAL");
//     db.Statement("INSERT INTO t VALUES (?1)").Execute({int64_t{7}});
//
// Every failure throws HistoryError with the file's path and SQLite's text.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "history/history_access.h"

struct sqlite3;

namespace corvasse {

class SqliteStatement;

class SqliteConnection {
public:
    explicit SqliteConnection(std::filesystem::path file, HistoryAccess access = HistoryAccess::ReadWrite);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    const std::filesystem::path& File() const { return file_; }

    // Runs SQL text of one or more statements, ignoring any rows they return.
    void Execute(const char* sql);

    // The statement for this SQL text, prepared at its first use and kept as
    // long as the connection.
    SqliteStatement& Statement(std::string_view sql);

    // The rowid of the latest INSERT.
    int64_t LastInsertRowId() const;

    // Throws the HistoryError for the result code of a call that failed on
    // this connection.
    [[noreturn]] void ThrowError(int resultCode) const;

private:
    std::filesystem::path file_;
    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, std::unique_ptr<SqliteStatement>> statements_;
};

}  // namespace corvasse
