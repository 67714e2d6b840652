#include "mail/reply_parser.h"

#include "common/byte_string.h"
#include "mail/mail_errors.h"
#include "net/net_error.h"

namespace corvasse {

namespace {

// A reply code is three characters; a fourth "-" continues the reply.
constexpr size_t kCodeLength = 3;

}  // namespace

ReplyParser::ReplyParser(size_t maxLineBytes, MaxLineAction lineAction, int64_t maxReplyBytes)
    : maxLineBytes_(maxLineBytes), lineAction_(lineAction), maxReplyBytes_(maxReplyBytes) {}

size_t ReplyParser::Feed(std::string_view bytes) {
    size_t taken = 0;
    while (!done_ && taken < bytes.size()) {
        const std::string_view rest = bytes.substr(taken);
        const size_t lineEnd = rest.find('\n');
        const size_t part = lineEnd == std::string_view::npos ? rest.size() : lineEnd;
        if (maxLineBytes_ > 0 && line_.size() + part > maxLineBytes_) {
            if (lineAction_ == MaxLineAction::Exception) throw MaxLineLengthExceededError();
            const size_t room = maxLineBytes_ - line_.size();
            line_.append(rest.substr(0, room));
            taken += room;
            EndLine();
            continue;
        }
        line_.append(rest.substr(0, part));
        taken += part;
        if (lineEnd == std::string_view::npos) break;
        ++taken;
        EndLine();
    }
    return taken;
}

void ReplyParser::EndLine() {
    std::string line = Trim(line_);
    line_.clear();
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
