#include "app/settings/watch_spec.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "app/fakes.h"
#include "app/settings/settings_store.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

using Settings = std::map<std::string, std::string>;

class WatchSpecTest : public ::testing::Test {
protected:
    WatchSpecTest() {
        form.texts = {{Field::txtURL2watch, " http://a.test/ "},
                      {Field::txtLookFor, "Welcome"},
                      {Field::txtFileSize, " 12"},
                      {Field::editIPaddr, " b.test "},
                      {Field::txtSendto, "x@a.test, y@a.test"},
                      {Field::txtYourEmail, "me@a.test"}};
    }

    WatchSpec Read(const Settings& values) {
        std::filesystem::remove(store.FilePath());
        for (const auto& [key, value] : values) store.WriteSetting("Settings", key, value);
        return ReadWatchSpec(form, store);
    }

    test::TempDir temp;
    SettingsStore store{temp.Path()};
    test::FakeFormFields form;
};

TEST_F(WatchSpecTest, EachSettingMeansWhatTheFormAndTheAlertMakeOfIt) {
    const struct {
        const char* name;
        Settings values;
        std::function<void(const WatchSpec&)> check;
    } rows[] = {
        {"nothing stored: a web watch of the form's address as it stands, every extra off",
         {},
         [](const WatchSpec& s) {
             EXPECT_EQ(s.kind, WatchKind::Web);
             EXPECT_EQ(s.target, " http://a.test/ ");
             EXPECT_EQ(s.expectedSize, " 12");
             EXPECT_EQ(s.lookFor, "Welcome");
             EXPECT_EQ(s.checkType, "n/a");
             EXPECT_FALSE(s.httpsAllowed || s.eachFamily || s.offlineAware);
             EXPECT_EQ(s.resumeGrace, std::chrono::seconds(30));
             EXPECT_FALSE(s.outage || s.certificateWarnDays);
             EXPECT_EQ(s.outageProblem + s.certificateProblem, "");
             EXPECT_EQ(s.mail.host, "n/a");
             EXPECT_EQ(s.mail.sendTo, "x@a.test, y@a.test");
             EXPECT_EQ(s.mail.from, "me@a.test");
             EXPECT_FALSE(s.mail.user || s.mail.port || s.mail.authType || s.mail.charSet);
         }},
        {"a ping watch names its trimmed host; the form's unsaved box does not count",
         {{"PingOnly", "y"}},
         [](const WatchSpec& s) {
             EXPECT_EQ(s.kind, WatchKind::Ping);
             EXPECT_EQ(s.pingHost, "b.test");
             EXPECT_EQ(s.target, "b.test");
         }},
        {"only y ticks a box",
         {{"PingOnly", "Y"}, {"allowHttps", "yes"}},
         [](const WatchSpec& s) { EXPECT_FALSE(s.kind == WatchKind::Ping || s.httpsAllowed); }},
        {"each family: the watch goes over both, the mail over any",
         {{"ipFamily", "each"}},
         [](const WatchSpec& s) {
             EXPECT_TRUE(s.eachFamily);
             EXPECT_EQ(s.family, AddressFamily::Any);
             EXPECT_EQ(s.mail.family, AddressFamily::Any);
         }},
        {"one family for everything",
         {{"ipFamily", "ipv6"}},
         [](const WatchSpec& s) {
             EXPECT_EQ(s.family, AddressFamily::IPv6);
             EXPECT_EQ(s.mail.family, AddressFamily::IPv6);
         }},
        {"offline settings: the reference host trimmed, a bad grace is the default",
         {{"offlineAware", "y"}, {"referenceHost", " ref.test "}, {"resumeGraceSeconds", "-1"}},
         [](const WatchSpec& s) {
             EXPECT_TRUE(s.offlineAware);
             EXPECT_EQ(s.referenceHost, "ref.test");
             EXPECT_EQ(s.resumeGrace, std::chrono::seconds(30));
         }},
        {"outage mode with its numbers",
         {{"outageAlerts", "y"}, {"alertAfter", "3"}, {"recoveryMail", "n"}},
         [](const WatchSpec& s) {
             ASSERT_TRUE(s.outage);
             EXPECT_EQ(s.outage->alertAfter, 3);
             EXPECT_EQ(s.outage->recoveryMail, RecoveryMail::Skip);
         }},
        {"an outage number out of range turns outage mode off and says why",
         {{"outageAlerts", "y"}, {"recoverAfter", "0"}},
         [](const WatchSpec& s) {
             EXPECT_FALSE(s.outage);
             EXPECT_EQ(s.outageProblem,
                       "Outage alerts are off: recoverAfter=0 in the settings file must be a whole number from 1 "
                       "to 100.");
         }},
        {"certificate days, and days out of range",
         {{"certWarnDays", "366"}},
         [](const WatchSpec& s) {
             EXPECT_FALSE(s.certificateWarnDays);
             EXPECT_EQ(s.certificateProblem,
                       "Certificate warnings are off: certWarnDays=366 in the settings file must be a whole number "
                       "from 1 to 365.");
         }},
        {"the mail's login, security, port and charset as stored",
         {{"txtSMTPhost", "smtp.a.test"},
          {"ckPOPbefore", "y"},
          {"txtUserid", "alice"},
          {"txtPass", ""},
          {"cboAuthType", "atNone"},
          {"mailSecurity", "tls"},
          {"port", "2465"},
          {"charSet", "koi8-r"},
          {"certWarnDays", "7"}},
         [](const WatchSpec& s) {
             EXPECT_EQ(s.certificateWarnDays, 7);
             EXPECT_EQ(s.mail.host, "smtp.a.test");
             EXPECT_EQ(s.mail.popBeforeSmtp, PopBeforeSmtp::On);
             EXPECT_EQ(s.mail.user, "alice");
             EXPECT_EQ(s.mail.password, "");
             EXPECT_EQ(s.mail.authType, AuthType::None);
             EXPECT_EQ(s.mail.security, MailSecurity::Tls);
             EXPECT_EQ(s.mail.port, "2465");
             EXPECT_EQ(s.mail.charSet, "koi8-r");
         }},
    };
    form.checks[Field::ckPingOnly] = true;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        row.check(Read(row.values));
    }
}

TEST_F(WatchSpecTest, OneReadOfTheFileAnswersTheWholeWatch) {
    store.WriteSetting("Settings", "PingOnly", "y");
    const SettingsStore snapshot = store.Snapshot();
    EXPECT_EQ(snapshot.ReadSetting("Settings", "PingOnly"), "y");
    // Changed after the first read: the snapshot keeps what it read, the store reads afresh.
    store.WriteSetting("Settings", "PingOnly", "");
    store.WriteSetting("Settings", "outageAlerts", "y");
    EXPECT_EQ(snapshot.ReadSetting("Settings", "outageAlerts"), "n/a");
    EXPECT_EQ(store.ReadSetting("Settings", "outageAlerts"), "y");
    {
        const SettingsStore::HeldReads held(store);
        EXPECT_EQ(store.ReadSetting("Settings", "outageAlerts"), "y");
        SettingsStore::AtFile(store.FilePath()).WriteSetting("Settings", "outageAlerts", "n");
        EXPECT_EQ(store.ReadSetting("Settings", "outageAlerts"), "y");
    }
    EXPECT_EQ(store.ReadSetting("Settings", "outageAlerts"), "n");
}

TEST_F(WatchSpecTest, ValuesGivenOnTheCommandLineStandForTheFile) {
    store.WriteSetting("Settings", "txtSMTPhost", "smtp.a.test");
    store.Override("Settings", "PingOnly", "y");
    store.Override("Settings", "certWarnDays", "");
    EXPECT_EQ(ReadWatchSpec(form, store).kind, WatchKind::Ping);
    EXPECT_EQ(ReadWatchSpec(form, store).mail.host, "smtp.a.test");
    store.ReadNoFile();
    const WatchSpec given = ReadWatchSpec(form, store);
    EXPECT_EQ(given.kind, WatchKind::Ping);
    EXPECT_EQ(given.mail.host, "n/a");
    EXPECT_FALSE(given.certificateWarnDays);
}

}  // namespace
}  // namespace corvasse
