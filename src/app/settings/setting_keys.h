#pragma once
// The monitor's settings in one table: the section they live in, each value's
// name as it is stored, and - where the window has a field for it - the text
// that field shows until the settings are loaded. The settings form, the
// watch, the alert and both front ends without a window read them here.

#include <chrono>
#include <string>
#include <string_view>

namespace corvasse {

class SettingsStore;

// Every value of the monitor lives in this one section.
inline constexpr std::string_view kSettingsSection = "Settings";
// A ticked box is stored as this text; any other value means not ticked.
inline constexpr std::string_view kSettingOn = "y";

struct SettingKey {
    // The value's name in the store; it never changes, stored files rely on it.
    std::string_view name;
    // The text of the form's field before any settings are loaded.
    std::string_view initial = {};
};

// The address both e-mail fields show until the user types their own.
inline constexpr const char* kPlaceholderAddress = "your-id@your-provider.com";

namespace setting {
// "URL Details"
inline constexpr SettingKey url2watch{"url2watch", "http://"};
inline constexpr SettingKey expfilesize{"expfilesize"};
// Which check the saved form asks for: kCheckTypeFileSize or kCheckTypeLookFor.
inline constexpr SettingKey checktype{"checktype"};
inline constexpr SettingKey txtLookFor{"txtLookFor"};
inline constexpr SettingKey txtWatchFreq{"txtWatchFreq", "15"};
inline constexpr SettingKey PingOnly{"PingOnly"};
inline constexpr SettingKey PingAddr{"PingAddr"};
// "SMTP Details"
inline constexpr SettingKey txtSMTPhost{"txtSMTPhost"};
inline constexpr SettingKey txtSendTo{"txtSendTo", kPlaceholderAddress};
inline constexpr SettingKey txtSendTo2{"txtSendTo2"};
inline constexpr SettingKey txtYourEmail{"txtYourEmail", kPlaceholderAddress};
inline constexpr SettingKey ckPOPbefore{"ckPOPbefore"};
inline constexpr SettingKey txtUserid{"txtUserid"};
inline constexpr SettingKey txtPass{"txtPass"};
// kAuthTypeLogin or kAuthTypeNone.
inline constexpr SettingKey cboAuthType{"cboAuthType"};
// Opt-in: the check box "Allow https:// addresses (TLS)", the "Security:"
// choice (kMailSecurityStartTls, kMailSecurityTls) and "Port:"; each is
// deleted while it is off.
inline constexpr SettingKey allowHttps{"allowHttps"};
inline constexpr SettingKey mailSecurity{"mailSecurity"};
inline constexpr SettingKey port{"port"};
// Opt-in: the "Address family:" choice on "URL Details" (kIpFamilyIPv4,
// kIpFamilyIPv6, kIpFamilyEach); deleted while it is "Any". Every connection
// and ping of the watch and of the alert keeps to one family; "each" has the
// watch go over both families in turn, and the alert connect as with "Any".
inline constexpr SettingKey ipFamily{"ipFamily", "Any"};
// Opt-in: the check box "Do not blame the site while this computer is
// offline or just woke up" on "Alerts", deleted while clear; with it,
// "referenceHost" (set by hand) names a host that must be unreachable too
// before a failure is put down to this computer, and "resumeGraceSeconds"
// (set by hand, default kDefaultResumeGrace) how long the first watch after
// a wake-up waits.
inline constexpr SettingKey offlineAware{"offlineAware"};
inline constexpr SettingKey referenceHost{"referenceHost"};
inline constexpr SettingKey resumeGraceSeconds{"resumeGraceSeconds"};
// Set by hand only: the alert's charset.
inline constexpr SettingKey charSet{"charSet"};
// Opt-in outage mode, on the page "Alerts": the switch ("y"), the down
// results in a row that begin an outage, the minutes between reminders and
// the up results in a row that end it (each deleted while it holds the
// default its field starts with, those of app/settings/outage_settings.h), and the
// recovery mail (kRecoveryMailOff when it is not wanted, else deleted).
inline constexpr SettingKey outageAlerts{"outageAlerts"};
inline constexpr SettingKey alertAfter{"alertAfter", "2"};
inline constexpr SettingKey remindMinutes{"remindMinutes", "0"};
inline constexpr SettingKey recoverAfter{"recoverAfter", "1"};
inline constexpr SettingKey recoveryMail{"recoveryMail"};
// Opt-in: "Warn [N] days before the certificate expires" beside "Allow
// https:// addresses (TLS)"; the days, or deleted while the box is clear.
inline constexpr SettingKey certWarnDays{"certWarnDays", "14"};
// Opt-in, on "Alerts": "Push to ntfy:" and "Webhook:", the addresses every
// notice is also posted to (app/settings/channel_settings.h), each deleted
// while empty; and, set by hand only, the ntfy server's access token.
inline constexpr SettingKey ntfyUrl{"ntfyUrl"};
inline constexpr SettingKey ntfyToken{"ntfyToken"};
inline constexpr SettingKey webhookUrl{"webhookUrl"};
// Set by hand only: the watch interval in seconds, instead of the minutes
// of txtWatchFreq.
inline constexpr SettingKey intervalSeconds{"intervalSeconds"};
// Opt-in, in Corvasse.conf alone: "Start all watches when Corvasse starts",
// "y" or deleted.
inline constexpr SettingKey startAll{"startAll"};
// Set by hand only, read when the service starts: where it serves its
// metrics ("127.0.0.1:9477"), as its option --metrics does.
inline constexpr SettingKey metricsListen{"metricsListen"};
}  // namespace setting

// The values every watch of a settings folder shares, those of "SMTP
// Details" and "Alerts": written to Corvasse.conf, unless the watch's own
// file sets them itself. Every other value is the watch's own. (Reads take
// any value a watch's file lacks from Corvasse.conf.)
inline constexpr std::string_view kSharedSettings[] = {
    setting::txtSMTPhost.name,   setting::txtSendTo.name,    setting::txtSendTo2.name,   setting::txtYourEmail.name,
    setting::ckPOPbefore.name,   setting::txtUserid.name,    setting::txtPass.name,      setting::cboAuthType.name,
    setting::mailSecurity.name,  setting::port.name,         setting::outageAlerts.name, setting::alertAfter.name,
    setting::remindMinutes.name, setting::recoverAfter.name, setting::recoveryMail.name, setting::offlineAware.name,
    setting::ntfyUrl.name,       setting::ntfyToken.name,    setting::webhookUrl.name,
};

// The values that the form writes and the watch and the alert read.
inline constexpr std::string_view kCheckTypeFileSize = "filesize";
inline constexpr std::string_view kCheckTypeLookFor = "lookfor";
inline constexpr std::string_view kAuthTypeLogin = "atLogin";
inline constexpr std::string_view kAuthTypeNone = "atNone";
inline constexpr std::string_view kMailSecurityStartTls = "starttls";
inline constexpr std::string_view kMailSecurityTls = "tls";
inline constexpr std::string_view kIpFamilyIPv4 = "ipv4";
inline constexpr std::string_view kIpFamilyIPv6 = "ipv6";
inline constexpr std::string_view kIpFamilyEach = "each";
inline constexpr std::chrono::seconds kDefaultResumeGrace{30};
inline constexpr std::string_view kRecoveryMailOff = "n";

// The store's operations on a value of kSettingsSection. ReadSetting returns
// kAbsentSetting ("n/a") for a missing value, and every value in UTF-8: one
// that is not valid UTF-8 was written in Latin-1 (by hand, or by an older
// program) and is read one character per byte, so that the window, the
// service and the plugin watch, report and alert with the same text. Writes
// and removals of the values of kSharedSettings go where those are shared.
// All throw RegistryError.
std::string ReadSetting(const SettingsStore& settings, const SettingKey& key);
void WriteSetting(SettingsStore& settings, const SettingKey& key, std::string_view value);
void DeleteSetting(SettingsStore& settings, const SettingKey& key);

// Whether the value reads exactly kSettingOn.
bool IsSettingOn(const SettingsStore& settings, const SettingKey& key);

}  // namespace corvasse
