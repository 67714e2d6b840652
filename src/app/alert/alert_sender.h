#pragma once
// The watch's way to mail what went wrong: the alert of a failed web check
// and, in outage mode, the alert once per outage, its reminders and the
// mail that says the site is back; and the warning that the site's
// certificate ends soon. Each mail goes out as the watch's WatchSpec says
// (app/settings/watch_spec.h).

#include <functional>
#include <string>
#include <vector>

namespace corvasse {

struct WatchOutcome;
struct WatchSpec;

// The alert or a reminder of an outage.
struct OutageAlert {
    // The report's last lines before the separator: "Reason: REASON", and a
    // reminder's "Down since DATE-TIME (DURATION)".
    std::vector<std::string> moreLines;
    // Runs just before the message's final "." goes out: from then on the
    // recipient may have the alert even when the server's reply never comes.
    std::function<void()> handingOver = {};
};

class AlertSender {
public:
    virtual ~AlertSender() = default;
    // Composes the report of what the watch found, logs it and e-mails it;
    // throws when delivery fails.
    virtual void SendAlert(const WatchSpec& watchSpec, const WatchOutcome& outcome) = 0;
    // The same for an outage; a ping watch's report has the host instead of
    // the web watch's lines. Throws when delivery fails.
    virtual void SendOutageAlert(const WatchSpec& watchSpec, const WatchOutcome& outcome, const OutageAlert& alert) = 0;
    // E-mails the report that the watched site is back, which the caller
    // has logged. Throws when delivery fails.
    virtual void SendRecovery(const WatchSpec& watchSpec, const std::string& report) = 0;
    // E-mails the warning that a server certificate ends soon (the report
    // of app/alert/certificate_expiry_text.h). Throws when delivery fails.
    virtual void SendCertificateWarning(const WatchSpec& watchSpec, const std::string& report) = 0;
};

}  // namespace corvasse
