#pragma once
// The settings pages: loading every field from the store when the main window
// is shown, and "&Save Settings", which validates the fields in a fixed order,
// reports the first problem in a message box and otherwise stores them.

namespace corvasse {

class Dialogs;
class FormFields;
class MonitorView;
class SettingsStore;

// What the address and interval fields show until settings are loaded.
inline constexpr const char* kInitialAddress = "http://";
inline constexpr const char* kInitialWatchFreq = "15";
// The address both e-mail fields show until the user types their own.
inline constexpr const char* kPlaceholderAddress = "your-id@your-provider.com";
// A sample address that users copy from help texts; saving it is refused.
inline constexpr const char* kRefusedSampleAddress = "someone@somewhere.com";

class SettingsForm {
public:
    SettingsForm(FormFields& form, MonitorView& view, Dialogs& dialogs, SettingsStore& settings);

    // Selects the "Status" page, then loads the fields from the store.
    // Throws RegistryError; fields loaded before the error keep their values.
    void Load();

    // Validates and saves. Throws RegistryError; keys written before stay.
    void Save();

private:
    bool Validate();

    FormFields& form_;
    MonitorView& view_;
    Dialogs& dialogs_;
    SettingsStore& settings_;
};

}  // namespace corvasse
