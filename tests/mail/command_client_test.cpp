#include "mail/command_client.h"

#include <gtest/gtest.h>

#include <chrono>

#include "mail/mail_errors.h"
#include "support/expect_throw.h"
#include "support/scripted_peer.h"

namespace corvasse {
namespace {

using test::ScriptedPeer;
namespace peer = test::peer;
using Lines = std::vector<std::string>;

class CommandClientTest : public ::testing::Test {
protected:
    void ConnectTo(const ScriptedPeer& server) {
        client.Host = server.Host();
        client.Port = server.Port();
        client.ReadTimeout = test::kClientReadTimeoutMs;
        client.Connect();
    }

    CommandClient client;
};

TEST_F(CommandClientTest, MultiLineReplyArrivingByteByByte) {
    ScriptedPeer server(
        {peer::Trickle("\r\n\r\n  250-first\r\n250-AUTH LOGIN\r\n   plain continuation\r\n250 last\r\n", 1),
         peer::ReadUntilClose()});
    ConnectTo(server);
    client.ReadReply();
    EXPECT_EQ(client.LastReply.NumericCode(), 250);
    EXPECT_EQ(client.LastReply.Text, (Lines{"first", "AUTH LOGIN", "plain continuation", "last"}));
    client.Disconnect();
}

TEST_F(CommandClientTest, MultiLineReplyEndsAtAShortLineOrAnyCaseMarker) {
    ScriptedPeer server({peer::Send("211-a\r\n211\r\n"), peer::Send("2x1-a\r\n2X1 b\r\n"), peer::SendLine("220"),
                         peer::ReadUntilClose()});
    ConnectTo(server);
    client.ReadReply();
    EXPECT_EQ(client.LastReply.Text, (Lines{"a", ""}));
    client.ReadReply();
    EXPECT_EQ(client.LastReply.TextCode(), "2x1");
    EXPECT_EQ(client.LastReply.Text, (Lines{"a", "b"}));
    client.ReadReply();
    EXPECT_EQ(client.LastReply.NumericCode(), 220);
    EXPECT_EQ(client.LastReply.Text, Lines{""});
    client.Disconnect();
}

TEST_F(CommandClientTest, SendCmdChecksTheCode) {
    ScriptedPeer server({peer::ReadLine(), peer::SendLine("500 what?"), peer::ReadLine(),
                         peer::Send("550-mailbox\r\n550 unavailable\r\n"), peer::ReadLine(),
                         peer::SendLine("251 forwarded"), peer::ReadUntilClose()});
    ConnectTo(server);
    EXPECT_EQ(client.SendCmd("NOOP", -1), 500);
    const auto error = test::ExpectThrowWithMessage<ProtocolReplyError>(
        [&] { client.SendCmd("MAIL FROM:<a@example.org>", 250); }, "mailbox\r\nunavailable\r\n");
    if (error) {
        EXPECT_EQ(error->ReplyCode, 550);
    }
    // The refused reply stays readable.
    EXPECT_EQ(client.LastReply.NumericCode(), 550);
    EXPECT_EQ(client.SendCmd("RCPT TO:<b@example.org>", {250, 251}), 251);
    client.Disconnect();
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.Received(), "NOOP\r\nMAIL FROM:<a@example.org>\r\nRCPT TO:<b@example.org>\r\n");
}

TEST_F(CommandClientTest, CodesCompareAsSixteenBitValues) {
    client.LastReply.SetNumericCode(65536 + 250);
    EXPECT_EQ(client.CheckReplyCode(65536 + 250, {250}), 65536 + 250);
    EXPECT_EQ(client.CheckReplyCode(999, {}), 999);
    EXPECT_THROW(client.CheckReplyCode(251, {250}), ProtocolReplyError);
}

TEST_F(CommandClientTest, CommandWithALineBreakIsRefusedBeforeAnythingIsSent) {
    ScriptedPeer server({peer::ReadUntilClose()});
    ConnectTo(server);
    EXPECT_THROW(client.SendCmd("NOOP\r\nRCPT TO:<x@example.org>", -1), CommandLineBreakError);
    EXPECT_THROW(client.SendCmd("NOOP\nQUIT", -1), CommandLineBreakError);
    client.Disconnect();
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.Received(), "");
}

TEST_F(CommandClientTest, PeerClosingMidReplyKeepsThePreviousReply) {
    ScriptedPeer server({peer::SendLine("220 hi"), peer::Send("250-part one\r\n"), peer::Close()});
    ConnectTo(server);
    client.ReadReply();
    EXPECT_THROW(client.ReadReply(), ConnClosedGracefullyError);
    EXPECT_EQ(client.LastReply.NumericCode(), 220);
    EXPECT_EQ(client.LastReply.Text, Lines{"hi"});
}

TEST_F(CommandClientTest, SilentPeerTimesOut) {
    ScriptedPeer server({peer::Sleep(2000)});
    client.Host = server.Host();
    client.Port = server.Port();
    client.ReadTimeout = 200;
    client.Connect();
    test::ExpectThrowWithMessage<ReadTimeoutError>([&] { client.ReadReply(); }, "Read Timeout");
}

TEST_F(CommandClientTest, WholeReplyMustArriveWithinTheReadTimeout) {
    // Each byte comes long before the read time-out; the reply as a whole does not.
    ScriptedPeer server({peer::SendLine("220 hi"), peer::Trickle("250-one\r\n250-two\r\n250 three\r\n", 40),
                         peer::SendLine("250 next"), peer::ReadUntilClose()});
    ConnectTo(server);
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

TEST_F(CommandClientTest, ReplyMayHoldUpToTheLimit) {
    // Lines of 1000 bytes ("250-" and 996 more), the last one cut to fit exactly.
    auto reply = [](int64_t total) {
        std::string text;
        int64_t left = total;
        while (left > 1000) {
            text += "250-" + std::string(996, 'a') + "\r\n";
            left -= 1000;
        }
        return text + "250 " + std::string(static_cast<size_t>(left - 4), 'z') + "\r\n";
    };
    ScriptedPeer server(
        {peer::Send(reply(kMaxReplyBytes)), peer::Send(reply(kMaxReplyBytes + 1)), peer::ReadUntilClose()});
    ConnectTo(server);
    client.ReadReply();
    EXPECT_EQ(client.LastReply.NumericCode(), 250);
    EXPECT_EQ(client.LastReply.Text.size(), 66u);
    test::ExpectThrowWithMessage<ReplyTooLargeError>([&] { client.ReadReply(); }, "Reply exceeds 65536 bytes.");
    client.Disconnect();
}

TEST_F(CommandClientTest, OverLongReplyLineIsAnError) {
    ScriptedPeer server({peer::Send("250 " + std::string(200, 'x') + "\r\n"), peer::ReadUntilClose()});
    ConnectTo(server);
    client.MaxLineLength = 100;
    EXPECT_THROW(client.ReadReply(), MaxLineLengthExceededError);
    client.Disconnect();
}

}  // namespace
}  // namespace corvasse
