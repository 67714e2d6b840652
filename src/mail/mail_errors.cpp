#include "mail/mail_errors.h"

namespace corvasse {

CommandLineBreakError::CommandLineBreakError()
    : NetError("Refused to send a command line that holds a line break (CR or LF).") {}

}  // namespace corvasse
