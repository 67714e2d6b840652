#pragma once
// A test certificate authority and server certificates, made at test time
// with the openssl command in a folder that lasts as long as the test
// process. No key is ever committed.
//
//     const test::TestPki& pki = test::TestCertificates();   // before any TLS
//     NginxServer server("", pki.localhost);
//
// The first call points SSL_CERT_FILE at the test CA, so the process's TLS
// context (made once, at the first handshake) trusts it and nothing else of
// its own. Throws std::runtime_error (with openssl's output) on failure.

#include <chrono>
#include <filesystem>

namespace corvasse::test {

struct CertificateFiles {
    std::filesystem::path certificate;  // PEM
    std::filesystem::path key;          // PEM, unencrypted
};

struct TestPki {
    // Where the CA and its files are.
    std::filesystem::path folder;
    std::filesystem::path caCertificate;
    // A folder holding the CA alone, named by its subject hash as in
    // /etc/ssl/certs ("9d6523ce.0"), for SSL_CERT_DIR.
    std::filesystem::path hashedCaFolder;
    CertificateFiles localhost;  // for localhost, 127.0.0.1 and ::1, by the test CA
    CertificateFiles wrongName;  // for www.example.org only, by the test CA
    CertificateFiles expired;    // for localhost and 127.0.0.1, by the test CA, expired in 2020
    CertificateFiles unknownCa;  // for localhost and 127.0.0.1, by a CA nobody trusts
    // By the test CA, naming 127.0.0.1 as a host name (DNS:127.0.0.1), or only
    // in the subject's common name (no alternative names): neither is an IP
    // address entry.
    CertificateFiles ipAsName;
    CertificateFiles ipInCommonName;
};

const TestPki& TestCertificates();

// A certificate for localhost and 127.0.0.1 by the test CA whose validity
// began a day ago and ends at `end` (to the second, UTC), made afresh by
// each call with a serial number of its own.
CertificateFiles CertificateEndingAt(std::chrono::system_clock::time_point end);

}  // namespace corvasse::test
