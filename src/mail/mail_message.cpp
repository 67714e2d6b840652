#include "mail/mail_message.h"

#include "mail/mail_errors.h"
#include "net/date_header.h"

namespace corvasse {

void RefuseHeaderLineBreak(std::string_view text, std::string_view field) {
    if (text.find_first_of("\r\n") != std::string_view::npos) {
        throw MessageError("The " + std::string(field) + " field holds a line break (CR or LF).");
    }
}

namespace {

void RefuseLineBreak(std::string_view text, std::string_view field) { RefuseHeaderLineBreak(text, field); }

void RefuseLineBreak(const EmailAddress& address, std::string_view field) {
    RefuseLineBreak(address.Address, field);
    RefuseLineBreak(address.Name, field);
}

void RefuseLineBreak(const EmailAddressList& list, std::string_view field) {
    for (const EmailAddress& address : list) RefuseLineBreak(address, field);
}

// Each line of a header list is written as it stands.
void RefuseLineBreak(const HeaderList& headers) {
    for (const std::string& line : headers.Lines()) RefuseLineBreak(line, line.substr(0, line.find(':')));
}

std::string JoinWithCommas(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) {
        if (!out.empty()) out += ',';
        out += item;
    }
    return out;
}

}  // namespace

MailMessage::MailMessage() {
    ResetMessage();
    Encoding = MessageEncoding::Mime;
}

void MailMessage::SetUseNowForDate(bool useNow) { Date = useNow ? 0 : std::time(nullptr); }

void MailMessage::ResetMessage() {
    ResetHeaderFields();
    ResetBody();
}

void MailMessage::ResetHeaderFields() {
    CCList.Clear();
    BccList.Clear();
    NewsGroups.clear();
    ReplyTo.Clear();
    Recipients.Clear();
    Headers.Clear();
    ExtraHeaders.Clear();
    Date = 0;
    Priority = MessagePriority::Normal;
    From = EmailAddress();
    ReceiptRecipient = EmailAddress();
    Sender = EmailAddress();
    Organization.clear();
    References.clear();
    Subject.clear();
    ContentType.clear();
    CharSet.clear();
    ContentTransferEncoding.clear();
}

void MailMessage::ResetBody() {
    MessageParts.clear();
    Body.clear();
}

TextPart& MailMessage::AddTextPart(std::vector<std::string> body) {
    return *MessageParts.emplace_back(std::make_unique<TextPart>(std::move(body)));
}

HeaderCharset MailMessage::SelectHeaderCharset() const {
    HeaderCharset charset = DefaultHeaderCharset();
    if (OnInitializeISO) OnInitializeISO(charset);
    return charset;
}

void MailMessage::CheckHeaderFields() const {
    RefuseLineBreak(From, "From");
    RefuseLineBreak(Recipients, "To");
    RefuseLineBreak(CCList, "Cc");
    RefuseLineBreak(BccList, "Bcc");
    RefuseLineBreak(Sender, "Sender");
    RefuseLineBreak(ReplyTo, "Reply-To");
    RefuseLineBreak(ReceiptRecipient, "Disposition-Notification-To");
    RefuseLineBreak(References, "References");
    RefuseLineBreak(CharSet, "charset");
    for (const std::string& group : NewsGroups) RefuseLineBreak(group, "Newsgroups");
    RefuseLineBreak(ContentType, "Content-Type");
    RefuseLineBreak(ContentTransferEncoding, "Content-Transfer-Encoding");
    RefuseLineBreak(Headers);
    RefuseLineBreak(ExtraHeaders);
    for (const auto& part : MessageParts) RefuseLineBreak(part->ExtraHeaders);
}

HeaderList MailMessage::BuildHeaderList() const {
    if (Encoding == MessageEncoding::UU && !MessageParts.empty()) {
        throw MessageError("Invalid Encoding. UU only allows Body and Attachments");
    }
    CheckHeaderFields();

    // Computed here rather than stored back into ContentType, so that building
    // the headers twice gives the same lines.
    std::string contentType = ContentType;
    if (Encoding == MessageEncoding::Mime) {
        if (!MessageParts.empty()) {
            contentType = "multipart/alternative; boundary=\"" + std::string(kMainBoundary) + "\"";
        }
        if (!CharSet.empty()) {
            const std::string parameter = "charset=\"" + CharSet + "\"";
            contentType = contentType.empty() ? parameter : contentType + ";\r\n\t" + parameter;
        }
    }

    const HeaderCharset charset = SelectHeaderCharset();
    HeaderList headers;
    headers.Assign(Headers);
    headers.SetHeaderValue("From", EncodeAddressForHeader(From, charset));
    headers.SetHeaderValue("Subject", EncodeHeaderText(Subject, "", charset));
    headers.SetHeaderValue("To", EncodeAddressListForHeader(Recipients, charset));
    headers.SetHeaderValue("Cc", EncodeAddressListForHeader(CCList, charset));
    headers.SetHeaderValue("Newsgroups", JoinWithCommas(NewsGroups));
    if (Encoding == MessageEncoding::Mime) {
        headers.SetHeaderValue("Content-Type", contentType);
        if (!MessageParts.empty()) headers.SetHeaderValue("MIME-Version", "1.0");
        headers.SetHeaderValue("Content-Transfer-Encoding", ContentTransferEncoding);
    }
    headers.SetHeaderValue("Sender", EncodeSenderForHeader(Sender, charset));
    headers.SetHeaderValue("Reply-To", EncodeAddressListForHeader(ReplyTo, charset));
    headers.SetHeaderValue("Organization", EncodeHeaderText(Organization, "", charset));
    headers.SetHeaderValue("Disposition-Notification-To", EncodeAddressForHeader(ReceiptRecipient, charset));
    headers.SetHeaderValue("References", References);
    headers.SetHeaderValue("Date", FormatDateHeader(Date == 0 ? std::time(nullptr) : Date));
    if (Priority != MessagePriority::Normal) {
        headers.SetHeaderValue("X-Priority", std::to_string(static_cast<int>(Priority) + 1));
    }
    headers.AddLines(ExtraHeaders);
    return headers;
}

}  // namespace corvasse
