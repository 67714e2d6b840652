#pragma once
// One outgoing e-mail: addresses, subject, body lines, text parts and extra
// headers, and the header block generated from them.

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/header_list.h"
#include "mail/email_address.h"
#include "mail/email_address_list.h"
#include "mail/header_encoding.h"
#include "mail/message_part.h"

namespace corvasse {

// The fixed MIME boundaries of every message this program writes.
inline constexpr std::string_view kMainBoundary = "=_MoreStuf_2zzz1234sadvnqw3nerasdf";

// Throws MessageError "The <field> field holds a line break (CR or LF)." when
// a text meant for one header line holds CR or LF.
void RefuseHeaderLineBreak(std::string_view text, std::string_view field);

class MailMessage {
public:
    MailMessage();

    // The plain body; sent when the message has no text parts.
    std::vector<std::string> Body;
    // Receive RCPT commands only; never shown in a header.
    EmailAddressList BccList;
    // Announced as the charset parameter of the Content-Type header.
    std::string CharSet;
    EmailAddressList CCList;
    std::string ContentType;
    std::string ContentTransferEncoding;
    // 0: the current time when the headers are built.
    std::time_t Date = 0;
    // Appended after the generated headers, unchanged.
    HeaderList ExtraHeaders;
    EmailAddress From;
    EmailAddressList Recipients;
    std::string Subject;
    EmailAddress Sender;
    // The text parts, in order.
    std::vector<std::unique_ptr<TextPart>> MessageParts;

    // May change the header charset, encoding letter and transfer mode
    // before the headers are encoded.
    std::function<void(HeaderCharset&)> OnInitializeISO;

    // Empties every header field and address list, the extra headers, the
    // body and the parts.
    void ResetMessage();

    // Appends a text part and returns it.
    TextPart& AddTextPart(std::vector<std::string> body = {});

    // Throws MessageError when an address, a display name or another text
    // that goes into a header unencoded (the message's or a text part's, the
    // extra header lines included) holds CR or LF: it would start a header
    // line of its own.
    void CheckHeaderFields() const;

    // The header block: From, Subject, To, Cc, Content-Type, MIME-Version,
    // Content-Transfer-Encoding, Sender and Date, each only when it has a
    // value, then ExtraHeaders. Throws MessageError as CheckHeaderFields
    // does; TimeZoneInfoError from the date.
    HeaderList BuildHeaderList() const;

    // The charset and encoding used for header texts (the locale's, then
    // OnInitializeISO).
    HeaderCharset SelectHeaderCharset() const;
};

}  // namespace corvasse
