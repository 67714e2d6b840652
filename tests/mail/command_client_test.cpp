#include "mail/command_client.h"

#include <gtest/gtest.h>

#include "mail/mail_errors.h"
#include "support/scripted_peer.h"

namespace corvasse {
namespace {

using test::ScriptedPeer;
namespace peer = test::peer;
using Lines = std::vector<std::string>;

constexpr int kTestReadTimeoutMs = 5000;

class CommandClientTest : public ::testing::Test {
protected:
    void ConnectTo(const ScriptedPeer& server) {
        client.Host = server.Host();
        client.Port = server.Port();
        client.ReadTimeout = kTestReadTimeoutMs;
        client.Connect();
    }

    CommandClient client;
};

TEST_F(CommandClientTest, MultiLineReplyArrivingByteByByte) {
    ScriptedPeer server({peer::Trickle("\r\n\r\n  250-first\r\n250-AUTH LOGIN\r\n   plain continuation\r\n250 last\r\n", 1),
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
    try {
        client.SendCmd("MAIL FROM:<a@example.org>", 250);
        FAIL() << "no error";
    } catch (const ProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyCode, 550);
        EXPECT_STREQ(e.what(), "mailbox\r\nunavailable\r\n");
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
    try {
        client.ReadReply();
        FAIL() << "no error";
    } catch (const ReadTimeoutError& e) {
        EXPECT_STREQ(e.what(), "Read Timeout");
    }
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
