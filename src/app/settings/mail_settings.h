#pragma once
// How the monitor's mails go out: the SMTP server and its login, POP before
// SMTP, the security, the port and the charset. A watch's mails take them
// from the store as saved (app/settings/watch_spec.h); the test mail takes them from the form as it
// stands, so that it tries what the user is about to save.

#include <optional>
#include <string>

#include "common/address_family.h"
#include "mail/message_client.h"
#include "mail/smtp_client.h"

namespace corvasse {

class FormFields;
class SettingsStore;

enum class PopBeforeSmtp { Off, On };

struct MailSettings {
    // The send-to field's list of addresses, and the user's own address.
    std::string sendTo;
    std::string from;
    // Also the POP3 server's. A missing one reads "n/a" and fails to resolve.
    std::string host;
    PopBeforeSmtp popBeforeSmtp = PopBeforeSmtp::Off;
    // None: missing from the store. The SMTP client then keeps what it had,
    // and POP3 logs in with "n/a".
    std::optional<std::string> user;
    std::optional<std::string> password;
    std::optional<AuthType> authType;
    // The text, converted when the SMTP client is set up; none: the default.
    std::optional<std::string> port;
    MailSecurity security = MailSecurity::None;
    // The "ipFamily" setting: both clients keep to it.
    AddressFamily family = AddressFamily::Any;
    // The "charSet" setting, set by hand only; none: chosen by the text.
    std::optional<std::string> charSet;
};

// From the fields of "SMTP Details" as they stand (the port trimmed, none
// when empty; "atNone" unless "atLogin" is chosen) and the "Address family:"
// choice of "URL Details"; the charset from the store. Throws RegistryError.
MailSettings FormMailSettings(const FormFields& form, const SettingsStore& settings);

}  // namespace corvasse
