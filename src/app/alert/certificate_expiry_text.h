#pragma once
// The words for a server certificate's end of validity, the same in the
// plugin's status line, the window's pane and the warning mail: the end in
// UTC to the minute, "2027-01-02 12:00 UTC", and the whole days left. The
// certificate's names are the server's text: they go in as ShortServerText
// makes them.

#include <chrono>
#include <string>

#include "core/peer_certificate.h"

namespace corvasse {

// The whole days from now to the certificate's end, rounded down (negative
// once it has ended).
std::chrono::days WholeDaysLeft(const PeerCertificate& certificate, std::chrono::system_clock::time_point now);

// "2027-01-02 12:00 UTC"
std::string CertificateEndText(std::chrono::system_clock::time_point end);

// "certificate for HOST expires in 9 days (2027-01-02 12:00 UTC)" ("in 1
// day"), or "certificate for HOST has expired (2027-01-02 12:00 UTC)".
std::string CertificateExpiryText(const PeerCertificate& certificate, std::chrono::system_clock::time_point now);

// The warning mail's report, each line ended by LF: the date line, then
//     Watching address: ADDRESS
//     Certificate for: HOST
//     Expires: 2027-01-02 12:00 UTC
//     Days left: 9
//     Issuer: CN=Example CA,O=Example
std::string CertificateWarningReport(const std::string& target, const PeerCertificate& certificate,
                                     std::chrono::system_clock::time_point now);

}  // namespace corvasse
