#include "mail/message_client.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/scripted_peer.h"

namespace corvasse {
namespace {

using test::ScriptedPeer;
namespace peer = test::peer;

constexpr std::time_t kSomeDate = 1767517503;  // Sun, 4 Jan 2026 09:05:03 UTC

class MessageClientTest : public ::testing::Test {
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
        ScriptedPeer server({peer::ReadUntilClose()});
        client.Host = server.Host();
        client.Port = server.Port();
        client.Connect();
        events.clear();
        client.WriteMessage(message);
        client.DropSocket();
        EXPECT_TRUE(server.WaitClosed());
        return server.Received();
    }

    MessageClient client;
    MailMessage message;
    std::vector<std::string> events;
    int64_t lastCount = 0;
};

TEST_F(MessageClientTest, PlainBodyIsDotStuffed) {
    message.Body = {"hello", ".", "..two", "end."};
    EXPECT_EQ(Written(),
              "From: me@example.org\r\nDate: Sun, 4 Jan 2026 09:05:03 +0000\r\n\r\n"
              "hello\r\n..\r\n...two\r\nend.\r\n");
    EXPECT_EQ(events, (std::vector<std::string>{"begin:write", "status:Encoding text", "end"}));
    EXPECT_EQ(lastCount, 25);  // the body's bytes only; the header raised no work
}

TEST_F(MessageClientTest, BodyLineHoldingLineBreaksCannotEndTheData) {
    message.Body = {"one\r\n.\r\nMAIL FROM:<x@example.org>", "two\n.three\rfour"};
    EXPECT_EQ(Written(),
              "From: me@example.org\r\nDate: Sun, 4 Jan 2026 09:05:03 +0000\r\n\r\n"
              "one\r\n..\r\nMAIL FROM:<x@example.org>\r\ntwo\r\n..three\r\nfour\r\n");
}

TEST_F(MessageClientTest, PlainBodyWinsOverASingleTextPart) {
    message.Body = {"plain"};
    message.AddTextPart({"ignored"});
    const std::string written = Written();
    EXPECT_NE(written.find("Content-Type: multipart/alternative;"), std::string::npos);
    EXPECT_EQ(written.substr(written.find("\r\n\r\n")), "\r\n\r\nplain\r\n");
}

TEST_F(MessageClientTest, TextPartsDefaultToQuotedPrintable) {
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

TEST_F(MessageClientTest, NoEncodeSendsTheRawHeadersAndBody) {
    message.NoEncode = true;
    message.Headers.Add("Subject: raw");
    message.Body = {".x"};
    EXPECT_EQ(Written(), "Subject: raw\r\n\r\n..x\r\n");
}

}  // namespace
}  // namespace corvasse
