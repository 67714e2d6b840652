#include "app/alert/alert_report.h"
#include "app/settings/watch_spec.h"

#include <gtest/gtest.h>

#include <functional>
#include <regex>

#include "app/watch_rig.h"
#include "support/scoped_environment.h"

namespace corvasse {
namespace {

class AlertReportTest : public ::testing::Test, protected test::WatchRig {
protected:
    AlertReportTest() {
        form.texts[Field::txtURL2watch] = "http://127.0.0.1:8080/index.html";
        form.texts[Field::txtFileSize] = "1000";
        form.texts[Field::txtLookFor] = "Welcome";
        form.texts[Field::editIPaddr] = " host.example ";
    }

    // The report without its first line, which holds the time.
    std::string AfterDateLine() const {
        const size_t end = report.AlertText.find('\n');
        EXPECT_TRUE(std::regex_match(report.AlertText.substr(0, end),
                                     std::regex(R"(\d\d/\d\d/\d{4}, (0[1-9]|1[0-2]):[0-5]\d (AM|PM))")))
            << report.AlertText;
        return report.AlertText.substr(end + 1);
    }

    // The watch as the form and the settings describe it, and what it found.
    WatchSpec Described() const { return ReadWatchSpec(form, settings); }

    AlertReport report{log, view};
    WatchOutcome outcome;
};

TEST_F(AlertReportTest, EachCheckTypeWritesItsLineAndEveryReportGoesToTheLogAsOneEntry) {
    const std::string address = "Watching address: http://127.0.0.1:8080/index.html\n";
    const std::string reply = "HTTP reply #:HTTP/1.1 404 Not Found, Last Error Number was 404\n";
    const std::string sized = address + "Expected file size:1000, Actual file size:2048\n" + reply;
    const std::string warning = "WARNING: no value found for \"checktype\".\n";
    const struct {
        const char* name;
        const char* checkType;  // nullptr: none
        std::function<void()> arrange;
        std::string text;  // after the date line, unless it is the warning
    } rows[] = {
        {"file size", "filesize", [] {}, sized + "----------\n"},
        {"the families a watch failed over follow the reply", "filesize",
         [&] {
             outcome.familyFailures = {"Over IPv4 192.0.2.1:80: the page did not pass the content check.",
                                       "Over IPv6 [2001:db8::1]:80: Socket Error # 10060 Connection timed out."};
         },
         sized + "Over IPv4 192.0.2.1:80: the page did not pass the content check.\n"
                 "Over IPv6 [2001:db8::1]:80: Socket Error # 10060 Connection timed out.\n"
                 "----------\n"},
        {"a server's status line: no control character, at most 300 bytes", "filesize",
         [&] { outcome.statusLine = "HTTP/1.1 500 X\r\x1b]2;pwned\a" + std::string(1000, 'x'); },
         address + "Expected file size:1000, Actual file size:2048\nHTTP reply #:HTTP/1.1 500 X  ]2;pwned " +
             std::string(272, 'x') + "..., Last Error Number was 404\n----------\n"},
        {"text not found", "lookfor", [] {},
         address + "Looked for but did not find:Welcome\n" + reply + "----------\n"},
        {"text found", "lookfor", [&] { outcome.textFound = true; },
         address + "Looked for and found:Welcome\n" + reply + "----------\n"},
        {"no check type: only the warning", nullptr,
         [&] {
             outcome.statusLine.clear();
             outcome.statusCode = -1;
         },
         warning + "HTTP reply #:, Last Error Number was -1\n----------\n"},
        {"the check type's case matters", "FileSize", [] {}, warning + reply + "----------\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.checkType) {
            settings.WriteSetting("Settings", "checktype", row.checkType);
        } else {
            settings.DeleteSetting("Settings", "checktype");
        }
        outcome = WatchOutcome();
        outcome.pageLength = 2048;
        outcome.statusLine = "HTTP/1.1 404 Not Found";
        outcome.statusCode = 404;
        row.arrange();
        log.Clear();
        report.build_msg(Described(), outcome);
        EXPECT_EQ(row.text.starts_with(warning) ? report.AlertText : AfterDateLine(), row.text);
        // Every call starts afresh, and every call is logged.
        report.build_msg(Described(), outcome);
        EXPECT_EQ(test::ReadFile(logFile), report.AlertText + "\r\n" + report.AlertText + "\r\n");
    }
}

TEST_F(AlertReportTest, AnOutageReportTellsWhatThisWatchFoundAndShortensItsReason) {
    settings.WriteSetting("Settings", "checktype", "lookfor");
    outcome.statusLine = "HTTP/1.1 200 OK";
    outcome.textFound = true;  // by an earlier watch: this one brought no page
    report.BuildOutageReport(Described(), outcome, {{"Reason: a\rb"}});
    const std::string reply = "\nHTTP reply #:HTTP/1.1 200 OK, Last Error Number was -1\nReason: ";
    EXPECT_TRUE(AfterDateLine().ends_with("\nLooked for but did not find:Welcome" + reply + "a b\n----------\n"));
    outcome.pageLength = 2048;
    report.BuildOutageReport(Described(), outcome, {{"Reason: " + std::string(1000, 'x')}});
    EXPECT_TRUE(AfterDateLine().ends_with("\nLooked for and found:Welcome" + reply + std::string(289, 'x') +
                                          "...\n----------\n"));
    // The plain alert keeps telling of the latest check.
    outcome.pageLength = 0;
    report.build_msg(Described(), outcome);
    EXPECT_NE(AfterDateLine().find("\nLooked for and found:Welcome\n"), std::string::npos);
}

TEST(FormatAlertDateTest, TwelveHourClockWithLeadingZeros) {
    test::ScopedEnvironment zone("TZ", "UTC0");
    EXPECT_EQ(FormatAlertDate(1796576700), "12/06/2026, 05:05 PM");  // 17:05 on 6 December 2026
    EXPECT_EQ(FormatAlertDate(1767225600), "01/01/2026, 12:00 AM");  // midnight
    EXPECT_EQ(FormatAlertDate(1767268800), "01/01/2026, 12:00 PM");  // noon
    EXPECT_EQ(FormatAlertDate(1767268740), "01/01/2026, 11:59 AM");
}

}  // namespace
}  // namespace corvasse
