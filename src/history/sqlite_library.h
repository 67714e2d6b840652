#pragma once
// SQLite, loaded when a history is first opened rather than at every start.
// The plugin checks without a history far more often than with one, and a
// loaded SQLite costs every start its relocations: some 1,500 symbol lookups
// as a shared library, or some 15 written pages and the math library when
// linked in.
//
//     Sqlite().step(statement)

#include <sqlite3.h>

namespace corvasse {

// The SQLite functions the history calls, each named without its "sqlite3_".
// clang-format off
#define CORVASSE_SQLITE_FUNCTIONS(X) \
    X(config) \
    X(open_v2) \
    X(close_v2) \
    X(extended_result_codes) \
    X(errmsg) \
    X(errstr) \
    X(exec) \
    X(last_insert_rowid) \
    X(changes) \
    X(prepare_v3) \
    X(finalize) \
    X(reset) \
    X(clear_bindings) \
    X(bind_int64) \
    X(bind_text64) \
    X(step) \
    X(column_type) \
    X(column_int64) \
    X(column_text) \
    X(column_bytes)
// clang-format on

struct SqliteLibrary {
#define CORVASSE_SQLITE_MEMBER(name) decltype(&::sqlite3_##name) name;
    CORVASSE_SQLITE_FUNCTIONS(CORVASSE_SQLITE_MEMBER)
#undef CORVASSE_SQLITE_MEMBER
};

// The library, loaded by the first call. Throws std::runtime_error, saying
// what is missing, when SQLite or one of its functions cannot be loaded; a
// later call tries again.
const SqliteLibrary& Sqlite();

}  // namespace corvasse
