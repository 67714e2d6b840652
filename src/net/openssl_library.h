#pragma once
// OpenSSL, loaded when the first TLS session starts rather than at every
// start. A window, a service or a plugin check that watches http:// pages
// never needs it, and loading libssl and libcrypto costs each start some
// 1.7 ms: their mapping, some 4,000 symbol lookups and their constructors.
//
//     OpenSsl().SSL_read(ssl, buffer, length)
//
// OpenSSL's function-like macros (BIO_get_fd, sk_X509_num, OPENSSL_free, ...)
// call the library directly; the code spells out the call they stand for.

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace corvasse {

// The OpenSSL functions the TLS code calls.
// clang-format off
#define CORVASSE_OPENSSL_FUNCTIONS(X) \
    X(ASN1_INTEGER_to_BN) \
    X(ASN1_STRING_get0_data) \
    X(ASN1_STRING_length) \
    X(ASN1_TIME_to_tm) \
    X(BIO_clear_flags) \
    X(BIO_ctrl) \
    X(BIO_free) \
    X(BIO_int_ctrl) \
    X(BIO_meth_free) \
    X(BIO_meth_get_create) \
    X(BIO_meth_get_ctrl) \
    X(BIO_meth_get_destroy) \
    X(BIO_meth_get_puts) \
    X(BIO_meth_get_read) \
    X(BIO_meth_new) \
    X(BIO_meth_set_create) \
    X(BIO_meth_set_ctrl) \
    X(BIO_meth_set_destroy) \
    X(BIO_meth_set_puts) \
    X(BIO_meth_set_read) \
    X(BIO_meth_set_write) \
    X(BIO_new) \
    X(BIO_s_mem) \
    X(BIO_s_socket) \
    X(BIO_set_flags) \
    X(BIO_sock_should_retry) \
    X(BN_bn2hex) \
    X(BN_free) \
    X(CRYPTO_free) \
    X(ERR_clear_error) \
    X(ERR_peek_last_error) \
    X(ERR_reason_error_string) \
    X(GENERAL_NAMES_free) \
    X(OPENSSL_sk_num) \
    X(OPENSSL_sk_value) \
    X(SSL_CTX_ctrl) \
    X(SSL_CTX_free) \
    X(SSL_CTX_load_verify_dir) \
    X(SSL_CTX_new) \
    X(SSL_CTX_set_default_verify_paths) \
    X(SSL_CTX_set_options) \
    X(SSL_CTX_set_verify) \
    X(SSL_ctrl) \
    X(SSL_do_handshake) \
    X(SSL_free) \
    X(SSL_get0_param) \
    X(SSL_get0_peer_certificate) \
    X(SSL_get_error) \
    X(SSL_get_peer_cert_chain) \
    X(SSL_get_verify_result) \
    X(SSL_get_version) \
    X(SSL_new) \
    X(SSL_peek) \
    X(SSL_read) \
    X(SSL_set1_host) \
    X(SSL_set_bio) \
    X(SSL_set_connect_state) \
    X(SSL_set_hostflags) \
    X(SSL_shutdown) \
    X(SSL_write) \
    X(TLS_client_method) \
    X(X509_NAME_ENTRY_get_data) \
    X(X509_NAME_get_entry) \
    X(X509_NAME_get_index_by_NID) \
    X(X509_NAME_print_ex) \
    X(X509_VERIFY_PARAM_set1_ip_asc) \
    X(X509_get0_notAfter) \
    X(X509_get0_serialNumber) \
    X(X509_get_default_cert_dir) \
    X(X509_get_default_cert_dir_env) \
    X(X509_get_default_cert_file_env) \
    X(X509_get_ext_d2i) \
    X(X509_get_issuer_name) \
    X(X509_get_subject_name) \
    X(X509_verify_cert_error_string)
// clang-format on

struct OpenSslLibrary {
#define CORVASSE_OPENSSL_MEMBER(name) decltype(&::name) name;
    CORVASSE_OPENSSL_FUNCTIONS(CORVASSE_OPENSSL_MEMBER)
#undef CORVASSE_OPENSSL_MEMBER
};

// The library, loaded by the first call. Throws TlsError "TLS cannot be set
// up: OpenSSL cannot be loaded: ..." when libssl or one of its functions is
// missing; a later call tries again.
const OpenSslLibrary& OpenSsl();

}  // namespace corvasse
