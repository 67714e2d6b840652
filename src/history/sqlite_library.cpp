#include "history/sqlite_library.h"

#include <dlfcn.h>

#include <stdexcept>
#include <string>
#include <type_traits>

namespace corvasse {

namespace {

// The name Debian's libsqlite3-0 installs the library under.
constexpr char kLibraryName[] = "libsqlite3.so.0";

[[noreturn]] void ThrowLoaderError() {
    const char* error = dlerror();
    throw std::runtime_error(std::string("SQLite cannot be loaded: ") + (error != nullptr ? error : "unknown error"));
}

SqliteLibrary Load() {
    // Never closed: the history may be used until the process ends.
    void* library = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) ThrowLoaderError();
    SqliteLibrary functions;
    auto bind = [&](auto& function, const char* name) {
        void* symbol = dlsym(library, name);
        if (symbol == nullptr) ThrowLoaderError();
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(symbol);
    };
#define CORVASSE_SQLITE_BIND(name) bind(functions.name, "sqlite3_" #name);
    CORVASSE_SQLITE_FUNCTIONS(CORVASSE_SQLITE_BIND)
#undef CORVASSE_SQLITE_BIND
    // Before SQLite starts: no connection's page cache begins with a block of
    // 20 pages (some 80 KB) that a watch's few reads never fill; pages are
    // taken one by one as they are needed. A service keeps one connection
    // per watch, a thousand of them.
    functions.config(SQLITE_CONFIG_PAGECACHE, nullptr, 0, 0);
    return functions;
}

}  // namespace

const SqliteLibrary& Sqlite() {
    static const SqliteLibrary library = Load();
    return library;
}

}  // namespace corvasse
