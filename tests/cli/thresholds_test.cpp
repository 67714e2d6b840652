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
using std::chrono::hours;
using std::chrono::microseconds;
using std::chrono::milliseconds;
using std::chrono::seconds;
using enum CheckStatus;
constexpr TimeUnit kSeconds = TimeUnit::Seconds, kMilliseconds = TimeUnit::Milliseconds;

TEST(ThresholdsTest, TimesPastTheirThresholds) {
    const struct {
        microseconds time;
        TimeThresholds thresholds;
        TimeUnit unit;
        CheckStatus status;
        std::string reason;
        std::string fields;
    } cases[] = {
        {seconds(1), {seconds(1), std::nullopt}, kSeconds, Ok, "", ";1;"},
        {microseconds(1000001), {seconds(1), std::nullopt}, kSeconds, Warning, "more than 1 s", ";1;"},
        {milliseconds(2500), {seconds(1), seconds(2)}, kSeconds, Critical, "more than 2 s", ";1;2"},
        {milliseconds(1500), {std::nullopt, milliseconds(1250)}, kSeconds, Critical, "more than 1.25 s", ";;1.25"},
        {milliseconds(150), {milliseconds(100), seconds(3)}, kMilliseconds, Warning, "more than 100 ms", ";100;3000"},
        {milliseconds(1), {microseconds(500), std::nullopt}, kMilliseconds, Warning, "more than 0.5 ms", ";0.5;"},
        {seconds(100), {}, kSeconds, Ok, "", ";;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.time.count());
        const Verdict verdict = JudgeTime(c.time, c.thresholds, c.unit);
        EXPECT_EQ(verdict.status, c.status);
        EXPECT_EQ(verdict.reason, c.reason);
        EXPECT_EQ(ThresholdFields(c.thresholds, c.unit), c.fields);
    }
    EXPECT_EQ(DecimalText(microseconds(1340123), kSeconds), "1.340123");
    EXPECT_EQ(DecimalText(microseconds(0), kSeconds), "0");
}

TEST(ThresholdsTest, CertificatesNearTheirEnd) {
    // 2027-01-02 12:00:00 UTC
    const auto end = std::chrono::sys_days(std::chrono::year(2027) / 1 / 2) + hours(12);
    const PeerCertificate certificate{"shop.example", end, "CN=Example CA", "1A2B"};
    const struct {
        const char* name;
        std::chrono::system_clock::duration left;
        CertificateDays days;
        CheckStatus status;
        std::string text;      // between "certificate for shop.example " and its end
        std::string perfData;  // after "cert_days="
    } cases[] = {
        {"a second outside", days(14) + seconds(1), {days(14), days(3)}, Ok, "expires in 14 days", "14;14;3;0"},
        {"exactly the warning days", days(14), {days(14), days(3)}, Warning, "expires in 14 days", "14;14;3;0"},
        {"part of a day is none", days(9) + hours(23), {days(14), days(3)}, Warning, "expires in 9 days", "9;14;3;0"},
        {"exactly the critical days", days(3), {days(14), days(3)}, Critical, "expires in 3 days", "3;14;3;0"},
        {"one day, no critical days", days(1) + seconds(5), {days(7), {}}, Warning, "expires in 1 day", "1;7;;0"},
        {"ended a moment ago", -seconds(1), {days(7), {}}, Critical, "has expired", "-1;7;;0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CertificateVerdict verdict = JudgeCertificate(certificate, c.days, end - c.left);
        EXPECT_EQ(verdict.status, c.status);
        EXPECT_EQ(verdict.text, "certificate for shop.example " + c.text + " (2027-01-02 12:00 UTC)");
        EXPECT_EQ(verdict.perfData, "cert_days=" + c.perfData);
    }
    const CertificateVerdict none = JudgeCertificate(std::nullopt, {days(14), days(3)}, end);
    EXPECT_EQ(none.status, Unknown);
    EXPECT_EQ(none.perfData, "");
}

}  // namespace
}  // namespace corvasse
