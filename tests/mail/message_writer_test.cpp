#include "mail/message_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "net/tcp_client.h"
#include "support/mail_reader.h"
#include "support/scripted_transport.h"

namespace corvasse {
namespace {

constexpr std::time_t kSomeDate = 1767517503;  // Sun, 4 Jan 2026 09:05:03 UTC

class MessageWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
        message.Date = kSomeDate;
        message.From.Address = "me@example.org";
        client.OnStatus = [this](Status, const std::string& text) { events.push_back("status:" + text); };
        client.OnWorkBegin = [this](WorkMode mode, int64_t) {
            events.push_back(mode == WorkMode::Write ? "begin:write" : "begin:read");
        };
        client.OnWork = [this](WorkMode, int64_t count) { lastCount = count; };
        client.OnWorkEnd = [this](WorkMode) { events.push_back("end"); };
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }

    // Writes the message and returns what the peer received.
    std::string Written() {
        test::ScriptedTransport transport({});
        client.SetIOHandler(&transport);
        client.Connect();
        events.clear();
        MessageWriter(client).Write(message);
        client.DropSocket();
        client.SetIOHandler(nullptr);
        return transport.Sent().at(0);
    }

    TcpClient client;
    MailMessage message;
    std::vector<std::string> events;
    int64_t lastCount = 0;
};

TEST_F(MessageWriterTest, PlainBodyIsDotStuffed) {
    message.Body = {"hello", ".", "..two", "end."};
    EXPECT_EQ(Written(),
              "From: me@example.org\r\nDate: Sun, 4 Jan 2026 09:05:03 +0000\r\n\r\n"
              "hello\r\n..\r\n...two\r\nend.\r\n");
    EXPECT_EQ(events, (std::vector<std::string>{"begin:write", "status:Encoding text", "end"}));
    EXPECT_EQ(lastCount, 25);  // the body's bytes only; the header raised no work
}

TEST_F(MessageWriterTest, BodyLineHoldingLineBreaksCannotEndTheData) {
    message.Body = {"one\r\n.\r\nMAIL FROM:<x@example.org>", "two\n.three\rfour"};
    EXPECT_EQ(Written(),
              "From: me@example.org\r\nDate: Sun, 4 Jan 2026 09:05:03 +0000\r\n\r\n"
              "one\r\n..\r\nMAIL FROM:<x@example.org>\r\ntwo\r\n..three\r\nfour\r\n");
}

TEST_F(MessageWriterTest, PlainBodyWinsOverASingleTextPart) {
    message.Body = {"plain"};
    message.AddTextPart({"ignored"});
    const std::string written = Written();
    EXPECT_NE(written.find("Content-Type: multipart/alternative;"), std::string::npos);
    EXPECT_EQ(written.substr(written.find("\r\n\r\n")), "\r\n\r\nplain\r\n");
}

TEST_F(MessageWriterTest, TextPartsDefaultToQuotedPrintable) {
    TextPart& first = message.AddTextPart({"caf\xE9 = ok ", ".", std::string(80, 'x')});
    TextPart& second = message.AddTextPart({".stuffed"});
    second.SetContentType("text/html");
    second.SetContentTransfer("8bit");
    second.SetContentID("<part2@example.org>");
    second.ExtraHeaders.Add("X-Part: two");
    const std::string written = Written();
    const std::string body = written.substr(written.find("\r\n\r\n") + 4);
    EXPECT_EQ(body,
              "This is a multi-part message in MIME format\r\n\r\n"
              "--=_MoreStuf_2zzz1234sadvnqw3nerasdf\r\n"
              "Content-Type: text/plain\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
              "caf=E9 =3D ok=20\r\n=2E\r\n" +
                  std::string(72, 'x') + "=\r\n" + std::string(8, 'x') +
                  "\r\n\r\n"
                  "--=_MoreStuf_2zzz1234sadvnqw3nerasdf\r\n"
                  "Content-Type: text/html\r\nContent-Transfer-Encoding: 8bit\r\nContent-Id: <part2@example.org>\r\n"
                  "X-Part: two\r\n\r\n"
                  "..stuffed\r\n\r\n"
                  "--=_MoreStuf_2zzz1234sadvnqw3nerasdf--\r\n");
    // The defaults were stored into the part.
    EXPECT_EQ(first.ContentType(), "text/plain");
    EXPECT_EQ(first.ContentTransfer(), "quoted-printable");
    EXPECT_EQ(events, (std::vector<std::string>{"begin:write", "status:Encoding text", "status:Encoding text", "end"}));
}

// However long a display name that needs encoded words, a mail reader finds
// every header of the message, and each name reads back whole: the header is
// folded once, never into an empty line, and no encoded word ends inside a
// character.
TEST_F(MessageWriterTest, LongEncodedNamesLeaveEveryHeaderReadable) {
    const std::string names[] = {
        "Hans-J\xC3\xBCrgen M\xC3\xBCller-L\xC3\xBC"
        "denscheidt Gr\xC3\xB6\xC3\x9F"
        "enwahn",
        "\xC3\x84\xC3\x96\xC3\x9C\xC3\x84\xC3\x96\xC3\x9C\xC3\x84\xC3\x96\xC3\x9C\xC3\x84\xC3\x96"
        "\xC3\x9C\xC3\x84\xC3\x96\xC3\x9C",
    };
    message.CharSet = "utf-8";
    message.OnInitializeISO = [](HeaderCharset& charset) { charset = {"utf-8", 'Q', TransferMode::EightBit}; };
    message.Subject = "Corvasse Alert";
    TextPart& part = message.AddTextPart({"report"});
    part.SetContentType("text/plain");
    part.SetContentTransfer("7bit");
    for (const char* field : {"Sender", "From", "To"}) {
        for (const std::string& name : names) {
            SCOPED_TRACE(std::string(field) + " " + name);
            auto named = [&](const char* which, const std::string& address) {
                return which == std::string(field) ? name + " <" + address + ">" : address;
            };
            message.From.Name = field == std::string("From") ? name : "";
            message.Sender.Address = "alerts@example.org";
            message.Sender.Name = field == std::string("Sender") ? name : "";
            message.Recipients.Clear();
            EmailAddress& to = message.Recipients.Add();
            to.Address = "alerts@example.org";
            to.Name = field == std::string("To") ? name : "";

            const test::DecodedMail mail = test::DecodeMail(Written());
            EXPECT_EQ(mail.headers, (std::vector<std::string>{
                                        "From: " + named("From", "me@example.org"),
                                        "Subject: Corvasse Alert",
                                        "To: " + named("To", "alerts@example.org"),
                                        "Content-Type: multipart/alternative; "
                                        "boundary=\"=_MoreStuf_2zzz1234sadvnqw3nerasdf\";\tcharset=\"utf-8\"",
                                        "MIME-Version: 1.0",
                                        "Sender: " + named("Sender", "alerts@example.org"),
                                        "Date: Sun, 4 Jan 2026 09:05:03 +0000",
                                    }));
            EXPECT_EQ(mail.text, "report\n");
            // The reader's own parser decodes each encoded word alone: a
            // character split between two shows as U+FFFD.
            const std::string replacement = "\xEF\xBF\xBD";
            EXPECT_EQ(mail.senderName.find(replacement), std::string::npos) << mail.senderName;
            EXPECT_EQ(mail.fromName.find(replacement), std::string::npos) << mail.fromName;
        }
    }
}

}  // namespace
}  // namespace corvasse
