#include "app/certificate_warnings.h"

#include <chrono>
#include <exception>
#include <optional>

#include "app/alert_sender.h"
#include "app/certificate_expiry_text.h"
#include "app/failure_reason.h"
#include "app/monitor_view.h"
#include "app/outage_settings.h"
#include "app/result_keeper.h"
#include "app/setting_keys.h"
#include "app/settings_store.h"
#include "net/peer_certificate.h"

namespace corvasse {

namespace {

constexpr std::chrono::days kLastDay{1};

}  // namespace

CertificateWarnings::CertificateWarnings(const SettingsStore& settings, MonitorView& view, AlertSender& alert,
                                         ResultKeeper& results)
    : settings_(settings), view_(view), alert_(alert), results_(results) {}

void CertificateWarnings::Check(const std::string& target, const PeerCertificate& certificate) {
    const std::string value = ReadSetting(settings_, setting::certWarnDays);
    if (value == kAbsentSetting || value.empty()) return;
    const std::optional<int> days = WholeNumberIn(value, kCertWarnDaysMin, kCertWarnDaysMax);
    if (!days) {
        const std::string problem = "Certificate warnings are off: " + std::string(setting::certWarnDays.name) + "=" +
                                    value + " in the settings file must be a whole number from " +
                                    std::to_string(kCertWarnDaysMin) + " to " + std::to_string(kCertWarnDaysMax) + ".";
        if (settingSaid_.IsNew(problem)) view_.ShowLogFailure(problem);
        return;
    }
    settingSaid_.Clear();

    const ResultTime now = results_.Now();
    const auto left = certificate.notAfter - now;
    if (left > std::chrono::days(*days)) return;
    std::string line = CertificateExpiryText(certificate, now);
    line[0] = 'C';
    view_.AddStatusLine(line);

    const CertificateWarning warning{
        certificate.issuer, certificate.serialNumber,
        left <= kLastDay ? CertificateWarningKind::LastDay : CertificateWarningKind::Expiring};
    if (results_.CertificateWarningSent(warning)) return;
    try {
        alert_.SendCertificateWarning(CertificateWarningReport(target, certificate, now));
    } catch (const std::exception& error) {
        view_.AddStatusLine("Certificate warning not sent: " + FailureReason(error) +
                            "; it is tried again at the next watch.");
        return;
    }
    results_.CertificateWarningMailed(warning);
}

}  // namespace corvasse
