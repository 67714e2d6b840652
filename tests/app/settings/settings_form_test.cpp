#include "app/settings/settings_form.h"
#include "app/settings/watch_spec.h"

#include <gtest/gtest.h>

#include <map>

#include "app/fakes.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "app/settings/watch_interval.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

class SettingsFormTest : public ::testing::Test {
protected:
    // A complete, valid form as the user would fill it in.
    void FillValid() {
        form_.texts = {{Field::txtURL2watch, "http://127.0.0.1/"},
                       {Field::txtFileSize, ""},
                       {Field::txtLookFor, "Welcome"},
                       {Field::txtWatchFreq, "15"},
                       {Field::txtSMTPhost, "127.0.0.1"},
                       {Field::txtSendto, "ops@example.org"},
                       {Field::txtSendto2, ""},
                       {Field::txtYourEmail, "me@example.org"},
                       {Field::editIPaddr, " 127.0.0.1 "},
                       {Field::txtUserid, "me"},
                       {Field::txtPass, " p w "}};
    }

    std::string Read(const char* key) { return settings_.ReadSetting("Settings", key); }

    // The form as a fresh window loads it from the store.
    test::FakeFormFields Loaded() {
        test::FakeFormFields fresh;
        SettingsForm(fresh, view_, dialogs_, settings_).Load();
        return fresh;
    }

    // The message of the one box the save showed, with "beep:" before it when it beeped.
    std::string Outcome() {
        std::string out;
        for (const auto& call : dialogs_.calls) out += call == "beep" ? "beep:" : call.substr(8);
        return out;
    }

    test::TempDir temp_;
    test::FakeFormFields form_;
    test::FakeMonitorView view_;
    test::FakeDialogs dialogs_;
    SettingsStore settings_{temp_.Path()};
    SettingsForm settingsForm_{form_, view_, dialogs_, settings_};
};

TEST_F(SettingsFormTest, EmptyStoreLeavesTheInitialValues) {
    form_.texts = {{Field::txtWatchFreq, "15"}, {Field::txtSendto, kPlaceholderAddress}};
    settingsForm_.Load();
    EXPECT_EQ(view_.statusPageSelections, 1);
    EXPECT_EQ(form_.Text(Field::txtURL2watch), "http://");
    EXPECT_EQ(form_.Text(Field::txtWatchFreq), "15");
    EXPECT_EQ(form_.Text(Field::txtSendto), kPlaceholderAddress);
    EXPECT_FALSE(form_.Checked(Field::ckPingOnly));
    EXPECT_FALSE(form_.Checked(Field::ckPOPbefore));
    EXPECT_FALSE(form_.Checked(Field::rad_atLogin));
    EXPECT_FALSE(form_.Checked(Field::rad_atNone));
}

TEST_F(SettingsFormTest, SaveThenLoadRestoresEveryField) {
    FillValid();
    form_.checks = {{Field::ckPingOnly, true}, {Field::ckPOPbefore, true}, {Field::rad_atLogin, true}};
    settingsForm_.Save();
    EXPECT_EQ(view_.statusText, "Settings saved...");

    const test::FakeFormFields fresh = Loaded();
    EXPECT_EQ(fresh.Text(Field::txtURL2watch), "http://127.0.0.1/");
    EXPECT_EQ(fresh.Text(Field::txtLookFor), "Welcome");
    EXPECT_EQ(fresh.Text(Field::txtSendto), "ops@example.org");
    EXPECT_EQ(fresh.Text(Field::editIPaddr), "127.0.0.1");  // stored trimmed
    EXPECT_EQ(fresh.Text(Field::txtPass), " p w ");         // stored as typed
    EXPECT_TRUE(fresh.Checked(Field::ckPingOnly));
    EXPECT_TRUE(fresh.Checked(Field::ckPOPbefore));
    EXPECT_TRUE(fresh.Checked(Field::rad_atLogin));
    EXPECT_EQ(Read("checktype"), "lookfor");
    EXPECT_EQ(Read("cboAuthType"), "atLogin");
}

TEST_F(SettingsFormTest, StoredEmptyValuesLoadByTheirOwnRules) {
    for (const char* key : {"url2watch", "txtWatchFreq", "PingAddr", "txtUserid", "txtPass"}) {
        settings_.WriteSetting("Settings", key, "");
    }
    form_.texts = {{Field::txtWatchFreq, "15"},
                   {Field::editIPaddr, "x"},
                   {Field::txtUserid, "x"},
                   {Field::txtPass, "x"},
                   {Field::txtURL2watch, "typed"}};
    settingsForm_.Load();
    EXPECT_EQ(form_.Text(Field::txtURL2watch), "http://");
    EXPECT_EQ(form_.Text(Field::txtWatchFreq), "15");
    EXPECT_EQ(form_.Text(Field::editIPaddr), "");
    EXPECT_EQ(form_.Text(Field::txtUserid), "");
    EXPECT_EQ(form_.Text(Field::txtPass), "");
}

TEST_F(SettingsFormTest, ValidationReportsTheFirstProblemOnly) {
    struct Case {
        Field field;
        const char* text;
        const char* outcome;
    };
    const Case cases[] = {
        {Field::txtURL2watch, "http://a/", "beep:Sorry, invalid URL entered..."},
        {Field::txtURL2watch, "  http://a/ \t", "beep:Sorry, invalid URL entered..."},
        {Field::txtFileSize, "100", "beep:Sorry, you cannot enter both File Size and What to Look For criteria..."},
        {Field::txtWatchFreq, "", "Sorry, invalid Watch Frequency entered..."},
        {Field::txtSendto, "a@bcdef", "Invalid e-mail address."},
        {Field::txtSendto, "abcdefgh", "Invalid e-mail address."},
        {Field::txtSendto, kRefusedSampleAddress, "Invalid e-mail address."},
        {Field::txtSendto, "ops@example.org, a@b.io", "Invalid e-mail address."},
        {Field::txtSendto, " , ", "Invalid e-mail address."},
        {Field::txtSendto, "ops@example.org b@example.org",
         "Invalid e-mail address \"ops@example.org b@example.org\": two addresses need a comma between them."},
        {Field::txtSendto, "Ops Team ops@example.org, b@example.org",
         "Invalid e-mail address \"Ops Team ops@example.org\": a name goes before its address in angle brackets "
         "(Name <local@domain>)."},
        {Field::txtSendto, "\"Ops, Team <ops@example.org>",
         "Invalid e-mail address \"\"Ops, Team <ops@example.org>\": a quote without its closing quote."},
        {Field::txtYourEmail, "me@x.io", "Invalid (Your) e-mail address."},
        {Field::txtPort, "0", kInvalidPortMessage},
        {Field::txtPort, "65536", kInvalidPortMessage},
        {Field::txtPort, "58 7", kInvalidPortMessage},
        {Field::txtWatchFreq, "35792", kInvalidIntervalMessage},
        {Field::txtWatchFreq, "-1", kInvalidIntervalMessage},
        {Field::txtAlertAfter, "0", kInvalidAlertAfterMessage},
        {Field::txtAlertAfter, "101", kInvalidAlertAfterMessage},
        {Field::txtRemindMinutes, "-1", kInvalidRemindMinutesMessage},
        {Field::txtRemindMinutes, "10081", kInvalidRemindMinutesMessage},
        {Field::txtRecoverAfter, "1.5", kInvalidRecoverAfterMessage},
        {Field::txtRecoverAfter, "101", kInvalidRecoverAfterMessage},
        {Field::txtNtfyUrl, "ntfy.sh/alerts", "Sorry, the ntfy address must be an http:// or https:// address."},
        {Field::txtWebhookUrl, "ftp://chat.example/hooks/1",
         "Sorry, the webhook address must be an http:// or https:// address."},
        {Field::txtWebhookUrl, "http:///hooks/1", "Sorry, the webhook address must be an http:// or https:// address."},
        {Field::txtNtfyUrl, "https://ntfy.sh/alerts",
         "Sorry, an https:// ntfy address needs \"Allow https:// addresses (TLS)\" on \"URL Details\"."},
    };
    for (const Case& c : cases) {
        FillValid();
        dialogs_.calls.clear();
        form_.texts[c.field] = c.text;
        settingsForm_.Save();
        EXPECT_EQ(Outcome(), c.outcome) << c.text;
        EXPECT_EQ(Read("url2watch"), "n/a") << "nothing is written before the checks pass";
    }
}

TEST_F(SettingsFormTest, CriteriaRules) {
    FillValid();
    form_.texts[Field::txtFileSize] = " 100 ";
    form_.texts[Field::txtLookFor] = "x";
    settingsForm_.Save();
    EXPECT_TRUE(dialogs_.calls.empty());
    EXPECT_EQ(Read("checktype"), "filesize");
    EXPECT_EQ(Read("expfilesize"), "100");
    EXPECT_EQ(form_.Text(Field::txtFileSize), "100");

    form_.texts[Field::txtFileSize] = "   ";
    form_.texts[Field::txtLookFor] = "";
    settingsForm_.Save();
    EXPECT_EQ(Outcome(), "beep:Sorry, you missed entering File Size or what to look for...");
    EXPECT_EQ(form_.Text(Field::txtFileSize), "");
}

TEST_F(SettingsFormTest, ValuesAtTheBoundariesAndPlaceholderPass) {
    // An interval that is not a number is saved; "Start Watching" refuses it.
    for (const char* interval : {"letters", "0", "35791"}) {
        FillValid();
        form_.texts[Field::txtURL2watch] = "http://a/b";  // exactly 10 characters
        form_.texts[Field::txtSendto] = "a@bcdefg";       // exactly 8 characters
        form_.texts[Field::txtYourEmail] = kPlaceholderAddress;
        form_.texts[Field::txtWatchFreq] = interval;
        settingsForm_.Save();
        EXPECT_TRUE(dialogs_.calls.empty()) << interval;
        EXPECT_EQ(Read("txtWatchFreq"), interval);
    }
}

TEST_F(SettingsFormTest, ShortPingHostStopsAfterTheFirstTenKeys) {
    FillValid();
    form_.checks[Field::ckPingOnly] = true;
    form_.texts[Field::editIPaddr] = "a.bc";
    view_.statusText = "before";
    settingsForm_.Save();
    EXPECT_EQ(Outcome(), "beep:Sorry, you didn't enter a valid IP address for Pinging.");
    EXPECT_EQ(Read("PingOnly"), "y");
    EXPECT_EQ(Read("txtYourEmail"), "me@example.org");
    EXPECT_EQ(Read("PingAddr"), "n/a");
    EXPECT_EQ(Read("cboAuthType"), "n/a");
    EXPECT_EQ(view_.statusText, "before");

    form_.texts[Field::editIPaddr] = "a.b.c";
    dialogs_.calls.clear();
    settingsForm_.Save();
    EXPECT_TRUE(dialogs_.calls.empty());
    EXPECT_EQ(Read("PingAddr"), "a.b.c");
}

TEST_F(SettingsFormTest, UncheckedBoxesAndNoRadioButton) {
    FillValid();
    form_.checks[Field::ckPOPbefore] = true;
    settingsForm_.Save();
    EXPECT_EQ(Read("ckPOPbefore"), "y");
    form_.checks[Field::ckPOPbefore] = false;
    settingsForm_.Save();
    EXPECT_EQ(Read("ckPOPbefore"), "n/a");
    EXPECT_EQ(Read("PingOnly"), "");
    EXPECT_EQ(Read("cboAuthType"), "atNone");
}

TEST_F(SettingsFormTest, OptInSettingsRoundTripAndAreDeletedWhenOff) {
    FillValid();
    form_.checks = {{Field::ckAllowHttps, true}, {Field::radSecurityStartTls, true}, {Field::ckOfflineAware, true}};
    form_.texts[Field::txtPort] = " 587 ";
    form_.texts[Field::txtNtfyUrl] = " https://ntfy.sh/alerts ";
    form_.texts[Field::txtWebhookUrl] = "http://chat.example/hooks/1";
    settingsForm_.Save();
    EXPECT_TRUE(dialogs_.calls.empty());
    EXPECT_EQ(Read("ntfyUrl"), "https://ntfy.sh/alerts");
    EXPECT_EQ(Read("webhookUrl"), "http://chat.example/hooks/1");
    EXPECT_EQ(Loaded().Text(Field::txtNtfyUrl), "https://ntfy.sh/alerts");
    EXPECT_EQ(Read("allowHttps"), "y");
    EXPECT_EQ(Read("mailSecurity"), "starttls");
    EXPECT_EQ(Read("port"), "587");
    EXPECT_EQ(Read("offlineAware"), "y");

    const test::FakeFormFields fresh = Loaded();
    EXPECT_TRUE(fresh.Checked(Field::ckAllowHttps));
    EXPECT_TRUE(fresh.Checked(Field::radSecurityStartTls));
    EXPECT_FALSE(fresh.Checked(Field::radSecurityNone));
    EXPECT_EQ(fresh.Text(Field::txtPort), "587");
    EXPECT_TRUE(fresh.Checked(Field::ckOfflineAware));

    form_.checks = {{Field::radSecurityNone, true}};
    form_.texts[Field::txtPort] = "  ";
    form_.texts[Field::txtNtfyUrl] = "";
    form_.texts[Field::txtWebhookUrl] = " ";
    settingsForm_.Save();
    for (const char* key : {"allowHttps", "mailSecurity", "port", "offlineAware", "ntfyUrl", "webhookUrl"}) {
        EXPECT_EQ(Read(key), "n/a") << key;
    }

    // A value set by hand that names no choice loads as "None".
    settings_.WriteSetting("Settings", "mailSecurity", "ssl");
    const test::FakeFormFields other = Loaded();
    EXPECT_TRUE(other.Checked(Field::radSecurityNone));
    EXPECT_FALSE(other.Checked(Field::ckAllowHttps));
}

TEST_F(SettingsFormTest, AlertsPageRoundTripsAndWritesNothingAtItsDefaults) {
    const char* const keys[] = {"outageAlerts", "alertAfter", "remindMinutes", "recoverAfter", "recoveryMail"};
    FillValid();
    // As the window shows the page untouched: the switch off, the defaults.
    form_.texts[Field::txtAlertAfter] = "2";
    form_.texts[Field::txtRemindMinutes] = "0";
    form_.texts[Field::txtRecoverAfter] = "1";
    form_.checks[Field::ckRecoveryMail] = true;
    settingsForm_.Save();
    ASSERT_TRUE(dialogs_.calls.empty()) << dialogs_.calls.front();
    for (const char* key : keys) EXPECT_EQ(Read(key), "n/a") << key;

    form_.checks[Field::ckOutageAlerts] = true;
    form_.texts[Field::txtAlertAfter] = "100";
    form_.texts[Field::txtRemindMinutes] = " 10080 ";
    form_.texts[Field::txtSendto] = "ops@example.org, b@example.org";
    form_.checks[Field::ckRecoveryMail] = false;
    settingsForm_.Save();
    ASSERT_TRUE(dialogs_.calls.empty()) << dialogs_.calls.front();
    const std::map<std::string, std::string> saved = {
        {"outageAlerts", "y"},   {"alertAfter", "100"}, {"remindMinutes", "10080"},
        {"recoverAfter", "n/a"}, {"recoveryMail", "n"}, {"txtSendTo", "ops@example.org, b@example.org"}};
    for (const auto& [key, value] : saved) EXPECT_EQ(Read(key.c_str()), value) << key;

    // The interval in seconds is shown, never written.
    settings_.WriteSetting("Settings", "intervalSeconds", "30");
    test::FakeFormFields fresh = Loaded();
    EXPECT_TRUE(fresh.Checked(Field::ckOutageAlerts));
    EXPECT_EQ(fresh.Text(Field::txtAlertAfter), "100");
    EXPECT_EQ(fresh.Text(Field::txtRemindMinutes), "10080");
    EXPECT_EQ(fresh.Text(Field::txtRecoverAfter), "1");
    EXPECT_FALSE(fresh.Checked(Field::ckRecoveryMail));
    EXPECT_EQ(fresh.Text(Field::lblIntervalSeconds), "30");
    settings_.DeleteSetting("Settings", "intervalSeconds");
    SettingsForm(fresh, view_, dialogs_, settings_).Save();
    ASSERT_TRUE(dialogs_.calls.empty()) << dialogs_.calls.front();
    EXPECT_EQ(Read("intervalSeconds"), "n/a");
    SettingsForm(fresh, view_, dialogs_, settings_).Load();
    EXPECT_EQ(fresh.Text(Field::lblIntervalSeconds), "");
}

TEST_F(SettingsFormTest, CertificateWarningRoundTripsAndIsDeletedWhileClear) {
    const struct {
        bool ticked;
        const char* days;
        const char* stored;
    } saves[] = {{true, "9", "9"}, {true, "365", "365"}, {false, "9", "n/a"}};
    for (const auto& save : saves) {
        SCOPED_TRACE(save.days + std::string(save.ticked ? " ticked" : " clear"));
        FillValid();
        form_.checks[Field::ckCertWarn] = save.ticked;
        form_.texts[Field::txtCertWarnDays] = save.days;
        settingsForm_.Save();
        ASSERT_TRUE(dialogs_.calls.empty()) << dialogs_.calls.front();
        EXPECT_EQ(Read("certWarnDays"), save.stored);
    }
    // Clear, the file holds no trace of it.
    EXPECT_EQ(test::ReadFile(settings_.FilePath()).find("certWarnDays"), std::string::npos);

    // Loaded: a value out of range, set by hand, shows as clear with the default days.
    const struct {
        const char* stored;
        bool ticked;
        const char* days;
    } loads[] = {{"1", true, "1"},     {"365", true, "365"}, {"0", false, "14"},
                 {"366", false, "14"}, {"abc", false, "14"}, {"", false, "14"}};
    for (const auto& load : loads) {
        SCOPED_TRACE(load.stored);
        settings_.WriteSetting("Settings", "certWarnDays", load.stored);
        const test::FakeFormFields fresh = Loaded();
        EXPECT_EQ(fresh.Checked(Field::ckCertWarn), load.ticked);
        EXPECT_EQ(fresh.Text(Field::txtCertWarnDays), load.days);
    }
}

TEST_F(SettingsFormTest, AddressFamilyRoundTripsAndIsDeletedWhileAny) {
    const struct {
        const char* choice;
        const char* stored;
        AddressFamily family;
    } cases[] = {
        {"IPv4 only", "ipv4", AddressFamily::IPv4},
        {"IPv6 only", "ipv6", AddressFamily::IPv6},
        // Each family in turn for the watch; the alert connects as with "Any".
        {"Each separately", "each", AddressFamily::Any},
        {"Any", "n/a", AddressFamily::Any},
    };
    for (const auto& c : cases) {
        FillValid();
        form_.texts[Field::cboAddressFamily] = c.choice;
        settingsForm_.Save();
        EXPECT_EQ(Read("ipFamily"), c.stored) << c.choice;
        const WatchSpec watchSpec = ReadWatchSpec(form_, settings_);
        EXPECT_EQ(watchSpec.family, c.family) << c.choice;
        EXPECT_EQ(watchSpec.mail.family, c.family) << c.choice;
        EXPECT_EQ(watchSpec.eachFamily, c.stored == std::string("each")) << c.choice;
        const test::FakeFormFields fresh = Loaded();
        EXPECT_EQ(fresh.Text(Field::cboAddressFamily), c.choice);
    }
    // A value set by hand that names no choice means, and loads as, "Any".
    settings_.WriteSetting("Settings", "ipFamily", "IPv6");
    EXPECT_EQ(ReadWatchSpec(form_, settings_).family, AddressFamily::Any);
    const test::FakeFormFields other = Loaded();
    EXPECT_EQ(other.Text(Field::cboAddressFamily), "Any");
}

}  // namespace
}  // namespace corvasse
