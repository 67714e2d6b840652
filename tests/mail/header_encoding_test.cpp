#include "mail/header_encoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/header_list.h"
#include "common/utf8_text.h"

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

// The bytes an encoded word "=?charset?Q?...?=" or "=?charset?B?...?=" stands for.
std::string DecodeWord(const std::string& word) {
    const size_t letter = word.find('?', 2) + 1;
    const std::string content = word.substr(letter + 2, word.size() - letter - 4);
    std::string bytes;
    if (word[letter] == 'Q') {
        for (size_t i = 0; i < content.size(); ++i) {
            if (content[i] == '=') {
                bytes += static_cast<char>(std::stoi(content.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                bytes += content[i] == '_' ? ' ' : content[i];
            }
        }
        return bytes;
    }
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    unsigned bits = 0;
    int count = 0;
    for (char c : content) {
        if (c == '=') break;
        bits = (bits << 6) | static_cast<unsigned>(alphabet.find(c));
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return bytes;
}

TEST(EncodeHeaderTextTest, LongRunsBecomeWordsOfWholeCharactersWithin75) {
    const std::string umlauts = "\xC3\x84\xC3\x96\xC3\x9C";
    std::string utf8;
    for (int i = 0; i < 12; ++i) utf8 += umlauts + "\xE2\x82\xAC\xF0\x9F\x98\x80";
    std::string gb2312;
    for (int i = 0; i < 40; ++i) gb2312 += "a\xD6\xD0";
    const struct {
        HeaderCharset charset;
        std::string text;
        // Every word holds whole characters of the charset.
        bool (*whole)(std::string_view bytes);
        size_t words;
    } cases[] = {
        {kLatin1, std::string(100, '\xE9'), [](std::string_view) { return true; }, 6},
        {kLatin1B, std::string(100, '\xE9'), [](std::string_view) { return true; }, 3},
        {{"utf-8", 'Q', TransferMode::EightBit}, utf8, IsValidUtf8, 8},
        {{"UTF-8", 'B', TransferMode::EightBit}, utf8, IsValidUtf8, 4},
        {{"GB2312", 'B', TransferMode::EightBit},
         gb2312,
         [](std::string_view bytes) {
             // Three bytes a character pair: "a" and one double-byte character.
             return bytes.size() % 3 == 0 && bytes.back() == '\xD0';
         },
         3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.charset.CharSet + " " + c.charset.EncodingLetter);
        const std::string encoded = EncodeHeaderText(c.text, "", c.charset);
        std::string decoded;
        size_t words = 0;
        for (size_t start = 0, end; start < encoded.size(); start = end + 1) {
            end = std::min(encoded.find(' ', start), encoded.size());
            const std::string word = encoded.substr(start, end - start);
            EXPECT_LE(word.size(), kEncodedWordMaxLength) << word;
            ASSERT_TRUE(word.starts_with("=?" + c.charset.CharSet + "?") && word.ends_with("?=")) << word;
            EXPECT_TRUE(c.whole(DecodeWord(word))) << word;
            decoded += DecodeWord(word);
            ++words;
        }
        EXPECT_EQ(decoded, c.text);
        EXPECT_EQ(words, c.words) << encoded;
    }
}

// The header line folds between the encoded words, once: every physical line
// but the first starts with one blank, and none is empty.
TEST(EncodeHeaderTextTest, EncodedWordsFoldOnceInTheirHeader) {
    HeaderList headers;
    headers.SetHeaderValue("Subject", EncodeHeaderText(std::string(100, '\xE9') + ",\"", "", kLatin1));
    ASSERT_EQ(headers.Count(), 7);
    for (int i = 0; i < headers.Count(); ++i) {
        EXPECT_LE(headers[i].size(), 78u) << headers[i];
        if (i > 0) {
            EXPECT_TRUE(headers[i].starts_with(" =?ISO-8859-1?Q?")) << headers[i];
        }
    }
    // A comma or a double quote inside an encoded word would let the
    // folding break the word, or never break after it.
    EXPECT_TRUE(headers[6].ends_with("=E9=2C=22?=")) << headers[6];
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
