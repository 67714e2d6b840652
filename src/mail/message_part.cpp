#include "mail/message_part.h"

#include "mail/mail_message.h"

namespace corvasse {

void MessagePart::SetHeader(std::string_view name, std::string_view value) {
    RefuseHeaderLineBreak(value, name);
    headers_.SetHeaderValue(name, value);
}

}  // namespace corvasse
