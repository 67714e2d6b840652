#pragma once
// The limits a monitoring engine sets beside the watch: a response time past
// which a watch that passed is WARNING or CRITICAL (-w, -c), and how many days
// before its end a server certificate is (--certificate-days).

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "cli/check_status.h"
#include "core/peer_certificate.h"

namespace corvasse {

struct TimeThresholds {
    std::optional<std::chrono::microseconds> warning;
    std::optional<std::chrono::microseconds> critical;
};

struct CertificateDays {
    std::chrono::days warning{0};
    std::optional<std::chrono::days> critical;
};

// The unit a time is shown in: a fetch's in seconds, a ping's in milliseconds.
enum class TimeUnit { Seconds, Milliseconds };

// What a threshold makes of a value: its state and, when it is past one,
// why ("more than 1 s").
struct Verdict {
    CheckStatus status = CheckStatus::Ok;
    std::string reason;
};

// The time against the thresholds: past critical CRITICAL, else past
// warning WARNING, else OK; a time equal to a threshold is not past it.
Verdict JudgeTime(std::chrono::microseconds time, const TimeThresholds& thresholds, TimeUnit unit);

// ";W;C" for a performance value: the thresholds in the unit, each empty when
// it is not set.
std::string ThresholdFields(const TimeThresholds& thresholds, TimeUnit unit);

// A whole number of microseconds as a decimal in the unit, without trailing
// zeros ("1", "0.25"; 1340123 us in seconds "1.340123").
std::string DecimalText(std::chrono::microseconds time, TimeUnit unit);

// The certificate's verdict, text and performance data.
struct CertificateVerdict {
    CheckStatus status = CheckStatus::Ok;
    // "certificate for HOST expires in 9 days (2027-01-02 12:00 UTC)"
    std::string text;
    // "cert_days=9;14;3;0"; empty without a certificate.
    std::string perfData;
};

// The certificate against the days: CRITICAL when it ends within the
// critical days, WARNING within the warning days, else OK; the days shown
// are whole days left. No certificate is UNKNOWN: the page did not come over
// https.
CertificateVerdict JudgeCertificate(const std::optional<PeerCertificate>& certificate, const CertificateDays& days,
                                    std::chrono::system_clock::time_point now);

}  // namespace corvasse
