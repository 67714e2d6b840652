#include "app/watch/certificate_warnings.h"

#include <chrono>
#include <exception>
#include <optional>

#include "app/alert/alert_sender.h"
#include "app/alert/certificate_expiry_text.h"
#include "app/settings/watch_spec.h"
#include "app/view/monitor_view.h"
#include "app/watch/failure_reason.h"
#include "app/watch/result_keeper.h"
#include "core/peer_certificate.h"

namespace corvasse {

namespace {

constexpr std::chrono::days kLastDay{1};

}  // namespace

CertificateWarnings::CertificateWarnings(MonitorView& view, AlertSender& alert, ResultKeeper& results)
    : view_(view), alert_(alert), results_(results) {}

void CertificateWarnings::Check(const WatchSpec& watchSpec, const PeerCertificate& certificate) {
    if (!watchSpec.certificateProblem.empty()) {
        if (settingSaid_.IsNew(watchSpec.certificateProblem)) view_.ShowLogFailure(watchSpec.certificateProblem);
        return;
    }
    if (!watchSpec.certificateWarnDays) return;
    settingSaid_.Clear();

    const ResultTime now = results_.Now();
    const auto left = certificate.notAfter - now;
    if (left > std::chrono::days(*watchSpec.certificateWarnDays)) return;
    std::string line = CertificateExpiryText(certificate, now);
    line[0] = 'C';
    view_.AddStatusLine(line);

    const CertificateWarning warning{
        certificate.issuer, certificate.serialNumber,
        left <= kLastDay ? CertificateWarningKind::LastDay : CertificateWarningKind::Expiring};
    if (results_.CertificateWarningSent(warning)) return;
    try {
        alert_.SendCertificateWarning(watchSpec, CertificateWarningReport(watchSpec.target, certificate, now),
                                      {NoticeEvent::Certificate, CertificateExpiryText(certificate, now), {}, {}});
    } catch (const NoticePartlyFailedError& error) {
        // Told on another channel; those that failed try again by themselves.
        for (const std::string& failure : error.Lines()) {
            view_.AddStatusLine("Certificate warning: " + failure + "; it is tried again at the next watch.");
        }
    } catch (const std::exception& error) {
        view_.AddStatusLine("Certificate warning not sent: " + FailureReason(error) +
                            "; it is tried again at the next watch.");
        return;
    }
    results_.CertificateWarningMailed(warning);
}

}  // namespace corvasse
