#pragma once
// A received message as a mail client sees it: decoded by Python's standard
// email package (tests/support/mail_reader.py, run by /usr/bin/python3).
//
//     const DecodedMail mail = DecodeMail(server.Messages()[0].content);
//     EXPECT_EQ(mail.senderName, "J\xC3\xBCrgen");
//
// Throws std::runtime_error when Python cannot read the message.

#include <string>
#include <vector>

namespace corvasse::test {

// Every text in UTF-8.
struct DecodedMail {
    std::string senderName;   // the Sender header's display name
    std::string fromName;     // the From header's display name
    std::string textCharset;  // the charset parameter of the first text/plain part, or ""
    std::string text;         // that part's text, line ends as LF
    // Every header the reader found, in order, "Name: value" as decoded.
    std::vector<std::string> headers;
};

DecodedMail DecodeMail(const std::string& message);

}  // namespace corvasse::test
