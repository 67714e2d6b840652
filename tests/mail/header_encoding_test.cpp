#include "mail/header_encoding.h"

#include <gtest/gtest.h>

#include "common/header_list.h"

namespace corvasse {
namespace {

const HeaderCharset kLatin1{"ISO-8859-1", 'Q', TransferMode::EightBit};
const HeaderCharset kLatin1B{"ISO-8859-1", 'B', TransferMode::EightBit};

TEST(HeaderCharsetTest, FollowsTheLocaleLanguage) {
    EXPECT_EQ(SelectHeaderCharset("zh_CN.UTF-8").CharSet, "GB2312");
    EXPECT_EQ(SelectHeaderCharset("zh_TW").CharSet, "Big5");
    HeaderCharset japanese = SelectHeaderCharset("ja_JP.eucJP");
    EXPECT_EQ(japanese.CharSet, "ISO-2022-JP");
    EXPECT_EQ(japanese.EncodingLetter, 'B');
    EXPECT_EQ(japanese.Mode, TransferMode::Iso2022Jp);
    EXPECT_EQ(SelectHeaderCharset("ko_KR").CharSet, "EUC-KR");
    for (const char* other : {"C", "", "en_US.UTF-8", "de_DE"}) {
        HeaderCharset charset = SelectHeaderCharset(other);
        EXPECT_EQ(charset.CharSet, "ISO-8859-1") << other;
        EXPECT_EQ(charset.EncodingLetter, 'Q') << other;
    }
}

TEST(EncodeHeaderTextTest, PrintableAsciiPassesUnchanged) {
    EXPECT_EQ(EncodeHeaderText("Corvasse Alert", "", kLatin1), "Corvasse Alert");
    EXPECT_EQ(EncodeHeaderText("  spaced  out  ", "", kLatin1), "  spaced  out  ");
    EXPECT_EQ(EncodeHeaderText("", "", kLatin1), "");
}

TEST(EncodeHeaderTextTest, OnlyWordsThatNeedItAreEncodedAndNeighboursShareAWord) {
    EXPECT_EQ(EncodeHeaderText("Gr\xFC\xDF"
                               "e aus K\xF6ln today",
                               "", kLatin1),
              "=?ISO-8859-1?Q?Gr=FC=DFe?= aus =?ISO-8859-1?Q?K=F6ln?= today");
    EXPECT_EQ(EncodeHeaderText("Gr\xFC\xDF"
                               "e  K\xF6ln",
                               "", kLatin1),
              "=?ISO-8859-1?Q?Gr=FC=DFe__K=F6ln?=");
    // "=", "?" and "_" are escaped inside an encoded word only.
    EXPECT_EQ(EncodeHeaderText("a=b \xE9?_", "", kLatin1), "a=b =?ISO-8859-1?Q?=E9=3F=5F?=");
    EXPECT_EQ(EncodeHeaderText("\xE9t\xE9", "", kLatin1B), "=?ISO-8859-1?B?6XTp?=");
    EXPECT_EQ(EncodeHeaderText("\xE9t\xE9", "", HeaderCharset{"X", '8', TransferMode::EightBit}), "\xE9t\xE9");
}

TEST(EncodeHeaderTextTest, LongEncodedWordsFoldAt75Characters) {
    const std::string text(100, '\xE9');
    const std::string encoded = EncodeHeaderText(text, "", kLatin1);
    size_t start = 0;
    int words = 0;
    std::string decodedHex;
    while (start < encoded.size()) {
        size_t end = encoded.find("\r\n\t", start);
        std::string word = encoded.substr(start, end == std::string::npos ? std::string::npos : end - start);
        EXPECT_LE(word.size(), kEncodedWordMaxLength) << word;
        ASSERT_EQ(word.rfind("=?ISO-8859-1?Q?", 0), 0u) << word;
        ASSERT_EQ(word.substr(word.size() - 2), "?=");
        decodedHex += word.substr(15, word.size() - 17);
        ++words;
        start = end == std::string::npos ? encoded.size() : end + 3;
    }
    EXPECT_EQ(words, 6);  // 19 escapes fit in one word of 75 characters
    std::string expected;
    for (int i = 0; i < 100; ++i) expected += "=E9";
    EXPECT_EQ(decodedHex, expected);

    const std::string b = EncodeHeaderText(std::string(100, '\xE9'), "", kLatin1B);
    for (size_t s = 0, e; s < b.size(); s = e + 3) {
        e = b.find("\r\n\t", s);
        EXPECT_LE(std::min(e, b.size()) - s, kEncodedWordMaxLength);
        if (e == std::string::npos) break;
    }
}

TEST(EncodeHeaderTextTest, LineBreaksNeverEscapeTheEncodedWord) {
    // Without this a subject could smuggle in a header line of its own.
    const std::string encoded = EncodeHeaderText("Hello\r\nBcc: evil@example.org", "", kLatin1);
    EXPECT_EQ(encoded, "=?ISO-8859-1?Q?Hello=0D=0ABcc:?= evil@example.org");
    HeaderList headers;
    headers.SetHeaderValue("Subject", encoded);
    ASSERT_EQ(headers.Count(), 1);
    EXPECT_EQ(headers.IndexOfHeader("Bcc"), -1);
}

TEST(EncodeAddressForHeaderTest, NamesAreQuotedOrEncoded) {
    EmailAddress address;
    address.Address = "joe@example.org";
    EXPECT_EQ(EncodeAddressForHeader(address, kLatin1), "joe@example.org");
    address.Name = "Joe \"JB\" Bloggs";
    EXPECT_EQ(EncodeAddressForHeader(address, kLatin1), "\"Joe \\\"JB\\\" Bloggs\" <joe@example.org>");
    address.Name = "J\xF6rg Bloggs, Jr.";
    EXPECT_EQ(EncodeAddressForHeader(address, kLatin1), "=?ISO-8859-1?Q?J=F6rg_Bloggs=2C_Jr=2E?= <joe@example.org>");
    EmailAddressList list;
    list.AddressListText("a@example.org, B <b@example.org>");
    EXPECT_EQ(EncodeAddressListForHeader(list, kLatin1), "a@example.org, \"B\" <b@example.org>");
}

TEST(EncodeSenderForHeaderTest, OnlyNamesBeyondAsciiBecomeEncodedWords) {
    const HeaderCharset utf8{"utf-8", 'Q', TransferMode::EightBit};
    const struct {
        std::string name;
        std::string address;
        std::string header;
    } cases[] = {
        {"alice", "a@example.org", "alice <a@example.org>"},
        {"me@example.org", "a@example.org", "\"me@example.org\" <a@example.org>"},
        {"", "a@example.org", "a@example.org"},
        {"J\xC3\xBCrgen", "a@example.org", "=?utf-8?Q?J=C3=BCrgen?= <a@example.org>"},
        {"J\xC3\xBCrgen M. \"JM\"", "a@example.org", "=?utf-8?Q?J=C3=BCrgen_M=2E_=22JM=22?= <a@example.org>"},
        {"J\xC3\xBCrgen", "odd local@example.org", "=?utf-8?Q?J=C3=BCrgen?= <\"odd local\"@example.org>"},
        // A name equal to the address is left out; the address is never encoded.
        {"j\xC3\xBC@example.org", "J\xC3\xBC@EXAMPLE.ORG", "<\"J\xC3\xBC\"@EXAMPLE.ORG>"},
    };
    for (const auto& c : cases) {
        EmailAddress address;
        address.Name = c.name;
        address.Address = c.address;
        EXPECT_EQ(EncodeSenderForHeader(address, utf8), c.header) << c.name;
    }
}

}  // namespace
}  // namespace corvasse
