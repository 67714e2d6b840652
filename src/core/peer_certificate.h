#pragma once
// What a TLS server's own certificate says about itself: the facts a watch
// needs to warn before it expires and to tell one certificate from the next.

#include <chrono>
#include <string>

namespace corvasse {

struct PeerCertificate {
    // The host it was verified for, as the address names it.
    std::string host;
    // The end of its validity (notAfter).
    std::chrono::system_clock::time_point notAfter;
    // Who issued it, as an RFC 2253 name ("CN=Example CA,O=Example").
    std::string issuer;
    // Its serial number in upper-case hexadecimal ("1A2B"), which with the
    // issuer names the certificate.
    std::string serialNumber;
};

}  // namespace corvasse
