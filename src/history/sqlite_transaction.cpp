#include "history/sqlite_transaction.h"

#include "history/history_error.h"
#include "history/sqlite_connection.h"

namespace corvasse {

SqliteTransaction::SqliteTransaction(SqliteConnection& connection, TransactionKind kind) : connection_(connection) {
    connection_.Execute(kind == TransactionKind::Write ? "BEGIN IMMEDIATE" : "BEGIN DEFERRED");
}

SqliteTransaction::~SqliteTransaction() {
    if (!open_) return;
    try {
        connection_.Execute("ROLLBACK");
    } catch (const HistoryError&) {
        // SQLite rolls back by itself after some errors; nothing is left to undo then.
    }
}

void SqliteTransaction::Commit() {
    connection_.Execute("COMMIT");
    open_ = false;
}

}  // namespace corvasse
