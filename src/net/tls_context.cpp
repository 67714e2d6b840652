#include "net/tls_context.h"

#include <memory>

#include <sys/socket.h>

#include "net/openssl_library.h"
#include "net/tls_error.h"
#include "net/trust_store.h"

namespace corvasse {

namespace {

SSL_CTX* NewContext() {
    const OpenSslLibrary& ssl = OpenSsl();
    SSL_CTX* context = ssl.SSL_CTX_new(ssl.TLS_client_method());
    if (context == nullptr) throw TlsError("TLS cannot be set up: " + LastTlsErrorReason("no TLS context"));
    ssl.SSL_CTX_ctrl(context, SSL_CTRL_SET_MIN_PROTO_VERSION, TLS1_2_VERSION, nullptr);
    ssl.SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    // A store that cannot be read leaves nothing trusted, so every handshake
    // then fails with its verification error; that is the message worth showing.
    LoadTrustedCertificates(context);
    // A peer that closes without close_notify is not taken for one that sent
    // it: the handler tells the two apart, for data framed by the close.
    ssl.SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION);
    ssl.SSL_CTX_ctrl(context, SSL_CTRL_MODE, SSL_MODE_ENABLE_PARTIAL_WRITE, nullptr);
    ssl.ERR_clear_error();
    return context;
}

int SendWithoutSignal(BIO* bio, const char* data, int length) {
    const OpenSslLibrary& ssl = OpenSsl();
    const auto socket = static_cast<int>(ssl.BIO_ctrl(bio, BIO_C_GET_FD, 0, nullptr));
    const auto sent = send(socket, data, static_cast<size_t>(length), MSG_NOSIGNAL);
    ssl.BIO_clear_flags(bio, BIO_FLAGS_RWS | BIO_FLAGS_SHOULD_RETRY);
    if (sent <= 0 && ssl.BIO_sock_should_retry(static_cast<int>(sent))) {
        ssl.BIO_set_flags(bio, BIO_FLAGS_WRITE | BIO_FLAGS_SHOULD_RETRY);
    }
    return static_cast<int>(sent);
}

// OpenSSL's socket BIO with the write replaced.
BIO_METHOD* NewSocketMethod() {
    const OpenSslLibrary& ssl = OpenSsl();
    const BIO_METHOD* socket = ssl.BIO_s_socket();
    BIO_METHOD* method = ssl.BIO_meth_new(BIO_TYPE_SOCKET, "socket without SIGPIPE");
    if (method == nullptr) return nullptr;
    ssl.BIO_meth_set_write(method, SendWithoutSignal);
    ssl.BIO_meth_set_read(method, ssl.BIO_meth_get_read(socket));
    ssl.BIO_meth_set_puts(method, ssl.BIO_meth_get_puts(socket));
    ssl.BIO_meth_set_ctrl(method, ssl.BIO_meth_get_ctrl(socket));
    ssl.BIO_meth_set_create(method, ssl.BIO_meth_get_create(socket));
    ssl.BIO_meth_set_destroy(method, ssl.BIO_meth_get_destroy(socket));
    return method;
}

void FreeMethod(BIO_METHOD* method) { OpenSsl().BIO_meth_free(method); }

void FreeContext(SSL_CTX* context) { OpenSsl().SSL_CTX_free(context); }

}  // namespace

bio_st* NewSocketBio(int socket) {
    static const std::unique_ptr<BIO_METHOD, decltype(&FreeMethod)> method(NewSocketMethod(), &FreeMethod);
    const OpenSslLibrary& ssl = OpenSsl();
    BIO* bio = method ? ssl.BIO_new(method.get()) : nullptr;
    if (bio == nullptr) throw TlsError("TLS cannot be set up: " + LastTlsErrorReason("no socket BIO"));
    ssl.BIO_int_ctrl(bio, BIO_C_SET_FD, BIO_NOCLOSE, socket);
    return bio;
}

ssl_ctx_st* SharedTlsContext() {
    static const std::unique_ptr<SSL_CTX, decltype(&FreeContext)> context(NewContext(), &FreeContext);
    return context.get();
}

std::string LastTlsErrorReason(const std::string& fallback) {
    const OpenSslLibrary& ssl = OpenSsl();
    const unsigned long error = ssl.ERR_peek_last_error();
    const char* reason = error != 0 ? ssl.ERR_reason_error_string(error) : nullptr;
    return reason != nullptr ? reason : fallback;
}

}  // namespace corvasse
