#pragma once
// One transaction on a connection, rolled back when the object goes without
// Commit() (an error on the way leaves the database as it was).
//
//     SqliteTransaction transaction(db, TransactionKind::Write);
//     ...statements...
//     transaction.Commit();

namespace corvasse {

class SqliteConnection;

enum class TransactionKind {
    // Every statement of it sees the database as it was at its first read.
    Read,
    // Takes the write lock at once (waiting for other writers as long as the
    // busy time-out lets it), so that what it reads cannot change before it
    // writes.
    Write,
};

class SqliteTransaction {
public:
    // Throws HistoryError.
    SqliteTransaction(SqliteConnection& connection, TransactionKind kind);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    // Throws HistoryError; the destructor then rolls back.
    void Commit();

private:
    SqliteConnection& connection_;
    bool open_ = true;
};

}  // namespace corvasse
