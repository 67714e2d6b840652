#include "net/openssl_library.h"

#include <dlfcn.h>

#include <string>
#include <type_traits>

#include "net/tls_error.h"

namespace corvasse {

namespace {

// The name Debian's libssl3 installs the library under; libcrypto comes with
// it, and its functions are found through it.
constexpr char kLibraryName[] = "libssl.so.3";

[[noreturn]] void ThrowLoaderError() {
    const char* error = dlerror();
    throw TlsError(std::string("TLS cannot be set up: OpenSSL cannot be loaded: ") +
                   (error != nullptr ? error : "unknown error"));
}

OpenSslLibrary Load() {
    // Never closed: sessions may start until the process ends.
    void* library = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) ThrowLoaderError();
    OpenSslLibrary functions;
    auto bind = [&](auto& function, const char* name) {
        void* symbol = dlsym(library, name);
        if (symbol == nullptr) ThrowLoaderError();
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(symbol);
    };
#define CORVASSE_OPENSSL_BIND(name) bind(functions.name, #name);
    CORVASSE_OPENSSL_FUNCTIONS(CORVASSE_OPENSSL_BIND)
#undef CORVASSE_OPENSSL_BIND
    return functions;
}

}  // namespace

const OpenSslLibrary& OpenSsl() {
    static const OpenSslLibrary library = Load();
    return library;
}

}  // namespace corvasse
