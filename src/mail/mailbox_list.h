#pragma once
// A list of mailboxes as people type it into a send-to field (RFC 5322's
// mailbox-list): "Ops Team <ops@example.org>, \"Smith, J\" <j@example.org>,
// b@example.org (night shift)". Display names, quoted strings, comments and
// angle brackets are read as the RFC means them; commas inside quotes and
// comments do not separate.
//
// Leniencies, each for text that real users have:
// - empty elements between commas are skipped ("a@example.org, ,");
// - a local part may hold dots anywhere ("first..last.@example.org"), as
//   some providers hand out such addresses;
// - bytes beyond ASCII count as atom characters (RFC 6532 addresses in
//   UTF-8); whether a server takes them is for the SMTP client to find out.

#include <string>
#include <string_view>
#include <vector>

#include "mail/mail_errors.h"

namespace corvasse {

struct Mailbox {
    // "local@domain": the local part with quotes and escapes resolved, the
    // domain without blanks; "a b@example.org" for "\"a b\"@example.org".
    std::string address;
    // The display name with quotes and escapes resolved; empty without one.
    std::string name;
};

// A list that cannot be read. The message names the element and says why:
// "Ops Team ops@example.org": a name goes before its address in angle
// brackets (Name <local@domain>).
class MailboxListError : public EmailParseError {
public:
    MailboxListError(std::string_view element, std::string_view why);
};

// The mailboxes of the text, in order; none for a text of blanks, commas
// and comments. Throws MailboxListError.
std::vector<Mailbox> ParseMailboxList(std::string_view text);

// The address as an SMTP path holds it between "<" and ">": a local part
// that is not made of atom characters and dots is quoted.
std::string SmtpPathAddress(std::string_view address);

}  // namespace corvasse
