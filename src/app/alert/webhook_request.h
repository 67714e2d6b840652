#pragma once
// A notice as a webhook takes it: one JSON object, whose "text" is the
// notice in one line, so that a chat's incoming webhook that shows "text"
// (Slack, Mattermost, Rocket.Chat) shows the notice as it is.

#include <string>
#include <string_view>

#include "app/alert/push_request.h"

namespace corvasse {

struct Notice;

// POST to url, "application/json", the body:
//     {"event": "down" | "reminder" | "up" | "certificate" | "test",
//      "watch": NAME, "address": ADDRESS, "reason": REASON,
//      "since": "2026-12-09T14:02:07Z" or null, "duration_s": SECONDS or null,
//      "subject": THE MAIL'S SUBJECT, "text": NoticeSummary}
PushRequest WebhookRequest(const Notice& notice, const std::string& url);

// The text as a JSON string, quotes included: UTF-8 (a text that is not is
// read as Latin-1), with quotes, backslashes and control characters escaped.
std::string JsonString(std::string_view text);

}  // namespace corvasse
