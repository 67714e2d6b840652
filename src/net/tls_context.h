#pragma once
// The one OpenSSL client context of the process: TLS 1.2 at least, the peer's
// certificate always verified against the system's trusted certificates
// (net/trust_store.h; SSL_CERT_FILE and SSL_CERT_DIR are honoured, so a
// private CA needs no code).
// There is no way to turn verification off.

#include <string>

struct bio_st;
struct ssl_ctx_st;

namespace corvasse {

// Created at the first call and kept until the process ends. Throws TlsError
// when OpenSSL cannot make it.
ssl_ctx_st* SharedTlsContext();

// A BIO over the socket that sends with MSG_NOSIGNAL: OpenSSL's own socket
// BIO writes plainly, and a write to a peer that has gone raises SIGPIPE,
// which ends the process. The socket stays open when the BIO is freed.
// Throws TlsError when OpenSSL cannot make it.
bio_st* NewSocketBio(int socket);

// The reason of the latest OpenSSL error on this thread ("wrong version
// number"), or fallback when OpenSSL recorded none.
std::string LastTlsErrorReason(const std::string& fallback);

}  // namespace corvasse
