#include "net/trust_store.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>

#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace corvasse {

namespace {

// Eight hex digits, a dot and a sequence number: "9d6523ce.0".
bool IsHashName(std::string_view name) {
    constexpr size_t kHashDigits = 8;
    if (name.size() < kHashDigits + 2 || name[kHashDigits] != '.') return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool ok = i < kHashDigits ? (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')
                                        : i == kHashDigits || (c >= '0' && c <= '9');
        if (!ok) return false;
    }
    return true;
}

}  // namespace

bool HoldsHashedCertificates(const std::string& folders) {
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = folders.substr(start, end - start);
        std::error_code error;
        if (!folder.empty()) {
            for (std::filesystem::directory_iterator it(folder, error), last; !error && it != last;
                 it.increment(error)) {
                if (IsHashName(it->path().filename().string())) return true;
            }
        }
        start = end + 1;
    }
    return false;
}

void LoadTrustedCertificates(ssl_ctx_st* context) {
    const char* folders = std::getenv(X509_get_default_cert_dir_env());
    if (folders == nullptr) folders = X509_get_default_cert_dir();
    if (std::getenv(X509_get_default_cert_file_env()) == nullptr && HoldsHashedCertificates(folders)) {
        SSL_CTX_load_verify_dir(context, folders);
    } else {
        SSL_CTX_set_default_verify_paths(context);
    }
}

}  // namespace corvasse
