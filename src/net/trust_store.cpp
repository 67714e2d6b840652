#include "net/trust_store.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "common/byte_string.h"
#include "net/openssl_library.h"

namespace corvasse {

namespace {

// Eight lower-case hex digits, a dot and a sequence number: "9d6523ce.0".
bool IsHashName(std::string_view name) {
    constexpr size_t kHashDigits = 8;
    const std::string_view hash = name.substr(0, kHashDigits);
    return name.size() > kHashDigits + 1 && name[kHashDigits] == '.' &&
           hash.find_first_not_of("0123456789abcdef") == std::string_view::npos &&
           IsDecimalDigits(name.substr(kHashDigits + 1));
}

bool FolderHoldsHashName(const std::string& folder) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), last; !error && it != last; it.increment(error)) {
        if (IsHashName(it->path().filename().string())) return true;
    }
    return false;
}

}  // namespace

bool HoldsHashedCertificates(const std::string& folders) {
    std::string_view rest = folders;
    for (;;) {
        const size_t colon = rest.find(':');
        const std::string folder(rest.substr(0, colon));
        if (!folder.empty() && FolderHoldsHashName(folder)) return true;
        if (colon == std::string_view::npos) return false;
        rest.remove_prefix(colon + 1);
    }
}

void LoadTrustedCertificates(ssl_ctx_st* context) {
    const OpenSslLibrary& ssl = OpenSsl();
    const char* folders = std::getenv(ssl.X509_get_default_cert_dir_env());
    if (folders == nullptr) folders = ssl.X509_get_default_cert_dir();
    if (std::getenv(ssl.X509_get_default_cert_file_env()) == nullptr && HoldsHashedCertificates(folders)) {
        ssl.SSL_CTX_load_verify_dir(context, folders);
    } else {
        ssl.SSL_CTX_set_default_verify_paths(context);
    }
}

}  // namespace corvasse
