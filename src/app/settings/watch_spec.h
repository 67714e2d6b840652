#pragma once
// Everything one watch needs, read and checked once from the settings (and
// the form's fields as they stand), then passed by value: what to fetch or
// ping, the check, the family, the offline, outage and certificate
// settings, and how its mails go out. The settings file's keys and what
// they mean for a watch meet here and nowhere else.

#include <chrono>
#include <optional>
#include <string>

#include "app/settings/channel_settings.h"
#include "app/settings/mail_settings.h"
#include "app/settings/outage_settings.h"
#include "common/address_family.h"

namespace corvasse {

class FormFields;
class SettingsStore;

// The days before a certificate ends that "certWarnDays" may ask to be warned.
inline constexpr int kCertWarnDaysMin = 1;
inline constexpr int kCertWarnDaysMax = 365;

// Which watch the settings ask for.
enum class WatchKind { Web, Ping };

struct WatchSpec {
    // The watch's name: its settings file's, without ".conf".
    std::string name;
    WatchKind kind = WatchKind::Web;
    // The address as the form holds it; a web watch fetches it as it is.
    std::string address;
    // The host a ping watch pings, trimmed.
    std::string pingHost;
    // What the history and the mails name the watch by: the ping host, or
    // the address.
    std::string target;

    // The content check: an expected size when the text is not blank (it
    // converts when the check runs), else the text the page must contain.
    std::string expectedSize;
    std::string lookFor;
    // The saved "checktype", which the report's check line follows.
    std::string checkType;

    bool httpsAllowed = false;
    // The family of every connection and ping; eachFamily: the watch goes
    // over IPv4 and IPv6 in turn.
    AddressFamily family = AddressFamily::Any;
    bool eachFamily = false;

    // A failure where the site never answered is put to the offline
    // decision first, with this reference host (empty: none); the first
    // watch after a sleep waits resumeGrace.
    bool offlineAware = false;
    std::string referenceHost;
    std::chrono::seconds resumeGrace{30};

    // Outage mode: none when it is off, or when a setting cannot be used
    // (outageProblem then says why).
    std::optional<OutageSettings> outage;
    std::string outageProblem;

    // The days before a certificate's end that warn: none when off, or when
    // the setting cannot be used (certificateProblem then says why).
    std::optional<int> certificateWarnDays;
    std::string certificateProblem;

    // The mails: alerts, reminders, recoveries and certificate warnings;
    // and the channels beside the mail that carry the same notices.
    MailSettings mail;
    ChannelSettings channels;
};

// The WatchSpec of the watch the form and the store describe, from one read of
// the settings file. Throws RegistryError.
WatchSpec ReadWatchSpec(const FormFields& form, const SettingsStore& settings);

}  // namespace corvasse
