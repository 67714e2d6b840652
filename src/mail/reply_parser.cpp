#include "mail/reply_parser.h"

#include "common/byte_string.h"
#include "mail/mail_errors.h"
#include "net/net_error.h"

namespace corvasse {

namespace {

// A reply code is three characters; a fourth "-" continues the reply.
constexpr size_t kCodeLength = 3;

}  // namespace

ReplyParser::ReplyParser(size_t maxLineBytes, int64_t maxReplyBytes)
    : maxLineBytes_(maxLineBytes), maxReplyBytes_(maxReplyBytes) {}

size_t ReplyParser::Feed(std::string_view bytes) {
    size_t taken = 0;
    while (!done_) {
        const std::string_view rest = bytes.substr(taken);
        const size_t lineEnd = rest.find('\n');
        const size_t length = lineEnd == std::string_view::npos ? rest.size() : lineEnd;
        if (maxLineBytes_ > 0 && length > maxLineBytes_) throw MaxLineLengthExceededError();
        // An unfinished line stays with the caller until its LF arrives.
        if (lineEnd == std::string_view::npos) break;
        EndLine(rest.substr(0, lineEnd));
        taken += lineEnd + 1;
    }
    return taken;
}

void ReplyParser::EndLine(std::string_view text) {
    std::string line = Trim(text);
    if (line.empty()) return;
    replyBytes_ += static_cast<int64_t>(line.size());
    if (replyBytes_ > maxReplyBytes_) throw ReplyTooLargeError(maxReplyBytes_);
    if (lines_.empty()) {
        done_ = line.size() <= kCodeLength || line[kCodeLength] != '-';
    } else {
        done_ = line.size() <= kCodeLength || StartsWithNoCase(line, lines_.front().substr(0, kCodeLength) + " ");
    }
    lines_.push_back(std::move(line));
}

}  // namespace corvasse
