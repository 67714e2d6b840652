#include "history/sqlite_library.h"

#include <dlfcn.h>

#include <stdexcept>
#include <string>
#include <type_traits>

namespace corvasse {

namespace {

// The name Debian's libsqlite3-0 installs the library under.
constexpr char kLibraryName[] = "libsqlite3.so.0";

std::string LoaderError() {
    const char* error = dlerror();
    return error != nullptr ? error : "unknown error";
}

SqliteLibrary Load() {
    // Never closed: the history may be used until the process ends.
    void* library = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) throw std::runtime_error("SQLite cannot be loaded: " + LoaderError());
    SqliteLibrary functions;
    auto bind = [&](auto& function, const char* name) {
        void* symbol = dlsym(library, name);
        if (symbol == nullptr) throw std::runtime_error("SQLite cannot be loaded: " + LoaderError());
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(symbol);
    };
#define CORVASSE_SQLITE_BIND(name) bind(functions.name, "sqlite3_" #name);
    CORVASSE_SQLITE_FUNCTIONS(CORVASSE_SQLITE_BIND)
#undef CORVASSE_SQLITE_BIND
    return functions;
}

}  // namespace

const SqliteLibrary& Sqlite() {
    static const SqliteLibrary library = Load();
    return library;
}

}  // namespace corvasse
