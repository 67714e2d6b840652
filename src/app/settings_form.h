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

class SettingsForm {
public:
    SettingsForm(FormFields& form, MonitorView& view, Dialogs& dialogs, SettingsStore& settings);

    // Selects the "Status" page, then loads the fields from the store; last
    // the opt-in fields ("allowHttps", "mailSecurity", "port", "ipFamily").
    // Throws RegistryError; fields loaded before the error keep their values.
    void Load();

    // Validates and saves. Throws RegistryError; keys written before stay.
    // After the other tests, a port that is not empty and not 1..65535, then
    // an interval that is a whole number outside 0..35791, is refused
    // (nothing written). After the other keys, "allowHttps" ("y"),
    // "mailSecurity" ("starttls", "tls"), "port" (trimmed) and "ipFamily"
    // ("ipv4", "ipv6") are written, or deleted when the box is clear, "None"
    // or "Any" is chosen or the port empty.
    void Save();

private:
    bool Validate();

    FormFields& form_;
    MonitorView& view_;
    Dialogs& dialogs_;
    SettingsStore& settings_;
};

}  // namespace corvasse
