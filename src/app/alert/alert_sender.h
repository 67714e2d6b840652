#pragma once
// The watch's way to tell what went wrong: the alert of a failed web check
// and, in outage mode, the alert once per outage, its reminders and the
// notice that the site is back; and the warning that the site's
// certificate ends soon. Each goes out by mail, and by the channels beside
// it, as the watch's WatchSpec says (app/settings/watch_spec.h).

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/alert/notice.h"

namespace corvasse {

struct WatchOutcome;
struct WatchSpec;

// A notice that no channel delivered, when the first to fail was not the
// mail: one line per channel that failed, "Not sent to ntfy: REASON".
class NoticeFailedError : public std::runtime_error {
public:
    explicit NoticeFailedError(std::vector<std::string> lines)
        : std::runtime_error(Joined(lines)), lines_(std::move(lines)) {}
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    static std::string Joined(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
        return text;
    }

    std::vector<std::string> lines_;
};

// A notice that some channels delivered and others did not: it counts as
// told. The same lines, one per channel that failed.
class NoticePartlyFailedError : public NoticeFailedError {
public:
    using NoticeFailedError::NoticeFailedError;
};

// The alert or a reminder of an outage.
struct OutageAlert {
    // The report's last lines before the separator: "Reason: REASON", and a
    // reminder's "Down since DATE-TIME (DURATION)".
    std::vector<std::string> moreLines;
    // Down for the alert, Reminder for a reminder; the outage's reason, since
    // and duration.
    NoticeFacts facts = {};
    // Runs just before the message's final "." goes out: from then on the
    // recipient may have the alert even when the server's reply never comes.
    std::function<void()> handingOver = {};
};

// Each notice goes to the mail and to every channel beside it that the
// WatchSpec sets. When one channel fails, the others are tried all the same:
// with none delivered, the first one's error passes to the caller (the
// mail's as it always did, another channel's as NoticeFailedError); with
// some delivered, NoticePartlyFailedError. An outage's notices and a
// certificate warning then go again on the channels that failed, at
// SendUndelivered.
class AlertSender {
public:
    virtual ~AlertSender() = default;
    // Composes the report of what the watch found, logs it and sends it.
    virtual void SendAlert(const WatchSpec& watchSpec, const WatchOutcome& outcome) = 0;
    // The same for an outage; a ping watch's report has the host instead of
    // the web watch's lines.
    virtual void SendOutageAlert(const WatchSpec& watchSpec, const WatchOutcome& outcome, const OutageAlert& alert) = 0;
    // Sends the report that the watched site is back, which the caller has
    // logged; facts tell of the outage (their event is Up).
    virtual void SendRecovery(const WatchSpec& watchSpec, const std::string& report, const NoticeFacts& facts) = 0;
    // Sends the warning that a server certificate ends soon (the report of
    // app/alert/certificate_expiry_text.h); facts' reason says what ends
    // when (their event is Certificate).
    virtual void SendCertificateWarning(const WatchSpec& watchSpec, const std::string& report,
                                        const NoticeFacts& facts) = 0;
    // With the next result: sends again what a channel failed to deliver
    // while another delivered it, on the channels the WatchSpec still sets.
    // Each is tried; those that fail again stay. Throws NoticeFailedError
    // then, and AbortedError.
    virtual void SendUndelivered(const WatchSpec& watchSpec) = 0;
};

}  // namespace corvasse
