#include "app/alert/notice.h"

#include "common/duration_text.h"

namespace corvasse {

namespace {

std::string WithoutControls(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    }
    return text;
}

}  // namespace

std::string NoticeSummary(const Notice& notice) {
    const NoticeFacts& facts = notice.facts;
    const std::string lasted = facts.duration ? " after " + DurationText(*facts.duration) : "";
    switch (facts.event) {
        case NoticeEvent::Down: return WithoutControls(notice.address + " is down: " + facts.reason);
        case NoticeEvent::Reminder:
            return WithoutControls(notice.address + " is still down" + lasted + ": " + facts.reason);
        case NoticeEvent::Up: return WithoutControls(notice.address + " is back up" + lasted);
        case NoticeEvent::Certificate: return WithoutControls(notice.address + ": " + facts.reason);
        case NoticeEvent::Test:
            return WithoutControls("Corvasse test for " + notice.address + ": its notices reach this channel.");
    }
    return {};
}

}  // namespace corvasse
