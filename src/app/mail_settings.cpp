#include "app/mail_settings.h"

#include "app/form_fields.h"
#include "app/setting_keys.h"
#include "app/settings_store.h"
#include "common/byte_string.h"

namespace corvasse {

namespace {

std::optional<std::string> Present(std::string value) {
    if (value == kAbsentSetting) return std::nullopt;
    return value;
}

MailSecurity SecurityFromSetting(const std::string& value) {
    if (value == kMailSecurityStartTls) return MailSecurity::StartTls;
    if (value == kMailSecurityTls) return MailSecurity::Tls;
    return MailSecurity::None;
}

}  // namespace

MailSettings ReadMailSettings(const SettingsStore& settings) {
    MailSettings mail;
    mail.host = ReadSetting(settings, setting::txtSMTPhost);
    mail.popBeforeSmtp = IsSettingOn(settings, setting::ckPOPbefore) ? PopBeforeSmtp::On : PopBeforeSmtp::Off;
    mail.user = Present(ReadSetting(settings, setting::txtUserid));
    mail.password = Present(ReadSetting(settings, setting::txtPass));
    if (const std::optional<std::string> type = Present(ReadSetting(settings, setting::cboAuthType))) {
        mail.authType = *type == kAuthTypeLogin ? AuthType::Login : AuthType::None;
    }
    mail.port = Present(ReadSetting(settings, setting::port));
    mail.security = SecurityFromSetting(ReadSetting(settings, setting::mailSecurity));
    mail.family = AddressFamilySetting(settings);
    mail.charSet = Present(ReadSetting(settings, setting::charSet));
    return mail;
}

MailSettings FormMailSettings(const FormFields& form, const SettingsStore& settings) {
    MailSettings mail;
    mail.host = form.Text(Field::txtSMTPhost);
    mail.popBeforeSmtp = form.Checked(Field::ckPOPbefore) ? PopBeforeSmtp::On : PopBeforeSmtp::Off;
    mail.user = form.Text(Field::txtUserid);
    mail.password = form.Text(Field::txtPass);
    mail.authType = form.Checked(Field::rad_atLogin) ? AuthType::Login : AuthType::None;
    if (std::string port = Trim(form.Text(Field::txtPort)); !port.empty()) mail.port = port;
    if (form.Checked(Field::radSecurityStartTls)) mail.security = MailSecurity::StartTls;
    if (form.Checked(Field::radSecurityTls)) mail.security = MailSecurity::Tls;
    const std::string family = form.Text(Field::cboAddressFamily);
    if (family == kAddressFamilyChoices[1]) mail.family = AddressFamily::IPv4;
    if (family == kAddressFamilyChoices[2]) mail.family = AddressFamily::IPv6;
    mail.charSet = Present(ReadSetting(settings, setting::charSet));
    return mail;
}

}  // namespace corvasse
