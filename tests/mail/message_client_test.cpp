// MessageClient dialogues as rows over the scripted transport, and the read
// time-out over a socket that trickles.

#include "mail/message_client.h"

#include <gtest/gtest.h>

#include <chrono>

#include "mail/mail_errors.h"
#include "support/dialogue.h"
#include "support/loopback.h"
#include "support/scripted_peer.h"

namespace corvasse {
namespace {

namespace script = test::script;
using Lines = std::vector<std::string>;
using Call = test::Call<MessageClient>;
using MessageClientTest = test::DialogueTest<MessageClient>;

// The last reply: its numeric and text code and its lines joined with "/".
std::string LastReply(MessageClient& client) {
    std::string text = std::to_string(client.LastReply.NumericCode()) + " " + client.LastReply.TextCode() + " ";
    for (size_t i = 0; i < client.LastReply.Text.size(); ++i) text += (i > 0 ? "/" : "") + client.LastReply.Text[i];
    return text;
}

std::string ReadReply(MessageClient& client) {
    client.ReadReply();
    return LastReply(client);
}

Call SendCmd(std::string line, std::vector<int> allowed, std::string outcome) {
    return {[=](MessageClient& client) { return std::to_string(client.SendCmd(line, allowed)); }, std::move(outcome)};
}

// Lines of 1000 bytes ("250-" and 996 more), the last one cut so that the
// whole reply holds total bytes.
std::string ReplyOfBytes(int64_t total) {
    std::string text;
    int64_t left = total;
    while (left > 1000) {
        text += "250-" + std::string(996, 'a') + "\r\n";
        left -= 1000;
    }
    return text + "250 " + std::string(static_cast<size_t>(left - 4), 'z') + "\r\n";
}

TEST_F(MessageClientTest, Dialogues) {
    std::string longestLines;
    for (int i = 0; i < 65; ++i) longestLines += std::string(996, 'a') + "/";
    longestLines += std::string(kMaxReplyBytes - 65 * 1000 - 4, 'z');
    const std::string lineBreak =
        "CommandLineBreakError: Refused to send a command line that holds a line break (CR or LF).";
    PlayAll({
        {"multi-line reply arriving byte by byte",
         {script::Pieces(1),
          script::Send("\r\n\r\n  250-first\r\n250-AUTH LOGIN\r\n   plain continuation\r\n250 last\r\n")},
         {Connect(), {ReadReply, "250 250 first/AUTH LOGIN/plain continuation/last"}},
         {"QUIT\r\n"}},
        {"a multi-line reply ends at a short line or at any case of the marker",
         {script::Send("211-a\r\n211\r\n"), script::Send("2x1-a\r\n2X1 b\r\n"), script::SendLine("220")},
         {Connect(), {ReadReply, "211 211 a/"}, {ReadReply, "0 2x1 a/b"}, {ReadReply, "220 220 "}},
         {"QUIT\r\n"}},
        {"SendCmd checks the code, and a refused reply stays readable",
         {script::ReadLine(), script::SendLine("500 what?"), script::ReadLine(),
          script::Send("550-mailbox\r\n550 unavailable\r\n"), script::ReadLine(), script::SendLine("251 forwarded")},
         {Connect(),
          SendCmd("NOOP", {}, "500"),
          SendCmd("MAIL FROM:<a@example.org>", {250}, "ProtocolReplyError 550: mailbox\r\nunavailable\r\n"),
          {LastReply, "550 550 mailbox/unavailable"},
          SendCmd("RCPT TO:<b@example.org>", {250, 251}, "251")},
         {"NOOP\r\nMAIL FROM:<a@example.org>\r\nRCPT TO:<b@example.org>\r\nQUIT\r\n"}},
        {"a command with a line break is refused before anything is sent",
         {},
         {Connect(), SendCmd("NOOP\r\nRCPT TO:<x@example.org>", {}, lineBreak), SendCmd("NOOP\nQUIT", {}, lineBreak)},
         {"QUIT\r\n"}},
        {"the peer closing mid-reply keeps the previous reply",
         {script::SendLine("220 hi"), script::Send("250-part one\r\n"), script::Close()},
         {Connect(),
          {ReadReply, "220 220 hi"},
          {ReadReply, "ConnClosedGracefullyError: Connection Closed Gracefully."},
          {LastReply, "220 220 hi"}},
         {""}},
        {"a silent peer times out",
         {},
         {Set(&MessageClient::ReadTimeout, 200), Connect(), {ReadReply, "ReadTimeoutError: Read Timeout"}},
         {"QUIT\r\n"}},
        {"a reply may hold up to the limit",
         {script::Send(ReplyOfBytes(kMaxReplyBytes)), script::Send(ReplyOfBytes(kMaxReplyBytes + 1))},
         {Connect(),
          {ReadReply, "250 250 " + longestLines},
          {ReadReply, "ReplyTooLargeError: Reply exceeds 65536 bytes."}},
         {"QUIT\r\n"}},
        {"an over-long reply line is an error",
         {script::Send("250 " + std::string(200, 'x') + "\r\n")},
         {Set(&MessageClient::MaxLineLength, 100),
          Connect(),
          {ReadReply, "MaxLineLengthExceededError: Max line length exceeded."}},
         {"QUIT\r\n"}},
    });
}

TEST_F(MessageClientTest, CodesCompareAsSixteenBitValues) {
    MessageClient client;
    client.LastReply.SetNumericCode(65536 + 250);
    EXPECT_EQ(client.CheckReplyCode(65536 + 250, {250}), 65536 + 250);
    EXPECT_EQ(client.CheckReplyCode(999, {}), 999);
    EXPECT_THROW(client.CheckReplyCode(251, {250}), ProtocolReplyError);
}

// The read time-out bounds the whole reply, over a socket whose peer sends
// each byte long before the time-out.
TEST_F(MessageClientTest, WholeReplyMustArriveWithinTheReadTimeout) {
    test::ScriptedPeer server({test::peer::SendLine("220 hi"),
                               test::peer::Trickle("250-one\r\n250-two\r\n250 three\r\n", 40),
                               test::peer::SendLine("250 next"), test::peer::ReadUntilClose()});
    MessageClient client;
    client.ReadTimeout = test::kClientReadTimeoutMs;
    test::ConnectTo(client, server);
    client.ReadReply();
    client.ReadTimeout = 400;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(client.ReadReply(), ReadTimeoutError);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(390));
    EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
    EXPECT_EQ(client.LastReply.Text, Lines{"hi"}) << "the previous reply stays";
    // The next reply gets its own time: the rest of the trickle and the next
    // reply arrive within it.
    client.ReadTimeout = test::kClientReadTimeoutMs;
    client.ReadReply();
    EXPECT_EQ(client.LastReply.Text.back(), "three");
    client.ReadReply();
    EXPECT_EQ(client.LastReply.Text, Lines{"next"});
    client.Disconnect();
}

}  // namespace
}  // namespace corvasse
