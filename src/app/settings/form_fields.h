#pragma once
// The settings fields of the main window, as the core reads and writes them.
// Readers always take a field as it stands at the moment of use.

#include <string>

namespace corvasse {

enum class Field {
    // "URL Details"
    txtURL2watch,
    txtFileSize,
    txtLookFor,
    ckPingOnly,
    editIPaddr,
    txtWatchFreq,
    // "SMTP Details"
    txtSMTPhost,
    txtSendto,
    txtSendto2,
    txtYourEmail,
    ckPOPbefore,
    txtUserid,
    txtPass,
    rad_atLogin,
    rad_atNone,
    // Opt-in TLS: "Allow https:// addresses (TLS)" on "URL Details"; the
    // "Security:" radio buttons and "Port:" on "SMTP Details".
    ckAllowHttps,
    radSecurityNone,
    radSecurityStartTls,
    radSecurityTls,
    txtPort,
    // Opt-in: "Address family:" on "URL Details", a choice whose text is one
    // of kAddressFamilyChoices.
    cboAddressFamily,
    // Opt-in: "Do not blame the site while this computer is offline or just
    // woke up" on "Alerts".
    ckOfflineAware,
    // Opt-in outage mode, the page "Alerts": "Alert once per outage", "Alert
    // after [N] failed watches in a row", "Remind every [M] minutes", "Mail
    // when it is back up, after [K] good watches".
    ckOutageAlerts,
    txtAlertAfter,
    txtRemindMinutes,
    ckRecoveryMail,
    txtRecoverAfter,
    // Opt-in: "Warn [N] days before the certificate expires" beside "Allow
    // https:// addresses (TLS)": the box and its days.
    ckCertWarn,
    txtCertWarnDays,
    // Opt-in: "Push to ntfy:" and "Webhook:" on "Alerts".
    txtNtfyUrl,
    txtWebhookUrl,
    // The interval in seconds set by hand ("intervalSeconds"), shown as text
    // beside the minutes; empty when there is none. Never saved.
    lblIntervalSeconds,
};

// The last of the fields above, for code that goes through them all.
inline constexpr Field kLastField = Field::lblIntervalSeconds;
// The texts of the "Address family:" choice, in the order it shows them.
inline constexpr const char* kAddressFamilyChoices[] = {"Any", "IPv4 only", "IPv6 only", "Each separately"};

class FormFields {
public:
    virtual ~FormFields() = default;
    // Text of a one-line field, or the chosen text of a choice.
    virtual std::string Text(Field field) const = 0;
    // Sets a field's text, or makes the choice with that text the chosen one.
    virtual void SetText(Field field, const std::string& text) = 0;
    // State of a check box or radio button.
    virtual bool Checked(Field field) const = 0;
    virtual void SetChecked(Field field, bool checked) = 0;
};

}  // namespace corvasse
