#include "mail/mail_errors.h"

namespace corvasse {

ProtocolReplyError::ProtocolReplyError(int replyCode, const std::string& message)
    : NetError(message), ReplyCode(replyCode) {}

CommandLineBreakError::CommandLineBreakError()
    : NetError("Refused to send a command line that holds a line break (CR or LF).") {}

TimeZoneInfoError::TimeZoneInfoError() : NetError("Failed attempting to retrieve time zone information.") {}

}  // namespace corvasse
