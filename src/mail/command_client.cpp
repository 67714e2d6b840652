#include "mail/command_client.h"

#include <algorithm>
#include <cstdint>

#include "common/byte_string.h"
#include "mail/mail_errors.h"

namespace corvasse {

namespace {

// A reply code is three characters; a fourth "-" continues the reply.
constexpr size_t kCodeLength = 3;

}  // namespace

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
    int64_t size = 0;
    auto nextLine = [&] {
        std::string line = ReadLnSkipEmpty();
        size += static_cast<int64_t>(line.size());
        if (size > kMaxReplyBytes) throw ReplyTooLargeError(kMaxReplyBytes);
        return line;
    };
    std::vector<std::string> lines{nextLine()};
    const std::string& first = lines.front();
    if (first.size() > kCodeLength && first[kCodeLength] == '-') {
        const std::string endMarker = first.substr(0, kCodeLength) + " ";
        for (;;) {
            std::string line = nextLine();
            const bool last = line.size() <= kCodeLength || StartsWithNoCase(line, endMarker);
            lines.push_back(std::move(line));
            if (last) break;
        }
    }
    LastReply.ParseReplyLines(lines);
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
