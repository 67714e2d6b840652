#include "app/settings/watch_spec.h"

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

AddressFamily FamilyFrom(const std::string& value) {
    if (value == kIpFamilyIPv4) return AddressFamily::IPv4;
    if (value == kIpFamilyIPv6) return AddressFamily::IPv6;
    // "each" too: every connection but the watch's takes any family.
    return AddressFamily::Any;
}

MailSecurity SecurityFrom(const std::string& value) {
    if (value == kMailSecurityStartTls) return MailSecurity::StartTls;
    if (value == kMailSecurityTls) return MailSecurity::Tls;
    return MailSecurity::None;
}

MailSettings MailFrom(const FormFields& form, const SettingsStore& settings) {
    MailSettings mail;
    mail.sendTo = form.Text(Field::txtSendto);
    mail.from = form.Text(Field::txtYourEmail);
    mail.host = ReadSetting(settings, setting::txtSMTPhost);
    mail.popBeforeSmtp = IsSettingOn(settings, setting::ckPOPbefore) ? PopBeforeSmtp::On : PopBeforeSmtp::Off;
    mail.user = Present(ReadSetting(settings, setting::txtUserid));
    mail.password = Present(ReadSetting(settings, setting::txtPass));
    if (const std::optional<std::string> type = Present(ReadSetting(settings, setting::cboAuthType))) {
        mail.authType = *type == kAuthTypeLogin ? AuthType::Login : AuthType::None;
    }
    mail.port = Present(ReadSetting(settings, setting::port));
    mail.security = SecurityFrom(ReadSetting(settings, setting::mailSecurity));
    mail.family = FamilyFrom(ReadSetting(settings, setting::ipFamily));
    mail.charSet = Present(ReadSetting(settings, setting::charSet));
    return mail;
}

// "certWarnDays": off when missing or empty.
void ReadCertificateDays(const SettingsStore& settings, WatchSpec& spec) {
    const std::string value = ReadSetting(settings, setting::certWarnDays);
    if (value == kAbsentSetting || value.empty()) return;
    spec.certificateWarnDays = WholeNumberIn(value, kCertWarnDaysMin, kCertWarnDaysMax);
    if (!spec.certificateWarnDays) {
        spec.certificateProblem = "Certificate warnings are off: " + std::string(setting::certWarnDays.name) + "=" +
                                  value + " in the settings file must be a whole number from " +
                                  std::to_string(kCertWarnDaysMin) + " to " + std::to_string(kCertWarnDaysMax) + ".";
    }
}

}  // namespace

WatchSpec ReadWatchSpec(const FormFields& form, const SettingsStore& store) {
    const SettingsStore settings = store.Snapshot();
    WatchSpec spec;
    spec.kind = IsSettingOn(settings, setting::PingOnly) ? WatchKind::Ping : WatchKind::Web;
    spec.address = form.Text(Field::txtURL2watch);
    spec.pingHost = Trim(form.Text(Field::editIPaddr));
    spec.target = spec.kind == WatchKind::Ping ? spec.pingHost : spec.address;
    spec.expectedSize = form.Text(Field::txtFileSize);
    spec.lookFor = form.Text(Field::txtLookFor);
    spec.checkType = ReadSetting(settings, setting::checktype);
    spec.httpsAllowed = IsSettingOn(settings, setting::allowHttps);
    const std::string family = ReadSetting(settings, setting::ipFamily);
    spec.family = FamilyFrom(family);
    spec.eachFamily = family == kIpFamilyEach;
    spec.offlineAware = IsSettingOn(settings, setting::offlineAware);
    const std::string referenceHost = ReadSetting(settings, setting::referenceHost);
    if (referenceHost != kAbsentSetting) spec.referenceHost = Trim(referenceHost);
    const std::optional<int32_t> grace = TryStrToInt(ReadSetting(settings, setting::resumeGraceSeconds));
    spec.resumeGrace = grace && *grace >= 0 ? std::chrono::seconds(*grace) : kDefaultResumeGrace;
    try {
        spec.outage = ReadOutageSettings(settings);
    } catch (const OutageSettingError& error) {
        spec.outageProblem = error.what();
    }
    ReadCertificateDays(settings, spec);
    spec.mail = MailFrom(form, settings);
    return spec;
}

}  // namespace corvasse
