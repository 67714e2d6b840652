// A watch's results through the history and the outage model, with the clock
// in the test's hands: a watch each minute, an hour of them in no time.

#include "app/watch/result_keeper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/alert/certificate_expiry_text.h"
#include "app/fakes.h"
#include "app/settings/settings_store.h"
#include "app/view/activity_log.h"
#include "app/watch/watch.h"
#include "app/watch/watch_schedule.h"
#include "app/watch/watch_state.h"
#include "common/process_abort.h"
#include "core/peer_certificate.h"
#include "history/history_store.h"
#include "history/sqlite_connection.h"
#include "net/net_error.h"
#include "support/read_only_folder.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"
#include "support/watch_results.h"

namespace corvasse {
namespace {

using std::chrono::minutes;
using Lines = std::vector<std::string>;
using Settings = std::map<std::string, std::string>;

constexpr const char* kUrl = "http://127.0.0.1:8080/index.html";
constexpr const char* kRefused = "Socket Error # 10061\r\nConnection refused.";
constexpr const char* kRefusedReason = "Socket Error # 10061 Connection refused.";
const std::regex kReportDate(R"(\d\d/\d\d/\d{4}, \d\d:\d\d (AM|PM))");

// A watched site and everything its watches run over, in a folder of its own.
class WatchedSite {
public:
    WatchedSite(const std::filesystem::path& folder, const Settings& values,
                WatchRecording recording = WatchRecording::ResultsAndOutages)
        : folder_(folder),
          settings_(folder / "config"),
          log_(folder / "Corvasse.log"),
          results_(view, log_, alert, schedule, settings_.FilePath(), HistoryFile(), recording,
                   [this] { return now; }) {
        form.texts[Field::txtURL2watch] = kUrl;
        form.texts[Field::txtLookFor] = "Welcome";
        form.texts[Field::editIPaddr] = " 127.0.0.1 ";
        web.body = "<h1>Welcome</h1>";
        for (const auto& [key, value] : values) settings_.WriteSetting("Settings", key, value);
    }

    std::filesystem::path HistoryFile() const { return folder_ / "state" / kHistoryFileName; }
    std::filesystem::path SettingsFile() const { return settings_.FilePath(); }
    void RunWatch() { watch_.Run(); }
    std::string Log() const { return test::ReadFile(folder_ / "Corvasse.log"); }

    // Watches a minute after the last watch, one per step: "U" passes, "D"
    // fails; "!" after it: its mails fail, "?": some of their channels fail
    // while others deliver. A step's outcome is what it mailed
    // ("alert" without outage mode; "outage", "remind", "recover"), joined by
    // "+", or "-"; then "!" when the mail's error left the watch.
    std::string Run(const std::string& steps) {
        std::istringstream tokens(steps);
        std::string outcomes;
        for (std::string token; tokens >> token;) {
            if (!outcomes.empty()) outcomes += " ";
            outcomes +=
                Step(token[0] == 'D' ? kRefused : "", token.back() == '!' || token.back() == '?', token.back() == '?');
        }
        return outcomes;
    }

    std::string Step(const std::string& failure, bool mailFails = false, bool partly = false) {
        now += minutes(1);
        web.failure = failure;
        pinger.failure = failure;
        alert.failure = mailFails ? "Socket Error # 10060\r\nConnection timed out." : "";
        alert.partly = partly;
        const int alerts = alert.attempts;
        const size_t outageAlerts = alert.outageAlerts.size();
        const size_t recoveries = alert.recoveries.size();
        std::string left;
        try {
            watch_.Run();
        } catch (const std::runtime_error&) {
            left = "!";
        }
        std::string mails;
        auto add = [&](const std::string& mail) { mails += (mails.empty() ? "" : "+") + mail; };
        for (int i = alerts; i < alert.attempts; ++i) add("alert");
        for (size_t i = outageAlerts; i < alert.outageAlerts.size(); ++i) {
            add(alert.outageAlerts[i].moreLines.size() == 1 ? "outage" : "remind");
        }
        for (size_t i = recoveries; i < alert.recoveries.size(); ++i) add("recover");
        return (mails.empty() ? "-" : mails) + left;
    }

    ResultTime now = test::kDayStart;
    test::FakeFormFields form;
    test::FakeMonitorView view;
    test::FakeDialogs dialogs;
    test::FakeWebClient web;
    test::FakePingClient pinger;
    test::FakeAlertSender alert;
    WatchState state;
    WatchSchedule schedule;

private:
    std::filesystem::path folder_;
    SettingsStore settings_;
    ActivityLog log_;
    ResultKeeper results_;
    Watch watch_{form, view, dialogs, settings_, log_, web, pinger, state, results_};
};

TEST(ResultKeeperTest, EachModeAlertsAsItsSettingsSay) {
    const struct {
        const char* name;
        Settings settings;
        const char* steps;
        const char* outcomes;
    } rows[] = {
        {"without outage mode every failed web watch alerts", {}, "D D U D", "alert alert - alert"},
        {"and a ping watch never", {{"PingOnly", "y"}}, "D D U", "- - -"},
        {"any other outageAlerts value is no outage mode", {{"outageAlerts", "Y"}}, "D D", "alert alert"},
        {"outage mode alerts once per outage and mails its end",
         {{"outageAlerts", "y"}},
         "D D D U U",
         "- outage - recover -"},
        {"for a ping watch too", {{"outageAlerts", "y"}, {"PingOnly", "y"}}, "D D U", "- outage recover"},
        {"a reminder each remindMinutes of the outage",
         {{"outageAlerts", "y"}, {"alertAfter", "1"}, {"remindMinutes", "2"}},
         "D D D D D U",
         "outage - remind - remind recover"},
        {"recoverAfter counts the good watches",
         {{"outageAlerts", "y"}, {"recoverAfter", "2"}},
         "D D U U U",
         "- outage - recover -"},
        {"recoveryMail=n logs the end only", {{"outageAlerts", "y"}, {"recoveryMail", "n"}}, "D D U", "- outage -"},
        {"a failed mail leaves the watch and goes again with the next result",
         {{"outageAlerts", "y"}},
         "D D! D U! U",
         "- outage! outage recover! recover"},
        {"one that some channel delivered is told: only the failed channels go again",
         {{"outageAlerts", "y"}},
         "D D? D U? U",
         "- outage! - recover! -"},
    };
    test::TempDir temp;
    int run = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WatchedSite site(temp.Path() / std::to_string(++run), row.settings);
        EXPECT_EQ(site.Run(row.steps), row.outcomes);
    }
}

// The certificate of the site's fetches ends then.
const ResultTime kCertificateEnd = test::kDayStart + std::chrono::days(30);
const PeerCertificate kCertificate{"shop.example", kCertificateEnd, "CN=Test CA,O=Corvasse Tests", "1A2B"};

// Watches at the moments the steps give as the time left to the certificate's
// end ("9d", "20h"; a "!" after it: the mail fails; "http": no certificate).
// A step's outcome: "w" for the pane's warning line, then "+mail" for a mail
// sent or "+fail" for one that failed and was said, or "-" for nothing.
std::string WarnSteps(WatchedSite& site, const std::string& steps) {
    std::istringstream tokens(steps);
    std::string outcomes;
    for (std::string token; tokens >> token;) {
        const bool mailFails = token.back() == '!';
        if (mailFails) token.pop_back();
        site.web.certificate = kCertificate;
        if (token == "http") {
            site.web.certificate.reset();
            site.now += minutes(1);
        } else {
            const int count = std::stoi(token);
            site.now =
                kCertificateEnd - (token.back() == 'd' ? std::chrono::hours(24 * count) : std::chrono::hours(count));
        }
        site.alert.failure = mailFails ? "Socket Error # 10060\r\nConnection timed out." : "";
        const size_t lines = site.view.lines.size();
        const size_t mails = site.alert.certificateWarnings.size();
        site.RunWatch();
        std::string outcome;
        for (size_t i = lines; i < site.view.lines.size(); ++i) {
            const std::string& line = site.view.lines[i];
            if (line.starts_with("Certificate for ")) outcome += "w";
            if (line.starts_with("Certificate warning not sent: ")) outcome += "+fail";
        }
        if (site.alert.certificateWarnings.size() > mails && !mailFails) outcome += "+mail";
        outcomes += (outcomes.empty() ? "" : " ") + (outcome.empty() ? "-" : outcome);
    }
    return outcomes;
}

TEST(ResultKeeperTest, ACertificateEndingWithinTheDaysWarnsAtEveryWatchAndMailsOnceAndAtTheLastDay) {
    const std::string offSaid =
        "Certificate warnings are off: certWarnDays=366 in the settings file must be a whole number from 1 to 365.";
    const struct {
        const char* name;
        Settings settings;
        const char* steps;
        const char* outcomes;
        std::string said;  // the one other pane line, if any
    } rows[] = {
        {"within the days: one mail", {{"certWarnDays", "14"}}, "9d 9d 8d", "w+mail w w", ""},
        {"one more with a day or less left", {{"certWarnDays", "14"}}, "9d 2d 23h 1h", "w+mail w w+mail w", ""},
        {"first seen on the last day: one mail", {{"certWarnDays", "14"}}, "20h 10h", "w+mail w", ""},
        {"the days are whole days, their last one in", {{"certWarnDays", "14"}}, "15d 14d", "- w+mail", ""},
        {"a failed mail is said and goes again", {{"certWarnDays", "14"}}, "9d! 9d 9d", "w+fail w+mail w", ""},
        {"in outage mode the same", {{"certWarnDays", "14"}, {"outageAlerts", "y"}}, "9d 9d", "w+mail w", ""},
        {"a page in clear has no certificate", {{"certWarnDays", "14"}}, "http", "-", ""},
        {"without the setting nothing", {}, "9d 12h", "- -", ""},
        {"an empty value is none", {{"certWarnDays", ""}}, "9d", "-", ""},
        {"a value out of range is said once", {{"certWarnDays", "366"}}, "9d 9d", "- -", offSaid},
    };
    test::ScopedEnvironment zone("TZ", "UTC0");
    test::TempDir temp;
    int run = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WatchedSite site(temp.Path() / std::to_string(++run), row.settings);
        EXPECT_EQ(WarnSteps(site, row.steps), row.outcomes);
        EXPECT_EQ(std::count(site.view.lines.begin(), site.view.lines.end(), row.said), row.said.empty() ? 0 : 1);
    }

    // What the first row shows and mails.
    WatchedSite site(temp.Path() / "texts", {{"certWarnDays", "14"}});
    WarnSteps(site, "9d");
    EXPECT_EQ(site.view.lines, Lines{"Certificate for shop.example expires in 9 days (2027-01-07 00:00 UTC)"});
    ASSERT_EQ(site.alert.certificateWarnings.size(), 1u);
    const std::string report = site.alert.certificateWarnings[0];
    EXPECT_TRUE(std::regex_search(report.substr(0, report.find('\n')), kReportDate)) << report;
    EXPECT_EQ(report.substr(report.find('\n')), std::string("\nWatching address: ") + kUrl +
                                                    "\nCertificate for: shop.example\n"
                                                    "Expires: 2027-01-07 00:00 UTC\n"
                                                    "Days left: 9\n"
                                                    "Issuer: CN=Test CA,O=Corvasse Tests\n");
    // The certificate's names are the server's text.
    PeerCertificate hostile = kCertificate;
    hostile.issuer = "CN=\x1b[2J\r\n" + std::string(400, 'a');
    EXPECT_TRUE(CertificateWarningReport(kUrl, hostile, site.now)
                    .ends_with("\nIssuer: CN= [2J " + std::string(289, 'a') + "...\n"));
}

TEST(ResultKeeperTest, CertificateWarningsAreMailedOnceAcrossRestartsWithTheHistoryAndOncePerRunWithout) {
    test::TempDir temp;
    const Settings settings{{"certWarnDays", "30"}};
    // Each run a new watch over the same files, as after a restart.
    auto run = [&](const std::filesystem::path& folder, const std::string& steps) {
        WatchedSite site(folder, settings);
        return WarnSteps(site, steps);
    };
    const std::filesystem::path kept = temp.Path() / "kept";
    EXPECT_EQ(run(kept, "9d"), "w+mail");
    EXPECT_EQ(run(kept, "8d 12h"), "w w+mail");
    EXPECT_EQ(run(kept, "6h"), "w");

    // A history that cannot be used: once in each run.
    const std::filesystem::path broken = temp.Path() / "broken" / "state" / kHistoryFileName;
    std::filesystem::create_directories(broken.parent_path());
    test::WriteFile(broken, std::string(5000, 'x'));
    EXPECT_EQ(run(temp.Path() / "broken", "9d 9d"), "w+mail w");
    EXPECT_EQ(run(temp.Path() / "broken", "9d"), "w+mail");
}

TEST(ResultKeeperTest, OutageModeShowsTimedLinesNoticesAndWhenTheNextWatchRuns) {
    test::ScopedEnvironment zone("TZ", "UTC0");
    test::TempDir temp;
    WatchedSite site(temp.Path(), {{"outageAlerts", "y"}});
    test::FakeTimer timer;
    ScheduledTimer scheduled(timer, site.schedule, [&] { return site.now; });
    scheduled.SetEnabled(true);
    scheduled.SetInterval(60000);

    EXPECT_EQ(site.Run("D D"), "- outage");
    EXPECT_EQ(site.view.outageState, "down since 00:01");
    EXPECT_EQ(site.Run("D U"), "- recover");

    ASSERT_EQ(site.view.lines.size(), 4u);
    EXPECT_EQ(site.view.lines[0], "00:01:00 Down (1 of 2): Socket Error # 10061 Connection refused; no alert yet");
    EXPECT_EQ(site.view.lines[1], std::string("00:02:00 Down (2 of 2): ") + kRefusedReason);
    EXPECT_EQ(site.view.lines[2], std::string("00:03:00 Down since 2026-12-08 00:01:00 (2 min): ") + kRefusedReason);
    EXPECT_TRUE(
        std::regex_match(site.view.lines[3], std::regex(R"(00:04:00 Up: 16 bytes in \d+ ms; back up after 3 min)")))
        << site.view.lines[3];
    EXPECT_EQ(site.view.notices, (Lines{std::string(kUrl) + " is down: " + kRefusedReason,
                                        std::string(kUrl) + " is back up after 3 min"}));
    EXPECT_EQ(site.view.outageState, "");
    EXPECT_EQ(site.view.watchCountText, "Next watch at 00:05:00");

    ASSERT_EQ(site.alert.outageAlerts.size(), 1u);
    EXPECT_EQ(site.alert.outageSpecs[0].kind, WatchKind::Web);
    EXPECT_EQ(site.alert.outageSpecs[0].target, kUrl);
    EXPECT_EQ(site.alert.outageAlerts[0].moreLines, Lines{std::string("Reason: ") + kRefusedReason});
    ASSERT_EQ(site.alert.recoveries.size(), 1u);
    const std::string report = site.alert.recoveries[0];
    const std::string lines = std::string("\nWatching address: ") + kUrl +
                              "\nBack up after 3 min\n"
                              "Down from 2026-12-08 00:01:00 to 2026-12-08 00:04:00\n"
                              "Failed watches: 3\n"
                              "First failure: " +
                              kRefusedReason + "\nLast failure: " + kRefusedReason + "\n";
    EXPECT_TRUE(std::regex_search(report.substr(0, report.find('\n')), kReportDate)) << report;
    EXPECT_EQ(report.substr(report.find('\n')), lines);
    // The log holds the recovery only: the down results that mailed nothing
    // wrote nothing (the alert's report is the delivery's to log).
    EXPECT_EQ(site.Log(), report + "\r\n");

    // Stopped, there is no next watch to tell.
    scheduled.SetEnabled(false);
    site.Run("U");
    EXPECT_EQ(site.view.watchCountText, "Watch count:5");
}

// The alert's final "." went out, then the watch was stopped or killed or the reply timed out: the
// alert may have arrived, so the outage ends with a recovery (read from the history); a refused one did not.
TEST(ResultKeeperTest, AnAlertHandedOverToTheServerEndsItsOutageWithARecovery) {
    const Settings outageMode = {{"outageAlerts", "y"}, {"alertAfter", "1"}};
    const std::tuple<const char*, std::function<void()>, const char*, const char*> cases[] = {
        {"stopped, then up", [] { throw AbortedError(); }, "U", "recover"},
        {"stopped, then still down: alerted again", [] { throw AbortedError(); }, "D U", "outage recover"},
        {"the reply timed out", [] { throw ReadTimeoutError(); }, "U", "recover"},
        {"the message refused", [] { throw ProtocolReplyError(554, "5.6.0 Line too long\r\n"); }, "U", "-"},
    };
    for (const auto& [name, afterHandOver, stepsAfterRestart, outcome] : cases) {
        SCOPED_TRACE(name);
        test::TempDir temp;
        {
            WatchedSite site(temp.Path(), outageMode);
            site.alert.duringOutageAlert = [&](const OutageAlert& alert) {
                alert.handingOver();
                afterHandOver();
            };
            try {
                site.Step(kRefused);
            } catch (const AbortedError&) {}
            ASSERT_EQ(site.alert.outageAlerts.size(), 1u);
        }
        EXPECT_EQ(WatchedSite(temp.Path(), outageMode).Run(stepsAfterRestart), outcome);
    }
}

TEST(ResultKeeperTest, APingWatchInOutageModeLogsOnlyItsRecovery) {
    test::TempDir temp;
    WatchedSite site(temp.Path(), {{"outageAlerts", "y"}, {"alertAfter", "1"}, {"PingOnly", "y"}});
    EXPECT_EQ(site.Run("D U"), "outage recover");
    ASSERT_EQ(site.alert.outageAlerts.size(), 1u);
    EXPECT_EQ(site.alert.outageSpecs[0].kind, WatchKind::Ping);
    EXPECT_EQ(site.alert.outageSpecs[0].target, "127.0.0.1");
    EXPECT_EQ(site.alert.outageAlerts[0].moreLines, Lines{"Reason: Socket Error # 10061 Connection refused."});
    EXPECT_EQ(site.Log(), site.alert.recoveries[0] + "\r\n");
    // The pane still has the ping's own lines.
    EXPECT_EQ(
        std::count_if(site.view.lines.begin(), site.view.lines.end(),
                      [](const std::string& line) { return line.find("Ping response time") != std::string::npos; }),
        2);
}

TEST(ResultKeeperTest, AHistoryOrOutageSettingsThatCannotBeUsedAreSaidOnceAndEveryFailureAlerts) {
    test::TempDir temp;
    std::optional<test::ReadOnlyFolder> readOnly;
    const struct {
        const char* name;
        Settings settings;
        // Prepares the site's history file; returns the message said.
        std::function<std::string(const std::filesystem::path&)> prepare;
    } rows[] = {
        {"not a database",
         {},
         [](const std::filesystem::path& file) {
             test::WriteFile(file, std::string(5000, 'x'));
             return "Cannot use the history database \"" + file.string() + "\": file is not a database";
         }},
        {"another program's database",
         {},
         [](const std::filesystem::path& file) {
             SqliteConnection(file).Execute("CREATE TABLE bookmarks (url TEXT)");
             return "Cannot use the history database \"" + file.string() + "\": the file is another program's database";
         }},
        // Opened and read, but each result's write fails.
        {"damaged pages",
         {},
         [](const std::filesystem::path& file) {
             {
                 HistoryStore made(file);
                 const WatchId watch = made.FindOrAddWatch("/x.conf", "http://x/");
                 for (int i = 0; i < 2000; ++i) made.RecordResult(watch, test::Down(test::kDayStart - minutes(i)));
             }
             const std::string bytes = test::ReadFile(file);
             test::WriteFile(file, bytes.substr(0, 12288) + std::string(bytes.size() - 12288, 'Z'));
             return "Cannot use the history database \"" + file.string() + "\": database disk image is malformed";
         }},
        {"outage settings out of range",
         {{"alertAfter", "abc"}},
         [](const std::filesystem::path&) {
             return std::string(
                 "Outage alerts are off: alertAfter=abc in the settings file must be a whole number from 1 to 100.");
         }},
        {"in a read-only folder",
         {},
         [&](const std::filesystem::path& file) {
             { HistoryStore made(file); }
             EXPECT_TRUE(readOnly.emplace(file.parent_path()).Ready());
             return "Cannot use the history database \"" + file.string() + "\": cannot write to its folder: " +
                    (geteuid() == 0 ? "Read-only file system" : "Permission denied");
         }},
    };
    int run = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Settings settings = row.settings;
        settings["outageAlerts"] = "y";
        WatchedSite site(temp.Path() / std::to_string(++run), settings);
        std::filesystem::create_directories(site.HistoryFile().parent_path());
        const std::string said = row.prepare(site.HistoryFile());
        EXPECT_EQ(site.Run("D D U D"), "alert alert - alert");
        EXPECT_EQ(site.view.lines, Lines{said});
    }
}

TEST(ResultKeeperTest, EveryResultIsRecordedButACutWatchOrARefusedAddress) {
    test::TempDir temp;
    WatchedSite site(temp.Path(), {});
    const std::function<void()> cut = [] { throw AbortedError(); };
    const struct {
        const char* name;
        std::function<void()> arrange;
        const char* recorded;  // nullptr: nothing
    } steps[] = {
        {"found", [] {}, "up 16"},
        {"refused", [&] { site.web.failure = kRefused; }, kRefusedReason},
        {"text missing", [&] { site.form.texts[Field::txtLookFor] = "Goodbye"; }, kTextMissingReason},
        {"too long", [&] { site.form.texts[Field::txtFileSize] = "10"; }, "16 bytes, more than the expected 10"},
        {"size that is no number", [&] { site.form.texts[Field::txtFileSize] = "ten"; },
         "'ten' is not a valid integer value"},
        {"cut", [&] { site.web.duringGet = cut; }, nullptr},
        {"refused https", [&] { site.form.texts[Field::txtURL2watch] = "https://127.0.0.1/"; }, nullptr},
    };
    std::vector<std::string> expected;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        site.web = test::FakeWebClient();
        site.web.body = "<h1>Welcome</h1>";
        site.form.texts = {{Field::txtURL2watch, kUrl}, {Field::txtLookFor, "Welcome"}};
        step.arrange();
        site.now += minutes(1);
        try {
            site.RunWatch();
        } catch (const AbortedError&) {}
        if (step.recorded) expected.push_back(step.recorded);
    }

    HistoryStore store(site.HistoryFile());
    const std::optional<WatchId> watch = store.FindWatch(site.SettingsFile(), kUrl);
    ASSERT_TRUE(watch);
    std::vector<std::string> recorded;
    store.VisitResults(*watch, {test::kDayStart, site.now + minutes(1)}, [&](const WatchResult& result) {
        if (result.state == ResultState::Up) {
            EXPECT_TRUE(result.responseTime);
            recorded.push_back("up " + std::to_string(result.size.value_or(-1)));
        } else {
            recorded.push_back(result.reason);
        }
    });
    EXPECT_EQ(recorded, expected);
}

TEST(ResultKeeperTest, APluginWithoutHistoryRecordsNothing) {
    test::TempDir temp;
    WatchedSite site(temp.Path(), {{"outageAlerts", "y"}}, WatchRecording::None);
    EXPECT_EQ(site.Run("D D"), "alert alert");
    EXPECT_FALSE(std::filesystem::exists(site.HistoryFile()));
}

}  // namespace
}  // namespace corvasse
