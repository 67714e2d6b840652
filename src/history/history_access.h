#pragma once
// How a database is opened: by a recorder, or by a reader that must never
// change the file (nor be refused because it cannot).

namespace corvasse {

enum class HistoryAccess {
    // Reading and writing; the file is created when missing.
    ReadWrite,
    // Queries only; the file must exist and is never written.
    ReadOnly,
};

}  // namespace corvasse
