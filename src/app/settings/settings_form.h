#pragma once
// The settings pages: loading every field from the store when the main window
// is shown, and "&Save Settings", which validates the fields in a fixed order,
// reports the first problem in a message box and otherwise stores them.

namespace corvasse {

class Dialogs;
class FormFields;
class MonitorView;
class SettingsStore;

// A sample address that users copy from help texts; saving it is refused.
inline constexpr const char* kRefusedSampleAddress = "someone@somewhere.com";
// The SMTP port field takes a whole number in this range, or nothing.
inline constexpr int kMinPort = 1;
inline constexpr int kMaxPort = 65535;
inline constexpr const char* kInvalidPortMessage = "Sorry, the SMTP port must be a whole number from 1 to 65535.";
// The fields of the page "Alerts" take whole numbers in the ranges of
// app/settings/outage_settings.h.
inline constexpr const char* kInvalidAlertAfterMessage =
    "Sorry, the failed watches that begin an outage must be a whole number from 1 to 100.";
inline constexpr const char* kInvalidRemindMinutesMessage =
    "Sorry, the minutes between reminders must be a whole number from 0 to 10080.";
inline constexpr const char* kInvalidRecoverAfterMessage =
    "Sorry, the good watches that end an outage must be a whole number from 1 to 100.";

class SettingsForm {
public:
    SettingsForm(FormFields& form, MonitorView& view, Dialogs& dialogs, SettingsStore& settings);

    // Selects the "Status" page, then loads the fields from the store; last
    // the opt-in fields ("allowHttps", "mailSecurity", "port", "ipFamily",
    // "offlineAware"), the page "Alerts" (a missing or empty value shows the
    // field's default), the certificate warning's box and days (a value out
    // of range: the box clear and the default days) and the interval in
    // seconds set by hand.
    // Throws RegistryError; fields loaded before the error keep their values.
    void Load();

    // Validates and saves. Throws RegistryError; keys written before stay.
    // Several send-to addresses (separated by commas) each pass the test of
    // one. After the other tests, a port that is not empty and not 1..65535,
    // an interval that is a whole number outside 0..35791, then a value of
    // the page "Alerts" out of its range (empty: the default) is refused
    // (nothing written). After the other keys, "allowHttps" ("y"),
    // "mailSecurity" ("starttls", "tls"), "port" (trimmed), "ipFamily"
    // ("ipv4", "ipv6", "each") and "offlineAware" ("y") are written, or
    // deleted when the box is clear, "None" or "Any" is chosen or the port
    // empty; then "outageAlerts" ("y" or deleted), the three numbers
    // (deleted at their defaults) and "recoveryMail" ("n", or deleted when
    // the mail is wanted); last "certWarnDays" (the days, or deleted while
    // its box is clear).
    void Save();

private:
    bool Validate();

    FormFields& form_;
    MonitorView& view_;
    Dialogs& dialogs_;
    SettingsStore& settings_;
};

}  // namespace corvasse
