// The plugin's thresholds at their edges: a time or a certificate exactly at
// a threshold, just past it, and the units they are written in.

#include "cli/thresholds.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

namespace corvasse {
namespace {

using std::chrono::days;
using std::chrono::microseconds;
using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(ThresholdsTest, TimesPastTheirThresholds) {
    const struct {
        microseconds time;
        TimeThresholds thresholds;
        TimeUnit unit;
        CheckStatus status;
        std::string reason;
        std::string fields;
    } cases[] = {
        {seconds(1), {seconds(1), std::nullopt}, TimeUnit::Seconds, CheckStatus::Ok, "", ";1;"},
        {microseconds(1000001),
         {seconds(1), std::nullopt},
         TimeUnit::Seconds,
         CheckStatus::Warning,
         "more than 1 s",
         ";1;"},
        {milliseconds(2500),
         {seconds(1), seconds(2)},
         TimeUnit::Seconds,
         CheckStatus::Critical,
         "more than 2 s",
         ";1;2"},
        {milliseconds(1500),
         {std::nullopt, milliseconds(1250)},
         TimeUnit::Seconds,
         CheckStatus::Critical,
         "more than 1.25 s",
         ";;1.25"},
        {milliseconds(150),
         {milliseconds(100), seconds(3)},
         TimeUnit::Milliseconds,
         CheckStatus::Warning,
         "more than 100 ms",
         ";100;3000"},
        {milliseconds(1),
         {microseconds(500), std::nullopt},
         TimeUnit::Milliseconds,
         CheckStatus::Warning,
         "more than 0.5 ms",
         ";0.5;"},
        {seconds(100), {}, TimeUnit::Seconds, CheckStatus::Ok, "", ";;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.time.count());
        const Verdict verdict = JudgeTime(c.time, c.thresholds, c.unit);
        EXPECT_EQ(verdict.status, c.status);
        EXPECT_EQ(verdict.reason, c.reason);
        EXPECT_EQ(ThresholdFields(c.thresholds, c.unit), c.fields);
    }
    EXPECT_EQ(DecimalText(microseconds(1340123), TimeUnit::Seconds), "1.340123");
    EXPECT_EQ(DecimalText(microseconds(0), TimeUnit::Seconds), "0");
}

TEST(ThresholdsTest, CertificatesNearTheirEnd) {
    // 2027-01-02 12:00:00 UTC
    const auto end = std::chrono::sys_days(std::chrono::year(2027) / 1 / 2) + std::chrono::hours(12);
    const PeerCertificate certificate{"shop.example", end, "CN=Example CA", "1A2B"};
    const struct {
        const char* name;
        std::chrono::system_clock::duration left;
        CertificateDays days;
        CheckStatus status;
        std::string text;
        std::string perfData;
    } cases[] = {
        {"a second outside",
         days(14) + seconds(1),
         {days(14), days(3)},
         CheckStatus::Ok,
         "certificate for shop.example expires in 14 days (2027-01-02 12:00 UTC)",
         "cert_days=14;14;3;0"},
        {"exactly the warning days",
         days(14),
         {days(14), days(3)},
         CheckStatus::Warning,
         "certificate for shop.example expires in 14 days (2027-01-02 12:00 UTC)",
         "cert_days=14;14;3;0"},
        {"part of a day counts as none",
         days(9) + std::chrono::hours(23),
         {days(14), days(3)},
         CheckStatus::Warning,
         "certificate for shop.example expires in 9 days (2027-01-02 12:00 UTC)",
         "cert_days=9;14;3;0"},
        {"exactly the critical days",
         days(3),
         {days(14), days(3)},
         CheckStatus::Critical,
         "certificate for shop.example expires in 3 days (2027-01-02 12:00 UTC)",
         "cert_days=3;14;3;0"},
        {"one day, no critical days",
         days(1) + seconds(5),
         {days(7), std::nullopt},
         CheckStatus::Warning,
         "certificate for shop.example expires in 1 day (2027-01-02 12:00 UTC)",
         "cert_days=1;7;;0"},
        {"ended a moment ago",
         -seconds(1),
         {days(7), std::nullopt},
         CheckStatus::Critical,
         "certificate for shop.example has expired (2027-01-02 12:00 UTC)",
         "cert_days=-1;7;;0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CertificateVerdict verdict = JudgeCertificate(certificate, c.days, end - c.left);
        EXPECT_EQ(verdict.status, c.status);
        EXPECT_EQ(verdict.text, c.text);
        EXPECT_EQ(verdict.perfData, c.perfData);
    }
    const CertificateVerdict none = JudgeCertificate(std::nullopt, {days(14), days(3)}, end);
    EXPECT_EQ(none.status, CheckStatus::Unknown);
    EXPECT_EQ(none.perfData, "");
}

}  // namespace
}  // namespace corvasse
