#include "app/alert/certificate_expiry_text.h"

#include <ctime>

#include "app/alert/alert_report.h"
#include "common/server_text.h"

namespace corvasse {

std::chrono::days WholeDaysLeft(const PeerCertificate& certificate, std::chrono::system_clock::time_point now) {
    return std::chrono::floor<std::chrono::days>(certificate.notAfter - now);
}

std::string CertificateEndText(std::chrono::system_clock::time_point end) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(end);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &parts);
    return text;
}

std::string CertificateExpiryText(const PeerCertificate& certificate, std::chrono::system_clock::time_point now) {
    const std::string end = " (" + CertificateEndText(certificate.notAfter) + ")";
    const std::string host = ShortServerText(certificate.host);
    if (certificate.notAfter < now) return "certificate for " + host + " has expired" + end;
    const int64_t days = WholeDaysLeft(certificate, now).count();
    return "certificate for " + host + " expires in " + std::to_string(days) + (days == 1 ? " day" : " days") + end;
}

std::string CertificateWarningReport(const std::string& target, const PeerCertificate& certificate,
                                     std::chrono::system_clock::time_point now) {
    return FormatAlertDate(std::chrono::system_clock::to_time_t(now)) + "\n" +  //
           "Watching address: " + target + "\n" +                               //
           "Certificate for: " + ShortServerText(certificate.host) + "\n" +     //
           "Expires: " + CertificateEndText(certificate.notAfter) + "\n" +      //
           "Days left: " + std::to_string(WholeDaysLeft(certificate, now).count()) + "\n" +
           "Issuer: " + ShortServerText(certificate.issuer) + "\n";
}

}  // namespace corvasse
