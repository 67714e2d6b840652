#include "common/header_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvasse {
namespace {

using Lines = std::vector<std::string>;

HeaderList ListOf(const Lines& lines, int width = HeaderList::kDefaultFoldWidth) {
    HeaderList list(width);
    for (const auto& line : lines) list.Add(line);
    return list;
}

TEST(HeaderListTest, FindsNamesWithoutRegardToCase) {
    HeaderList list = ListOf({"Subject: hello", "Content-Type: text/plain", "X-Empty:", "no colon here"});
    EXPECT_EQ(list.IndexOfHeader("content-type"), 1);
    EXPECT_EQ(list.IndexOfHeader("CONTENT-TYPE"), 1);
    EXPECT_EQ(list.GetHeaderValue("content-type"), "text/plain");
    EXPECT_EQ(list.IndexOfHeader("Content"), -1);
    EXPECT_EQ(list.GetHeaderValue("Missing"), "");
    EXPECT_EQ(list.IndexOfHeader("X-Empty"), 2);
    EXPECT_EQ(list.GetHeaderValue("X-Empty"), "");
    // A line without a colon has an empty name and is never found by its text.
    EXPECT_EQ(list.IndexOfHeader("no colon here"), -1);
    EXPECT_EQ(list.Name(3), "");
}

TEST(HeaderListTest, UnfoldsContinuationLinesOnRead) {
    HeaderList list = ListOf({"Location:  http://host/a ", "\t/b/c  ", "   d", "Server: x", " not part of Location"});
    EXPECT_EQ(list.GetHeaderValue("Location"), "http://host/a /b/c d");
    EXPECT_EQ(list.GetHeaderValue("Server"), "x not part of Location");
    // The value keeps everything after the first colon.
    HeaderList url = ListOf({"Location: http://h:8080/x"});
    EXPECT_EQ(url.GetHeaderValue("location"), "http://h:8080/x");
}

TEST(HeaderListTest, SettingKeepsThePlaceAndReplacesContinuations) {
    HeaderList list = ListOf({"A: 1", "B: 2", " 2b", "\t2c", "C: 3"});
    list.SetHeaderValue("b", "new");
    EXPECT_EQ(list.Lines(), (Lines{"A: 1", "b: new", "C: 3"}));
    list.SetHeaderValue("D", "4");
    EXPECT_EQ(list.Lines(), (Lines{"A: 1", "b: new", "C: 3", "D: 4"}));
}

TEST(HeaderListTest, EmptyValueRemovesTheHeaderAndItsContinuations) {
    HeaderList list = ListOf({"A: 1", "B: 2", " 2b", "C: 3"});
    list.SetHeaderValue("Missing", "");
    EXPECT_EQ(list.Count(), 4);
    list.SetHeaderValue("B", "");
    EXPECT_EQ(list.Lines(), (Lines{"A: 1", "C: 3"}));
}

TEST(HeaderListTest, ExtractsEveryValueOfAName) {
    HeaderList list =
        ListOf({"WWW-Authenticate: Basic realm=\"a\"", "Other: x", "www-authenticate: Digest", " nonce=1"});
    Lines values{"kept"};
    list.ExtractHeaderValues("WWW-Authenticate", values);
    EXPECT_EQ(values, (Lines{"kept", "Basic realm=\"a\"", "Digest nonce=1"}));
}

TEST(HeaderListTest, RawAccessChecksIndexes) {
    HeaderList list;
    list.Add("B: 2");
    list.Insert(0, "A: 1");
    list.Insert(2, "C: 3");
    EXPECT_EQ(list.Lines(), (Lines{"A: 1", "B: 2", "C: 3"}));
    list.Delete(1);
    EXPECT_EQ(list[1], "C: 3");
    list.AddLines(list);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_THROW(list[4], std::out_of_range);
    EXPECT_THROW(list.Delete(-1), std::out_of_range);
    EXPECT_THROW(list.Insert(6, "x"), std::out_of_range);
}

TEST(FoldHeaderLineTest, BreaksAtTheLastBlankBeforeTheWidth) {
    // 16 words of 4 letters: 79 bytes, so the line must be broken once.
    std::string line = "To: ";
    for (int i = 0; i < 15; ++i) line += "abcd ";
    line.pop_back();
    ASSERT_EQ(line.size(), 78u);
    line += " xyz";
    Lines folded = FoldHeaderLine(line);
    ASSERT_EQ(folded.size(), 2u);
    EXPECT_EQ(folded[0], line.substr(0, 73));  // "To: " and 14 words, no trailing blank
    EXPECT_EQ(folded[1], " abcd xyz");
    for (const auto& piece : folded) EXPECT_LE(piece.size(), 78u);
}

TEST(FoldHeaderLineTest, LeavesLinesWithinTheWidthAlone) {
    std::string line(70, 'a');
    line += " b c";
    EXPECT_EQ(FoldHeaderLine(line), (Lines{line}));
    // No blank, TAB or comma: never broken, however long.
    std::string word = "X-Token:" + std::string(92, 'w');
    EXPECT_EQ(FoldHeaderLine(word), (Lines{word}));
}

TEST(FoldHeaderLineTest, BreaksAfterCommasButNeverInsideQuotes) {
    std::string addresses = "To: ";
    for (int i = 0; i < 8; ++i) addresses += "person" + std::to_string(i) + "@example.org,";
    addresses.pop_back();
    Lines folded = FoldHeaderLine(addresses);
    ASSERT_GE(folded.size(), 2u);
    EXPECT_EQ(folded[0].back(), ',');
    EXPECT_EQ(folded[1][0], ' ');
    std::string joined;
    for (size_t i = 0; i < folded.size(); ++i) joined += i == 0 ? folded[i] : folded[i].substr(1);
    EXPECT_EQ(joined, addresses);

    std::string quoted = "X: \"" + std::string(40, 'q') + " " + std::string(40, 'q') + "\" end";
    // The column has already passed the width at the closing quote, so the
    // blank after it breaks again.
    EXPECT_EQ(FoldHeaderLine(quoted), (Lines{"X:", " " + quoted.substr(3, 83), " end"}));
}

TEST(FoldHeaderLineTest, KeepsALineBreakAlreadyInTheValue) {
    std::string boundary = "\"=_NextPart_0123456789_abcdefghijk_\"";
    ASSERT_EQ(boundary.size(), 36u);
    HeaderList list;
    list.SetHeaderValue("Content-Type",
                        "multipart/alternative; boundary=" + boundary + ";\r\n\tcharset=\"iso-8859-1\"");
    EXPECT_EQ(list.Lines(), (Lines{"Content-Type: multipart/alternative;", " boundary=" + boundary + ";",
                                   "\tcharset=\"iso-8859-1\""}));
    EXPECT_EQ(list.GetHeaderValue("content-type"),
              "multipart/alternative; boundary=" + boundary + "; charset=\"iso-8859-1\"");
}

TEST(FoldHeaderLineTest, HttpListsFoldAtTheirOwnWidth) {
    std::string value;
    while (value.size() < 1500) value += "token,";
    HeaderList list(HeaderList::kHttpFoldWidth);
    list.SetHeaderValue("X-Long", value);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_LE(list[0].size(), 1024u);
    EXPECT_GT(list[0].size(), 1000u);
    EXPECT_EQ(list[1][0], ' ');
    HeaderList mail;
    mail.SetHeaderValue("X-Long", value);
    EXPECT_GT(mail.Count(), 15);
}

TEST(WrapAtBreaksTest, ExistingBreakRestartsTheColumn) {
    std::string line = std::string(60, 'a') + "\r\n " + std::string(60, 'b') + " c";
    // The break already present is kept as it is and none is added before it.
    EXPECT_EQ(WrapAtBreaks(line, "\r\n ", " ", 78), line);
}

}  // namespace
}  // namespace corvasse
