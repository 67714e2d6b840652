#include "cli/thresholds.h"

#include "app/alert/certificate_expiry_text.h"

namespace corvasse {

namespace {

const char* UnitName(TimeUnit unit) { return unit == TimeUnit::Seconds ? "s" : "ms"; }

std::string DaysText(std::chrono::days days) { return std::to_string(days.count()); }

}  // namespace

std::string DecimalText(std::chrono::microseconds time, TimeUnit unit) {
    const int64_t scale = unit == TimeUnit::Seconds ? 1000000 : 1000;
    const int64_t count = time.count();
    std::string text = std::to_string(count / scale);
    std::string fraction = std::to_string(count % scale + scale).substr(1);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (!fraction.empty()) text += "." + fraction;
    return text;
}

Verdict JudgeTime(std::chrono::microseconds time, const TimeThresholds& thresholds, TimeUnit unit) {
    auto past = [&](const std::optional<std::chrono::microseconds>& limit,
                    CheckStatus status) -> std::optional<Verdict> {
        if (!limit || time <= *limit) return std::nullopt;
        return Verdict{status, "more than " + DecimalText(*limit, unit) + " " + UnitName(unit)};
    };
    if (auto critical = past(thresholds.critical, CheckStatus::Critical)) return *critical;
    if (auto warning = past(thresholds.warning, CheckStatus::Warning)) return *warning;
    return {};
}

std::string ThresholdFields(const TimeThresholds& thresholds, TimeUnit unit) {
    auto field = [&](const std::optional<std::chrono::microseconds>& limit) {
        return ";" + (limit ? DecimalText(*limit, unit) : std::string());
    };
    return field(thresholds.warning) + field(thresholds.critical);
}

CertificateVerdict JudgeCertificate(const std::optional<PeerCertificate>& certificate, const CertificateDays& days,
                                    std::chrono::system_clock::time_point now) {
    if (!certificate) return {CheckStatus::Unknown, "no certificate: the page did not come over https", ""};
    const auto left = certificate->notAfter - now;
    const auto wholeDays = WholeDaysLeft(*certificate, now);
    CertificateVerdict verdict;
    if (left < decltype(left)::zero() || (days.critical && left <= *days.critical)) {
        verdict.status = CheckStatus::Critical;
    } else if (left <= days.warning) {
        verdict.status = CheckStatus::Warning;
    }
    verdict.text = CertificateExpiryText(*certificate, now);
    verdict.perfData = "cert_days=" + DaysText(wholeDays) + ";" + DaysText(days.warning) + ";" +
                       (days.critical ? DaysText(*days.critical) : std::string()) + ";0";
    return verdict;
}

}  // namespace corvasse
