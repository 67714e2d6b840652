#include "mail/rfc_reply.h"

#include "common/byte_string.h"

namespace corvasse {

namespace {

// A code is followed by one separator character ("250 text", "250-text").
constexpr size_t kTextStart = 4;

std::string TextAfterCode(const std::string& line) {
    return line.size() > kTextStart ? line.substr(kTextStart) : std::string();
}

}  // namespace

void RfcReply::SetNumericCode(int code) {
    numericCode_ = code;
    if (code > 0) textCode_ = std::to_string(code);
}

void RfcReply::SetTextCode(const std::string& code) {
    textCode_ = code;
    if (!code.empty()) numericCode_ = TryStrToInt(code).value_or(0);
}

void RfcReply::Clear() {
    numericCode_ = 0;
    textCode_.clear();
    Text.clear();
}

std::string RfcReply::DisplayName() const {
    if (Text.empty()) return textCode_;
    return textCode_ + " " + Text.front();
}

void RfcReply::ParseReplyLines(const std::vector<std::string>& lines) {
    Clear();
    if (lines.empty()) return;
    const std::string& first = lines.front();
    std::string code = Trim(std::string_view(first).substr(0, kTextStart));
    if (code.size() == kTextStart && code.back() == '-') code.pop_back();
    SetTextCode(code);
    Text.push_back(TextAfterCode(first));
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (EqualsNoCase(std::string_view(line).substr(0, 3), code)) {
            Text.push_back(TextAfterCode(line));
        } else {
            Text.push_back(TrimLeft(line));
        }
    }
}

std::string ReplyTextWithLineEnds(const RfcReply& reply) {
    std::string text;
    for (const std::string& line : reply.Text) {
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace corvasse
