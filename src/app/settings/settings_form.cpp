#include "app/settings/settings_form.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/settings/channel_settings.h"
#include "app/settings/form_fields.h"
#include "app/settings/outage_settings.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "app/settings/watch_interval.h"
#include "app/settings/watch_spec.h"
#include "app/view/dialogs.h"
#include "app/view/monitor_view.h"
#include "common/byte_string.h"
#include "mail/mailbox_list.h"

namespace corvasse {

namespace {

constexpr size_t kMinUrlLength = 10;
constexpr size_t kMinAddressLength = 8;
constexpr size_t kMinPingHostLength = 5;

bool IsPresent(const std::string& value) { return value != kAbsentSetting; }

// The "mailSecurity" values and their radio buttons; anything else means none.
constexpr std::pair<std::string_view, Field> kSecurityChoices[] = {
    {kMailSecurityStartTls, Field::radSecurityStartTls},
    {kMailSecurityTls, Field::radSecurityTls},
};

// The "ipFamily" values and the texts of the "Address family:" choice; its
// first text, "Any", stands for the value's absence.
constexpr std::pair<std::string_view, const char*> kFamilyChoices[] = {
    {kIpFamilyIPv4, kAddressFamilyChoices[1]},
    {kIpFamilyIPv6, kAddressFamilyChoices[2]},
    {kIpFamilyEach, kAddressFamilyChoices[3]},
};

bool IsValidPort(const std::string& text) {
    const std::optional<int32_t> port = TryStrToInt(text);
    return port && *port >= kMinPort && *port <= kMaxPort;
}

bool IsValidAddress(const std::string& address) {
    return address.size() >= kMinAddressLength && address.find('@') != std::string::npos &&
           address != kRefusedSampleAddress;
}

// Why the send-to field cannot be saved; none when it can. The field as a
// whole and each of its addresses must pass the tests of a single address;
// then it must read as a list of addresses.
std::optional<std::string> SendToRefusal(const std::string& field) {
    const std::string invalid = "Invalid e-mail address.";
    if (!IsValidAddress(field)) return invalid;
    std::vector<Mailbox> mailboxes;
    try {
        mailboxes = ParseMailboxList(field);
    } catch (const MailboxListError& error) {
        return "Invalid e-mail address " + std::string(error.what()) + ".";
    }
    const bool valid = !mailboxes.empty() && std::all_of(mailboxes.begin(), mailboxes.end(),
                                                         [](const Mailbox& m) { return IsValidAddress(m.address); });
    if (!valid) return invalid;
    return std::nullopt;
}

// The numbers of the page "Alerts": their keys, fields, ranges and refusals.
struct OutageNumber {
    SettingKey key;
    Field field;
    int min;
    int max;
    const char* refusal;
};
constexpr OutageNumber kOutageNumbers[] = {
    {setting::alertAfter, Field::txtAlertAfter, kAlertAfterMin, kAlertAfterMax, kInvalidAlertAfterMessage},
    {setting::remindMinutes, Field::txtRemindMinutes, 0, static_cast<int>(kRemindEveryMax.count()),
     kInvalidRemindMinutesMessage},
    {setting::recoverAfter, Field::txtRecoverAfter, kRecoverAfterMin, kRecoverAfterMax, kInvalidRecoverAfterMessage},
};

// The channels beside the mail, on "Alerts".
constexpr std::pair<SettingKey, Field> kChannelFields[] = {
    {setting::ntfyUrl, Field::txtNtfyUrl},
    {setting::webhookUrl, Field::txtWebhookUrl},
};

}  // namespace

SettingsForm::SettingsForm(FormFields& form, MonitorView& view, Dialogs& dialogs, SettingsStore& settings)
    : form_(form), view_(view), dialogs_(dialogs), settings_(settings) {}

void SettingsForm::Load() {
    view_.SelectStatusPage();
    // Every value from one read of the file.
    const SettingsStore settings = settings_.Snapshot();

    std::string url = ReadSetting(settings, setting::url2watch);
    form_.SetText(Field::txtURL2watch, IsPresent(url) && !url.empty() ? url : std::string(setting::url2watch.initial));

    const std::pair<SettingKey, Field> keptUnlessEmpty[] = {
        {setting::expfilesize, Field::txtFileSize},   {setting::txtLookFor, Field::txtLookFor},
        {setting::txtWatchFreq, Field::txtWatchFreq}, {setting::txtSMTPhost, Field::txtSMTPhost},
        {setting::txtSendTo, Field::txtSendto},       {setting::txtSendTo2, Field::txtSendto2},
        {setting::txtYourEmail, Field::txtYourEmail},
    };
    for (const auto& [key, field] : keptUnlessEmpty) {
        std::string value = ReadSetting(settings, key);
        if (IsPresent(value) && !value.empty()) form_.SetText(field, value);
    }

    if (IsSettingOn(settings, setting::PingOnly)) form_.SetChecked(Field::ckPingOnly, true);
    std::string pingAddr = ReadSetting(settings, setting::PingAddr);
    if (IsPresent(pingAddr)) form_.SetText(Field::editIPaddr, pingAddr);
    form_.SetChecked(Field::ckPOPbefore, IsSettingOn(settings, setting::ckPOPbefore));
    std::string userId = ReadSetting(settings, setting::txtUserid);
    if (IsPresent(userId)) form_.SetText(Field::txtUserid, userId);
    std::string password = ReadSetting(settings, setting::txtPass);
    if (IsPresent(password)) form_.SetText(Field::txtPass, password);
    if (ReadSetting(settings, setting::cboAuthType) == kAuthTypeLogin) form_.SetChecked(Field::rad_atLogin, true);

    form_.SetChecked(Field::ckAllowHttps, IsSettingOn(settings, setting::allowHttps));
    const std::string security = ReadSetting(settings, setting::mailSecurity);
    Field securityButton = Field::radSecurityNone;
    for (auto [value, button] : kSecurityChoices) {
        if (security == value) securityButton = button;
    }
    form_.SetChecked(securityButton, true);
    const std::string port = ReadSetting(settings, setting::port);
    form_.SetText(Field::txtPort, IsPresent(port) ? port : "");
    const std::string family = ReadSetting(settings, setting::ipFamily);
    std::string familyChoice(setting::ipFamily.initial);
    for (auto [value, text] : kFamilyChoices) {
        if (family == value) familyChoice = text;
    }
    form_.SetText(Field::cboAddressFamily, familyChoice);
    form_.SetChecked(Field::ckOfflineAware, IsSettingOn(settings, setting::offlineAware));

    form_.SetChecked(Field::ckOutageAlerts, IsSettingOn(settings, setting::outageAlerts));
    for (const OutageNumber& number : kOutageNumbers) {
        const std::string value = ReadSetting(settings, number.key);
        form_.SetText(number.field, IsPresent(value) && !value.empty() ? value : std::string(number.key.initial));
    }
    form_.SetChecked(Field::ckRecoveryMail, ReadSetting(settings, setting::recoveryMail) != kRecoveryMailOff);
    // A value out of range leaves the box clear; the watch says why.
    const std::optional<int> warnDays =
        WholeNumberIn(ReadSetting(settings, setting::certWarnDays), kCertWarnDaysMin, kCertWarnDaysMax);
    form_.SetChecked(Field::ckCertWarn, warnDays.has_value());
    form_.SetText(Field::txtCertWarnDays,
                  warnDays ? std::to_string(*warnDays) : std::string(setting::certWarnDays.initial));
    for (const auto& [key, field] : kChannelFields) {
        const std::string value = ReadSetting(settings, key);
        form_.SetText(field, IsPresent(value) ? value : "");
    }
    const std::string seconds = ReadSetting(settings, setting::intervalSeconds);
    form_.SetText(Field::lblIntervalSeconds, IsPresent(seconds) ? seconds : "");
}

bool SettingsForm::Validate() {
    auto refuse = [this](bool beep, const std::string& message) {
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
    if (const std::optional<std::string> refusal = SendToRefusal(form_.Text(Field::txtSendto))) {
        return refuse(false, *refusal);
    }
    if (!IsValidAddress(form_.Text(Field::txtYourEmail))) return refuse(false, "Invalid (Your) e-mail address.");
    const std::string port = Trim(form_.Text(Field::txtPort));
    if (!port.empty() && !IsValidPort(port)) return refuse(false, kInvalidPortMessage);
    // A text that is not a number is saved as ever; "Start Watching" refuses
    // it with the conversion error.
    const std::optional<int32_t> minutes = TryStrToInt(form_.Text(Field::txtWatchFreq));
    if (minutes && !IsWatchIntervalInRange(*minutes)) return refuse(false, kInvalidIntervalMessage);
    for (const OutageNumber& number : kOutageNumbers) {
        const std::string value = Trim(form_.Text(number.field));
        if (!value.empty() && !WholeNumberIn(value, number.min, number.max)) return refuse(false, number.refusal);
    }
    for (const auto& [channel, field] : {std::pair{"ntfy", Field::txtNtfyUrl}, {"webhook", Field::txtWebhookUrl}}) {
        if (const auto refusal = ChannelUrlRefusal(channel, form_.Text(field), form_.Checked(Field::ckAllowHttps))) {
            return refuse(false, *refusal);
        }
    }
    return true;
}

void SettingsForm::Save() {
    if (!Validate()) return;

    auto write = [this](const SettingKey& key, std::string_view value) { WriteSetting(settings_, key, value); };
    auto flag = [](bool on) { return on ? kSettingOn : std::string_view(); };
    write(setting::url2watch, form_.Text(Field::txtURL2watch));
    write(setting::expfilesize, form_.Text(Field::txtFileSize));
    write(setting::checktype, form_.Text(Field::txtFileSize).empty() ? kCheckTypeLookFor : kCheckTypeFileSize);
    write(setting::txtLookFor, form_.Text(Field::txtLookFor));
    write(setting::txtWatchFreq, form_.Text(Field::txtWatchFreq));
    write(setting::txtSMTPhost, form_.Text(Field::txtSMTPhost));
    write(setting::txtSendTo, form_.Text(Field::txtSendto));
    write(setting::txtSendTo2, form_.Text(Field::txtSendto2));
    write(setting::txtYourEmail, form_.Text(Field::txtYourEmail));
    const bool pingOnly = form_.Checked(Field::ckPingOnly);
    write(setting::PingOnly, flag(pingOnly));

    if (pingOnly && form_.Text(Field::editIPaddr).size() < kMinPingHostLength) {
        dialogs_.Beep();
        dialogs_.ShowMessage("Sorry, you didn't enter a valid IP address for Pinging.");
        return;
    }

    write(setting::PingAddr, Trim(form_.Text(Field::editIPaddr)));
    if (form_.Checked(Field::ckPOPbefore)) {
        write(setting::ckPOPbefore, kSettingOn);
    } else {
        DeleteSetting(settings_, setting::ckPOPbefore);
    }
    write(setting::txtUserid, form_.Text(Field::txtUserid));
    write(setting::txtPass, form_.Text(Field::txtPass));
    write(setting::cboAuthType, form_.Checked(Field::rad_atLogin) ? kAuthTypeLogin : kAuthTypeNone);

    // The opt-in settings: each is deleted while it asks for nothing, so
    // that without them the store holds just what it always did.
    auto writeOrDelete = [&](const SettingKey& key, std::string_view value) {
        if (value.empty()) {
            DeleteSetting(settings_, key);
        } else {
            write(key, value);
        }
    };
    writeOrDelete(setting::allowHttps, flag(form_.Checked(Field::ckAllowHttps)));
    std::string_view security;
    for (auto [value, button] : kSecurityChoices) {
        if (form_.Checked(button)) security = value;
    }
    writeOrDelete(setting::mailSecurity, security);
    writeOrDelete(setting::port, Trim(form_.Text(Field::txtPort)));
    std::string_view family;
    for (auto [value, text] : kFamilyChoices) {
        if (form_.Text(Field::cboAddressFamily) == text) family = value;
    }
    writeOrDelete(setting::ipFamily, family);
    writeOrDelete(setting::offlineAware, flag(form_.Checked(Field::ckOfflineAware)));
    writeOrDelete(setting::outageAlerts, flag(form_.Checked(Field::ckOutageAlerts)));
    for (const OutageNumber& number : kOutageNumbers) {
        const std::string value = Trim(form_.Text(number.field));
        // An empty field, like a missing value, means the default.
        writeOrDelete(number.key, value == number.key.initial ? std::string_view() : std::string_view(value));
    }
    writeOrDelete(setting::recoveryMail, form_.Checked(Field::ckRecoveryMail) ? std::string_view() : kRecoveryMailOff);
    writeOrDelete(setting::certWarnDays,
                  form_.Checked(Field::ckCertWarn) ? Trim(form_.Text(Field::txtCertWarnDays)) : "");
    for (const auto& [key, field] : kChannelFields) writeOrDelete(key, Trim(form_.Text(field)));
    view_.SetStatusText("Settings saved...");
}

}  // namespace corvasse
