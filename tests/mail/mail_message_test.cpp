#include "mail/mail_message.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "mail/mail_errors.h"
#include "support/expect_throw.h"
#include "support/message_lines.h"

namespace corvasse {
namespace {

using Lines = std::vector<std::string>;

constexpr std::time_t kSomeDate = 1767517503;  // Sun, 4 Jan 2026 09:05:03 UTC

class MailMessageTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
        message.Date = kSomeDate;
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }

    MailMessage message;
};

TEST_F(MailMessageTest, AlertShapedMessageGivesTheExpectedLinesInOrder) {
    message.CharSet = "iso-8859-1";
    message.From.Address = "me@example.org";
    message.From.Name = "me@example.org";
    message.Sender.Address = "alerts@example.org";
    message.Sender.Name = "watcher";
    message.Recipients.AddressListText("<alerts@example.org>");
    message.Subject = "Corvasse Alert";
    message.AddTextPart({"report"});
    EXPECT_EQ(message.BuildHeaderList().Lines(),
              test::HeaderLines({.addressHeaders = {"From: \"me@example.org\" <me@example.org>",
                                                    "Subject: Corvasse Alert", "To: alerts@example.org"},
                                 .sender = "watcher <alerts@example.org>",
                                 .date = "Date: Sun, 4 Jan 2026 09:05:03 +0000"}));
    // Building again gives the same block: the charset is not appended twice.
    EXPECT_EQ(message.BuildHeaderList().Count(), 9);
}

TEST_F(MailMessageTest, EveryOptionalFieldInItsPlace) {
    message.From.Address = "a@example.org";
    message.Recipients.AddressListText("b@example.org, c@example.org");
    message.CCList.AddressListText("d@example.org");
    message.BccList.AddressListText("hidden@example.org");
    message.ContentType = "text/plain";
    message.ContentTransferEncoding = "7bit";
    message.ExtraHeaders.Add("X-Mailer: test");
    EXPECT_EQ(message.BuildHeaderList().Lines(),
              (Lines{"From: a@example.org", "To: b@example.org, c@example.org", "Cc: d@example.org",
                     "Content-Type: text/plain", "Content-Transfer-Encoding: 7bit",
                     "Date: Sun, 4 Jan 2026 09:05:03 +0000", "X-Mailer: test"}));
}

TEST_F(MailMessageTest, ContentTypeAndMimeVersionFollowThePartsAndCharset) {
    HeaderList headers = message.BuildHeaderList();
    EXPECT_EQ(headers.IndexOfHeader("Content-Type"), -1);
    EXPECT_EQ(headers.IndexOfHeader("MIME-Version"), -1);
    EXPECT_EQ(headers.IndexOfHeader("Content-Transfer-Encoding"), -1);

    message.CharSet = "utf-8";
    EXPECT_EQ(message.BuildHeaderList().GetHeaderValue("Content-Type"), "charset=\"utf-8\"");
    message.ContentType = "text/plain";
    headers = message.BuildHeaderList();
    EXPECT_EQ(headers.GetHeaderValue("Content-Type"), "text/plain; charset=\"utf-8\"");
    EXPECT_EQ(headers.IndexOfHeader("MIME-Version"), -1);  // no parts
}

TEST_F(MailMessageTest, LineBreaksInAddressFieldsAreRefused) {
    message.Recipients.AddressListText("ok@example.org");
    message.Sender.Address = "alerts@example.org";
    message.Sender.Name = "watcher\r\nBcc: victim@example.org";
    test::ExpectThrowWithMessage<MessageError>([&] { message.BuildHeaderList(); },
                                               "The Sender field holds a line break (CR or LF).");
    message.Sender.Name = "watcher";
    message.From.Address = "me@example.org\nX: y";
    EXPECT_THROW(message.BuildHeaderList(), MessageError);
    message.From.Address = "me@example.org";
    message.CharSet = "x\"\r\nBcc: y";
    EXPECT_THROW(message.BuildHeaderList(), MessageError);
    message.CharSet.clear();
    EXPECT_NO_THROW(message.BuildHeaderList());
}

TEST_F(MailMessageTest, ResetEmptiesEverything) {
    message.From.Address = "a@example.org";
    message.Recipients.AddressListText("b@example.org");
    message.CCList.AddressListText("c@example.org");
    message.CharSet = "x";
    message.Subject = "s";
    message.Body = {"line"};
    message.AddTextPart({"part"});
    message.ExtraHeaders.Add("X-A: b");
    message.ResetMessage();
    EXPECT_TRUE(message.From.Address.empty());
    EXPECT_TRUE(message.Recipients.Empty());
    EXPECT_TRUE(message.CCList.Empty());
    EXPECT_TRUE(message.CharSet.empty());
    EXPECT_TRUE(message.Subject.empty());
    EXPECT_TRUE(message.Body.empty());
    EXPECT_TRUE(message.MessageParts.empty());
    EXPECT_TRUE(message.ExtraHeaders.Empty());
    EXPECT_EQ(message.Date, 0);
}

TEST_F(MailMessageTest, InitializeIsoHookChangesTheHeaderEncoding) {
    message.Subject = "\xE9t\xE9";
    EXPECT_EQ(message.BuildHeaderList().GetHeaderValue("Subject"), "=?ISO-8859-1?Q?=E9t=E9?=");
    message.OnInitializeISO = [](HeaderCharset& charset) {
        charset.CharSet = "windows-1252";
        charset.EncodingLetter = 'B';
    };
    EXPECT_EQ(message.BuildHeaderList().GetHeaderValue("Subject"), "=?windows-1252?B?6XTp?=");
}

}  // namespace
}  // namespace corvasse
