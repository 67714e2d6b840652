#pragma once
// A notice: what one alert, reminder, recovery, certificate warning or test
// tells, whichever channel carries it. The mail and the ntfy push carry its
// subject and text; a webhook carries its facts as data and its summary.

#include <chrono>
#include <optional>
#include <string>

#include "core/history_records.h"

namespace corvasse {

enum class NoticeEvent {
    Down,         // a failed watch, or an outage's alert
    Reminder,     // an outage goes on
    Up,           // an outage ended
    Certificate,  // the site's certificate ends soon
    Test,         // "Send Test"
};

struct NoticeFacts {
    NoticeEvent event = NoticeEvent::Down;
    // Why the site is down (the last failure's reason for a recovery), or
    // what ails the certificate; empty for a test.
    std::string reason;
    // For an outage: when it began, and how long it lasted until the notice.
    std::optional<ResultTime> since = {};
    std::optional<std::chrono::seconds> duration = {};
};

struct Notice {
    NoticeFacts facts;
    // The watch's name (its settings file's) and what it watches: the address,
    // or the host it pings.
    std::string watch;
    std::string address;
    // The mail's subject and text: the report's lines, without the footer.
    std::string subject;
    std::string text;
};

// The notice in one line, for a chat: "ADDRESS is down: REASON", "ADDRESS
// is still down after 2 h 13 min: REASON", "ADDRESS is back up after 4 min",
// "ADDRESS: certificate for HOST expires in 5 days (...)", or the test's
// line. Line breaks and other control characters become spaces.
std::string NoticeSummary(const Notice& notice);

}  // namespace corvasse
