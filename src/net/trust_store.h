#pragma once
// The certificates a TLS client trusts: the system's, or those SSL_CERT_FILE
// and SSL_CERT_DIR name instead, as OpenSSL's own default paths.
//
// Debian keeps them twice: one bundle file (some 140 certificates, about
// 20 ms to parse at every start of the plugin) and a folder with a link per
// certificate named by its subject hash. With such a folder (and no
// SSL_CERT_FILE) only the folder is used: a handshake reads just the issuers
// it needs. Without one the bundle file is read as well, as before.

#include <string>

struct ssl_ctx_st;

namespace corvasse {

// Sets the context's trusted certificates as above.
void LoadTrustedCertificates(ssl_ctx_st* context);

// True when one of the folders (separated by ':') holds an entry named as
// update-ca-certificates and `openssl rehash` name them ("9d6523ce.0").
bool HoldsHashedCertificates(const std::string& folders);

}  // namespace corvasse
