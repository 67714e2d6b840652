#include "support/message_lines.h"

#include <algorithm>
#include <regex>

#include <gtest/gtest.h>

namespace corvasse::test {

namespace {

constexpr std::string_view kBoundary = "=_MoreStuf_2zzz1234sadvnqw3nerasdf";
constexpr const char* kDateHeaderPattern = R"(Date: \w{3}, \d{1,2} \w{3} \d{4} \d\d:\d\d:\d\d [+-]\d{4})";

}  // namespace

std::vector<std::string> SplitLines(std::string_view text, std::string_view lineEnd) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < text.size(); start = end + lineEnd.size()) {
        end = std::min(text.find(lineEnd, start), text.size());
        lines.emplace_back(text.substr(start, end - start));
    }
    return lines;
}

std::vector<std::string> HeaderLines(const TextMessage& message) {
    std::vector<std::string> lines = message.addressHeaders;
    lines.insert(lines.end(), {"Content-Type: multipart/alternative;", " boundary=\"" + std::string(kBoundary) + "\";",
                               "\tcharset=\"" + message.charSet + "\"", "MIME-Version: 1.0",
                               "Sender: " + message.sender, message.date});
    return lines;
}

std::vector<std::string> MessageLines(const TextMessage& message) {
    std::vector<std::string> lines = HeaderLines(message);
    lines.insert(lines.end(), {"", "This is a multi-part message in MIME format", "", "--" + std::string(kBoundary),
                               "Content-Type: text/plain", "Content-Transfer-Encoding: 7bit", ""});
    lines.insert(lines.end(), message.text.begin(), message.text.end());
    lines.insert(lines.end(), {"", "--" + std::string(kBoundary) + "--"});
    return lines;
}

std::vector<std::string> AlertMessageLines(const AlertMessage& alert) {
    std::vector<std::string> text = alert.report;
    text.insert(text.end(), {"", "\fCorvasse web watch alert, published by the Corvasse project.", "\f"});
    return MessageLines({.addressHeaders = {"From: \"" + alert.ownAddress + "\" <" + alert.ownAddress + ">",
                                            "Subject: Corvasse Alert", "To: " + alert.sendTo},
                         .charSet = alert.charSet,
                         .sender = alert.sender,
                         .text = text});
}

void ExpectMessageLines(const std::vector<std::string>& received, const std::vector<std::string>& expected) {
    ASSERT_EQ(received.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == kAnyDateHeader) {
            EXPECT_TRUE(std::regex_match(received[i], std::regex(kDateHeaderPattern))) << received[i];
        } else if (expected[i] == kAnyReportDate) {
            EXPECT_TRUE(std::regex_match(received[i], std::regex(kReportDatePattern))) << received[i];
        } else {
            EXPECT_EQ(received[i], expected[i]) << "line " << i;
        }
    }
}

}  // namespace corvasse::test
