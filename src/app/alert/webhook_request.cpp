#include "app/alert/webhook_request.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "app/alert/notice.h"
#include "common/utf8_text.h"

namespace corvasse {

namespace {

const char* EventName(NoticeEvent event) {
    switch (event) {
        case NoticeEvent::Down: return "down";
        case NoticeEvent::Reminder: return "reminder";
        case NoticeEvent::Up: return "up";
        case NoticeEvent::Certificate: return "certificate";
        case NoticeEvent::Test: return "test";
    }
    return "";
}

// ISO 8601 in UTC to the second: "2026-12-09T14:02:07Z".
std::string UtcText(ResultTime time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(time));
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

}  // namespace

std::string JsonString(std::string_view text) {
    const std::string utf8 = Utf8OrLatin1(text);
    std::string json = "\"";
    for (const char c : utf8) {
        switch (c) {
            case '"': json += "\\\""; break;
            case '\\': json += "\\\\"; break;
            case '\n': json += "\\n"; break;
            case '\r': json += "\\r"; break;
            case '\t': json += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    json += escaped;
                } else {
                    json += c;
                }
        }
    }
    return json + "\"";
}

PushRequest WebhookRequest(const Notice& notice, const std::string& url) {
    const NoticeFacts& facts = notice.facts;
    std::string body = "{\"event\": " + JsonString(EventName(facts.event));
    body += ", \"watch\": " + JsonString(notice.watch);
    body += ", \"address\": " + JsonString(notice.address);
    body += ", \"reason\": " + JsonString(facts.reason);
    body += ", \"since\": " + (facts.since ? JsonString(UtcText(*facts.since)) : "null");
    body += ", \"duration_s\": " + (facts.duration ? std::to_string(facts.duration->count()) : "null");
    body += ", \"subject\": " + JsonString(notice.subject);
    body += ", \"text\": " + JsonString(NoticeSummary(notice)) + "}";
    return {url, "application/json", body, {}};
}

}  // namespace corvasse
