#include "app/settings/mail_settings.h"

#include "app/settings/form_fields.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "common/byte_string.h"

namespace corvasse {

namespace {

std::optional<std::string> Present(std::string value) {
    if (value == kAbsentSetting) return std::nullopt;
    return value;
}

}  // namespace

MailSettings FormMailSettings(const FormFields& form, const SettingsStore& settings) {
    MailSettings mail;
    mail.sendTo = form.Text(Field::txtSendto);
    mail.from = form.Text(Field::txtYourEmail);
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
