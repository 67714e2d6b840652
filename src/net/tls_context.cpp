#include "net/tls_context.h"

#include <memory>

#include <sys/socket.h>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

#include "net/tls_error.h"
#include "net/trust_store.h"

namespace corvasse {

namespace {

SSL_CTX* NewContext() {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (context == nullptr) throw TlsError("TLS cannot be set up: " + LastTlsErrorReason("no TLS context"));
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    // A store that cannot be read leaves nothing trusted, so every handshake
    // then fails with its verification error; that is the message worth showing.
    LoadTrustedCertificates(context);
    // A peer that closes without close_notify is not taken for one that sent
    // it: the handler tells the two apart, for data framed by the close.
    SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION);
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE);
    ERR_clear_error();
    return context;
}

int SendWithoutSignal(BIO* bio, const char* data, int length) {
    const auto sent = send(static_cast<int>(BIO_get_fd(bio, nullptr)), data, static_cast<size_t>(length), MSG_NOSIGNAL);
    BIO_clear_retry_flags(bio);
    if (sent <= 0 && BIO_sock_should_retry(static_cast<int>(sent))) BIO_set_retry_write(bio);
    return static_cast<int>(sent);
}

// OpenSSL's socket BIO with the write replaced.
BIO_METHOD* NewSocketMethod() {
    const BIO_METHOD* socket = BIO_s_socket();
    BIO_METHOD* method = BIO_meth_new(BIO_TYPE_SOCKET, "socket without SIGPIPE");
    if (method == nullptr) return nullptr;
    BIO_meth_set_write(method, SendWithoutSignal);
    BIO_meth_set_read(method, BIO_meth_get_read(socket));
    BIO_meth_set_puts(method, BIO_meth_get_puts(socket));
    BIO_meth_set_ctrl(method, BIO_meth_get_ctrl(socket));
    BIO_meth_set_create(method, BIO_meth_get_create(socket));
    BIO_meth_set_destroy(method, BIO_meth_get_destroy(socket));
    return method;
}

}  // namespace

bio_st* NewSocketBio(int socket) {
    static const std::unique_ptr<BIO_METHOD, decltype(&BIO_meth_free)> method(NewSocketMethod(), &BIO_meth_free);
    BIO* bio = method ? BIO_new(method.get()) : nullptr;
    if (bio == nullptr) throw TlsError("TLS cannot be set up: " + LastTlsErrorReason("no socket BIO"));
    BIO_set_fd(bio, socket, BIO_NOCLOSE);
    return bio;
}

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
