#include "app/alert/ntfy_request.h"

#include "app/alert/notice.h"
#include "common/base64.h"
#include "common/server_text.h"
#include "common/utf8_text.h"

namespace corvasse {

namespace {

// A header field's value: one line, and beyond ASCII as an encoded word.
std::string FieldText(const std::string& text) {
    const std::string line = BlankedControls(Utf8OrLatin1(text));
    if (IsAscii(line)) return line;
    return "=?UTF-8?B?" + EncodeBase64(line) + "?=";
}

}  // namespace

PushRequest NtfyRequest(const Notice& notice, const std::string& url, const std::string& token) {
    PushRequest request{url, "text/plain; charset=utf-8", Utf8OrLatin1(notice.text), {}};
    request.fields.emplace_back("Title", FieldText(notice.subject));
    const NoticeEvent event = notice.facts.event;
    const bool alert = event == NoticeEvent::Down || event == NoticeEvent::Reminder;
    request.fields.emplace_back("Priority", alert ? "high" : "default");
    const char* tag = alert                               ? "rotating_light"
                      : event == NoticeEvent::Up          ? "white_check_mark"
                      : event == NoticeEvent::Certificate ? "warning"
                                                          : nullptr;
    if (tag) request.fields.emplace_back("Tags", tag);
    if (!token.empty()) request.fields.emplace_back("Authorization", "Bearer " + BlankedControls(token));
    return request;
}

}  // namespace corvasse
