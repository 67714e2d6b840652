#include "mail/mail_errors.h"

namespace corvasse {

CommandLineBreakError::CommandLineBreakError()
    : NetError("Refused to send a command line that holds a line break (CR or LF).") {}

ReplyTooLargeError::ReplyTooLargeError(int64_t limit)
    : NetError("Reply exceeds " + std::to_string(limit) + " bytes.") {}

}  // namespace corvasse
