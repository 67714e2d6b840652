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
void ReadCertificateDays(const SettingsStore& settings, WatchSpec& watchSpec) {
    const std::string value = ReadSetting(settings, setting::certWarnDays);
    if (value == kAbsentSetting || value.empty()) return;
    watchSpec.certificateWarnDays = WholeNumberIn(value, kCertWarnDaysMin, kCertWarnDaysMax);
    if (!watchSpec.certificateWarnDays) {
        watchSpec.certificateProblem = "Certificate warnings are off: " + std::string(setting::certWarnDays.name) +
                                       "=" + value + " in the settings file must be a whole number from " +
                                       std::to_string(kCertWarnDaysMin) + " to " + std::to_string(kCertWarnDaysMax) +
                                       ".";
    }
}

}  // namespace

WatchSpec ReadWatchSpec(const FormFields& form, const SettingsStore& store) {
    const SettingsStore settings = store.Snapshot();
    WatchSpec watchSpec;
    watchSpec.name = store.FilePath().stem().string();
    watchSpec.kind = IsSettingOn(settings, setting::PingOnly) ? WatchKind::Ping : WatchKind::Web;
    watchSpec.address = form.Text(Field::txtURL2watch);
    watchSpec.pingHost = Trim(form.Text(Field::editIPaddr));
    watchSpec.target = watchSpec.kind == WatchKind::Ping ? watchSpec.pingHost : watchSpec.address;
    watchSpec.expectedSize = form.Text(Field::txtFileSize);
    watchSpec.lookFor = form.Text(Field::txtLookFor);
    watchSpec.checkType = ReadSetting(settings, setting::checktype);
    watchSpec.httpsAllowed = IsSettingOn(settings, setting::allowHttps);
    const std::string family = ReadSetting(settings, setting::ipFamily);
    watchSpec.family = FamilyFrom(family);
    watchSpec.eachFamily = family == kIpFamilyEach;
    watchSpec.offlineAware = IsSettingOn(settings, setting::offlineAware);
    const std::string referenceHost = ReadSetting(settings, setting::referenceHost);
    if (referenceHost != kAbsentSetting) watchSpec.referenceHost = Trim(referenceHost);
    const std::optional<int32_t> grace = TryStrToInt(ReadSetting(settings, setting::resumeGraceSeconds));
    watchSpec.resumeGrace = grace && *grace >= 0 ? std::chrono::seconds(*grace) : kDefaultResumeGrace;
    try {
        watchSpec.outage = ReadOutageSettings(settings);
    } catch (const OutageSettingError& error) {
        watchSpec.outageProblem = error.what();
    }
    ReadCertificateDays(settings, watchSpec);
    watchSpec.mail = MailFrom(form, settings);
    watchSpec.channels = ReadChannelSettings(settings);
    return watchSpec;
}

}  // namespace corvasse
