#include "net/tls_context.h"

#include <memory>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include "net/tls_error.h"

namespace corvasse {

namespace {

SSL_CTX* NewContext() {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (context == nullptr) throw TlsError("TLS cannot be set up: " + LastTlsErrorReason("no TLS context"));
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    // A store that cannot be read leaves nothing trusted, so every handshake
    // then fails with its verification error; that is the message worth showing.
    SSL_CTX_set_default_verify_paths(context);
    // A peer that closes without close_notify ends the stream as a plain
    // close would; the protocols above know where their data ends.
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF | SSL_OP_NO_RENEGOTIATION);
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE);
    ERR_clear_error();
    return context;
}

}  // namespace

ssl_ctx_st* SharedTlsContext() {
    static const std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(NewContext(), &SSL_CTX_free);
    return context.get();
}

std::string LastTlsErrorReason(const std::string& fallback) {
    const unsigned long error = ERR_peek_last_error();
    const char* reason = error != 0 ? ERR_reason_error_string(error) : nullptr;
    return reason != nullptr ? reason : fallback;
}

}  // namespace corvasse
