#include "mail/rfc_reply.h"

#include <gtest/gtest.h>

namespace corvasse {
namespace {

using Lines = std::vector<std::string>;

TEST(RfcReplyTest, CodeSettersKeepBothFormsInStep) {
    RfcReply reply;
    reply.SetNumericCode(250);
    EXPECT_EQ(reply.TextCode(), "250");
    reply.SetTextCode("354");
    EXPECT_EQ(reply.NumericCode(), 354);
    reply.SetTextCode("+OK");
    EXPECT_EQ(reply.NumericCode(), 0);
    EXPECT_EQ(reply.TextCode(), "+OK");
    // Zero and an empty text leave the other form alone.
    reply.SetNumericCode(0);
    EXPECT_EQ(reply.TextCode(), "+OK");
    reply.SetNumericCode(7);
    reply.SetTextCode("");
    EXPECT_EQ(reply.NumericCode(), 7);
}

TEST(RfcReplyTest, ParsesMultiLineReplies) {
    RfcReply reply;
    reply.ParseReplyLines({"250-mail.example.org", "250-AUTH LOGIN PLAIN", "250 8BITMIME"});
    EXPECT_EQ(reply.NumericCode(), 250);
    EXPECT_EQ(reply.TextCode(), "250");
    EXPECT_EQ(reply.Text, (Lines{"mail.example.org", "AUTH LOGIN PLAIN", "8BITMIME"}));
    EXPECT_EQ(reply.DisplayName(), "250 mail.example.org");
}

TEST(RfcReplyTest, BareCodeGivesOneEmptyTextLine) {
    RfcReply reply;
    reply.ParseReplyLines({"220"});
    EXPECT_EQ(reply.NumericCode(), 220);
    EXPECT_EQ(reply.Text, Lines{""});
    EXPECT_EQ(reply.DisplayName(), "220 ");
}

TEST(RfcReplyTest, ContinuationWithoutCodeKeepsWholeLineLeftTrimmed) {
    RfcReply reply;
    reply.ParseReplyLines({"214-Commands:", "   HELO EHLO", "214 end"});
    EXPECT_EQ(reply.Text, (Lines{"Commands:", "HELO EHLO", "end"}));
}

TEST(RfcReplyTest, Pop3StatusWords) {
    RfcReply reply;
    reply.ParseReplyLines({"+OK 3 1200"});
    EXPECT_EQ(reply.TextCode(), "+OK");
    EXPECT_EQ(reply.Text, Lines{"3 1200"});
    reply.ParseReplyLines({"-ERR no such user"});
    EXPECT_EQ(reply.TextCode(), "-ERR");
    // The code takes four characters here, so the text keeps its blank.
    EXPECT_EQ(reply.Text, Lines{" no such user"});
}

TEST(RfcReplyTest, NoLinesClearsTheReply) {
    RfcReply reply;
    reply.ParseReplyLines({"550 no"});
    reply.ParseReplyLines({});
    EXPECT_EQ(reply.NumericCode(), 0);
    EXPECT_EQ(reply.TextCode(), "");
    EXPECT_TRUE(reply.Text.empty());
}

TEST(RfcReplyTest, ErrorTextEndsEveryLineWithCrLf) {
    RfcReply reply;
    reply.ParseReplyLines({"550-first", "550 second"});
    EXPECT_EQ(ReplyTextWithLineEnds(reply), "first\r\nsecond\r\n");
}

}  // namespace
}  // namespace corvasse
