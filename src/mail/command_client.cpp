#include "mail/command_client.h"

#include <algorithm>
#include <cstdint>

#include "mail/mail_errors.h"
#include "net/parser_feed.h"

namespace corvasse {

int CommandClient::SendCmd(std::string_view line, const std::vector<int>& allowed) {
    if (line.find_first_of("\r\n") != std::string_view::npos) throw CommandLineBreakError();
    WriteLn(line);
    return GetResponse(allowed);
}

int CommandClient::SendCmd(std::string_view line, int allowedCode) {
    return SendCmd(line, allowedCode == -1 ? std::vector<int>{} : std::vector<int>{allowedCode});
}

int CommandClient::GetResponse(const std::vector<int>& allowed) {
    ReadReply();
    return CheckReplyCode(LastReply.NumericCode(), allowed);
}

void CommandClient::ReadReply() {
    ScopedReadDeadline deadline(*this, std::chrono::milliseconds(ReadTimeout));
    ReplyParser parser(static_cast<size_t>(std::max(MaxLineLength, 0)));
    FeedUntilDone(*this, parser);
    LastReply.ParseReplyLines(parser.Lines());
}

int CommandClient::CheckReplyCode(int code, const std::vector<int>& allowed) {
    if (allowed.empty()) return code;
    const auto code16 = static_cast<int16_t>(code);
    if (std::any_of(allowed.begin(), allowed.end(), [&](int a) { return static_cast<int16_t>(a) == code16; })) {
        return code;
    }
    RaiseReplyError();
}

void CommandClient::RaiseReplyError() {
    throw ProtocolReplyError(LastReply.NumericCode(), ReplyTextWithLineEnds(LastReply));
}

}  // namespace corvasse
