#include "mail/quoted_printable.h"

#include <gtest/gtest.h>

namespace corvasse {
namespace {

std::string Encode(std::string_view text) { return QuotedPrintableEncoder::Encode(text); }

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    lines.push_back(text.substr(start));
    return lines;
}

// Decodes quoted-printable as a receiving mail reader would.
std::string Decode(const std::string& encoded) {
    std::string out;
    for (size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] != '=') {
            out += encoded[i];
        } else if (encoded.compare(i + 1, 2, "\r\n") == 0) {
            i += 2;
        } else {
            out += static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16));
            i += 2;
        }
    }
    return out;
}

TEST(QuotedPrintableTest, PlainTextPassesAndSpecialBytesAreEscaped) {
    EXPECT_EQ(Encode("Hello, world!\r\n"), "Hello, world!\r\n");
    EXPECT_EQ(Encode("a=b\r\n"), "a=3Db\r\n");
    EXPECT_EQ(Encode("caf\xE9\x01\x7f\r\n"), "caf=E9=01=7F\r\n");
    EXPECT_EQ(Encode("tab\there\r\n"), "tab\there\r\n");
}

TEST(QuotedPrintableTest, BlanksBeforeALineEndAreEscaped) {
    EXPECT_EQ(Encode("trailing \r\n"), "trailing=20\r\n");
    EXPECT_EQ(Encode("tab\t\r\n"), "tab=09\r\n");
    EXPECT_EQ(Encode("a \nb"), "a=20\nb");
}

TEST(QuotedPrintableTest, FullStopIsEscapedOnlyAtTheStartOfAnOutputLine) {
    EXPECT_EQ(Encode(".\r\n"), "=2E\r\n");
    EXPECT_EQ(Encode("a.b\r\n.c\r\n"), "a.b\r\n=2Ec\r\n");
    // A full stop that a soft break brings to the start of a line.
    std::string encoded = Encode(std::string(72, 'x') + ".\r\n");
    EXPECT_EQ(encoded, std::string(72, 'x') + "=\r\n=2E\r\n");
}

TEST(QuotedPrintableTest, LongLinesGetSoftBreaksAndDecodeBack) {
    const std::string line = std::string(100, 'A') + "\r\n";
    const std::string encoded = Encode(line);
    std::vector<std::string> lines = SplitCrLf(encoded);
    ASSERT_EQ(lines.size(), 3u);  // two output lines and the empty rest
    EXPECT_EQ(lines[0], std::string(72, 'A') + "=");
    EXPECT_EQ(lines[1], std::string(28, 'A'));
    EXPECT_EQ(Decode(encoded), line);
}

TEST(QuotedPrintableTest, NoOutputLineExceedsTheLimitForAnyInput) {
    std::string text;
    for (int i = 0; i < 2000; ++i) text += static_cast<char>((i * 37) % 256);
    text += "\r\n";
    const std::string encoded = Encode(text);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = encoded.find_first_of("\r\n", start)) != std::string::npos; start = end + 1) {
        lines.push_back(encoded.substr(start, end - start));
    }
    for (const std::string& line : lines) {
        EXPECT_LE(line.size(), 76u) << line;
        EXPECT_FALSE(!line.empty() && line.front() == '.') << line;
        EXPECT_FALSE(!line.empty() && (line.back() == ' ' || line.back() == '\t')) << line;
    }
    // Bare CR and LF bytes in the input are line ends too; everything else
    // must come back exactly.
    EXPECT_EQ(Decode(encoded), text);
}

}  // namespace
}  // namespace corvasse
