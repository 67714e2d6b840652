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

}  // namespace

MailMessage::MailMessage() { ResetMessage(); }

void MailMessage::ResetMessage() {
    CCList.Clear();
    BccList.Clear();
    Recipients.Clear();
    ExtraHeaders.Clear();
    Date = 0;
    From = EmailAddress();
    Sender = EmailAddress();
    Subject.clear();
    ContentType.clear();
    CharSet.clear();
    ContentTransferEncoding.clear();
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
    RefuseLineBreak(CharSet, "charset");
    RefuseLineBreak(ContentType, "Content-Type");
    RefuseLineBreak(ContentTransferEncoding, "Content-Transfer-Encoding");
    RefuseLineBreak(ExtraHeaders);
    for (const auto& part : MessageParts) RefuseLineBreak(part->ExtraHeaders);
}

HeaderList MailMessage::BuildHeaderList() const {
    CheckHeaderFields();

    // Computed here rather than stored back into ContentType, so that building
    // the headers twice gives the same lines.
    std::string contentType = ContentType;
    if (!MessageParts.empty()) {
        contentType = "multipart/alternative; boundary=\"" + std::string(kMainBoundary) + "\"";
    }
    if (!CharSet.empty()) {
        const std::string parameter = "charset=\"" + CharSet + "\"";
        contentType = contentType.empty() ? parameter : contentType + ";\r\n\t" + parameter;
    }

    const HeaderCharset charset = SelectHeaderCharset();
    HeaderList headers;
    headers.SetHeaderValue("From", EncodeAddressForHeader(From, charset));
    headers.SetHeaderValue("Subject", EncodeHeaderText(Subject, "", charset));
    headers.SetHeaderValue("To", EncodeAddressListForHeader(Recipients, charset));
    headers.SetHeaderValue("Cc", EncodeAddressListForHeader(CCList, charset));
    headers.SetHeaderValue("Content-Type", contentType);
    if (!MessageParts.empty()) headers.SetHeaderValue("MIME-Version", "1.0");
    headers.SetHeaderValue("Content-Transfer-Encoding", ContentTransferEncoding);
    headers.SetHeaderValue("Sender", EncodeSenderForHeader(Sender, charset));
    headers.SetHeaderValue("Date", FormatDateHeader(Date == 0 ? std::time(nullptr) : Date));
    headers.AddLines(ExtraHeaders);
    return headers;
}

}  // namespace corvasse
