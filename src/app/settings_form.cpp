#include "app/settings_form.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "app/dialogs.h"
#include "app/form_fields.h"
#include "app/monitor_view.h"
#include "app/settings_store.h"
#include "common/byte_string.h"

namespace corvasse {

namespace {

constexpr const char* kSection = "Settings";
constexpr size_t kMinUrlLength = 10;
constexpr size_t kMinAddressLength = 8;
constexpr size_t kMinPingHostLength = 5;

bool IsPresent(const std::string& value) { return value != kAbsentSetting; }

// The "mailSecurity" values and their radio buttons; anything else means none.
constexpr std::pair<const char*, Field> kSecurityChoices[] = {
    {"starttls", Field::radSecurityStartTls},
    {"tls", Field::radSecurityTls},
};

bool IsValidPort(const std::string& text) {
    const std::optional<int32_t> port = TryStrToInt(text);
    return port && *port >= kMinPort && *port <= kMaxPort;
}

bool IsValidAddress(const std::string& address) {
    return address.size() >= kMinAddressLength && address.find('@') != std::string::npos &&
           address != kRefusedSampleAddress;
}

}  // namespace

SettingsForm::SettingsForm(FormFields& form, MonitorView& view, Dialogs& dialogs, SettingsStore& settings)
    : form_(form), view_(view), dialogs_(dialogs), settings_(settings) {}

void SettingsForm::Load() {
    view_.SelectStatusPage();

    std::string url = settings_.ReadSetting(kSection, "url2watch");
    form_.SetText(Field::txtURL2watch, IsPresent(url) && !url.empty() ? url : kInitialAddress);

    const std::pair<const char*, Field> keptUnlessEmpty[] = {
        {"expfilesize", Field::txtFileSize},   {"txtLookFor", Field::txtLookFor},
        {"txtWatchFreq", Field::txtWatchFreq}, {"txtSMTPhost", Field::txtSMTPhost},
        {"txtSendTo", Field::txtSendto},       {"txtSendTo2", Field::txtSendto2},
        {"txtYourEmail", Field::txtYourEmail},
    };
    for (auto [key, field] : keptUnlessEmpty) {
        std::string value = settings_.ReadSetting(kSection, key);
        if (IsPresent(value) && !value.empty()) form_.SetText(field, value);
    }

    if (settings_.ReadSetting(kSection, "PingOnly") == "y") form_.SetChecked(Field::ckPingOnly, true);
    std::string pingAddr = settings_.ReadSetting(kSection, "PingAddr");
    if (IsPresent(pingAddr)) form_.SetText(Field::editIPaddr, pingAddr);
    form_.SetChecked(Field::ckPOPbefore, settings_.ReadSetting(kSection, "ckPOPbefore") == "y");
    std::string userId = settings_.ReadSetting(kSection, "txtUserid");
    if (IsPresent(userId)) form_.SetText(Field::txtUserid, userId);
    std::string password = settings_.ReadSetting(kSection, "txtPass");
    if (IsPresent(password)) form_.SetText(Field::txtPass, password);
    if (settings_.ReadSetting(kSection, "cboAuthType") == "atLogin") form_.SetChecked(Field::rad_atLogin, true);

    form_.SetChecked(Field::ckAllowHttps, settings_.ReadSetting(kSection, "allowHttps") == "y");
    const std::string security = settings_.ReadSetting(kSection, "mailSecurity");
    Field securityButton = Field::radSecurityNone;
    for (auto [value, button] : kSecurityChoices) {
        if (security == value) securityButton = button;
    }
    form_.SetChecked(securityButton, true);
    const std::string port = settings_.ReadSetting(kSection, "port");
    form_.SetText(Field::txtPort, IsPresent(port) ? port : "");
}

bool SettingsForm::Validate() {
    auto refuse = [this](bool beep, const char* message) {
        if (beep) dialogs_.Beep();
        dialogs_.ShowMessage(message);
        return false;
    };
    for (Field field : {Field::txtURL2watch, Field::txtFileSize, Field::txtLookFor}) {
        form_.SetText(field, Trim(form_.Text(field)));
    }
    if (form_.Text(Field::txtURL2watch).size() < kMinUrlLength) return refuse(true, "Sorry, invalid URL entered...");
    const std::string size = form_.Text(Field::txtFileSize);
    const std::string lookFor = form_.Text(Field::txtLookFor);
    if (!size.empty() && lookFor.size() >= 2) {
        return refuse(true, "Sorry, you cannot enter both File Size and What to Look For criteria...");
    }
    if (size.empty() && lookFor.empty()) {
        return refuse(true, "Sorry, you missed entering File Size or what to look for...");
    }
    if (form_.Text(Field::txtWatchFreq).empty()) return refuse(false, "Sorry, invalid Watch Frequency entered...");
    if (!IsValidAddress(form_.Text(Field::txtSendto))) return refuse(false, "Invalid e-mail address.");
    if (!IsValidAddress(form_.Text(Field::txtYourEmail))) return refuse(false, "Invalid (Your) e-mail address.");
    const std::string port = Trim(form_.Text(Field::txtPort));
    if (!port.empty() && !IsValidPort(port)) return refuse(false, kInvalidPortMessage);
    return true;
}

void SettingsForm::Save() {
    if (!Validate()) return;

    auto write = [this](const char* key, const std::string& value) { settings_.WriteSetting(kSection, key, value); };
    write("url2watch", form_.Text(Field::txtURL2watch));
    write("expfilesize", form_.Text(Field::txtFileSize));
    write("checktype", form_.Text(Field::txtFileSize).empty() ? "lookfor" : "filesize");
    write("txtLookFor", form_.Text(Field::txtLookFor));
    write("txtWatchFreq", form_.Text(Field::txtWatchFreq));
    write("txtSMTPhost", form_.Text(Field::txtSMTPhost));
    write("txtSendTo", form_.Text(Field::txtSendto));
    write("txtSendTo2", form_.Text(Field::txtSendto2));
    write("txtYourEmail", form_.Text(Field::txtYourEmail));
    const bool pingOnly = form_.Checked(Field::ckPingOnly);
    write("PingOnly", pingOnly ? "y" : "");

    if (pingOnly && form_.Text(Field::editIPaddr).size() < kMinPingHostLength) {
        dialogs_.Beep();
        dialogs_.ShowMessage("Sorry, you didn't enter a valid IP address for Pinging.");
        return;
    }

    write("PingAddr", Trim(form_.Text(Field::editIPaddr)));
    if (form_.Checked(Field::ckPOPbefore)) {
        write("ckPOPbefore", "y");
    } else {
        settings_.DeleteSetting(kSection, "ckPOPbefore");
    }
    write("txtUserid", form_.Text(Field::txtUserid));
    write("txtPass", form_.Text(Field::txtPass));
    write("cboAuthType", form_.Checked(Field::rad_atLogin) ? "atLogin" : "atNone");

    // The opt-in settings: each is deleted while it asks for nothing, so
    // that without them the store holds just what it always did.
    auto writeOrDelete = [&](const char* key, const std::string& value) {
        if (value.empty()) {
            settings_.DeleteSetting(kSection, key);
        } else {
            write(key, value);
        }
    };
    writeOrDelete("allowHttps", form_.Checked(Field::ckAllowHttps) ? "y" : "");
    std::string security;
    for (auto [value, button] : kSecurityChoices) {
        if (form_.Checked(button)) security = value;
    }
    writeOrDelete("mailSecurity", security);
    writeOrDelete("port", Trim(form_.Text(Field::txtPort)));
    view_.SetStatusText("Settings saved...");
}

}  // namespace corvasse
