#pragma once
// Encoding of header texts that hold characters outside printable ASCII as
// RFC 2047 encoded words, and the header forms of addresses.

#include <string>
#include <string_view>

#include "common/header_list.h"
#include "mail/email_address.h"
#include "mail/email_address_list.h"

namespace corvasse {

enum class TransferMode { EightBit, Iso2022Jp };

// How header texts are encoded: the charset named in encoded words, the
// encoding letter ('Q', 'B', or '8' for no encoding) and the transfer mode
// of the body text.
struct HeaderCharset {
    std::string CharSet;
    char EncodingLetter = 'Q';
    TransferMode Mode = TransferMode::EightBit;
};

// An encoded word is closed and a new one started before it would grow
// beyond this many characters (RFC 2047 section 2).
inline constexpr size_t kEncodedWordMaxLength = 75;

// A line of a message, header or body, holds at most this many octets before
// its CR LF (RFC 5322 section 2.1.1); servers refuse a longer one.
inline constexpr size_t kMailLineMaxLength = 998;

// A longer word goes out as encoded words: after the fold width's worth of
// text that may stand before it on its line, a bare word would bring the
// header line beyond kMailLineMaxLength.
inline constexpr size_t kBareHeaderWordMaxLength = kMailLineMaxLength - HeaderList::kDefaultFoldWidth;

// The RFC 822 specials, encoded as well inside display names that need
// encoding.
inline constexpr std::string_view kAddressSpecials = "\"(),.:;<>@[\\]";

// The charset for a locale name ("de_DE.UTF-8", "zh_CN", "C"): Chinese
// (simplified: GB2312, other: Big5), Japanese (ISO-2022-JP), Korean (EUC-KR)
// with base64 words, anything else ISO-8859-1 with Q words.
HeaderCharset SelectHeaderCharset(std::string_view localeName);

// The same for the program's character-type locale, read once.
HeaderCharset DefaultHeaderCharset();

// Encodes the words of `text` that hold control characters, bytes above 126
// or one of `extraChars`, or are longer than kBareHeaderWordMaxLength, as
// encoded words; other words pass unchanged. A reader joins adjacent encoded
// words without the blanks between them (RFC 2047 section 6.2), so a long
// word still reads as one.
// Consecutive words that need encoding share one encoded word. A run too
// long for one word of kEncodedWordMaxLength becomes several, separated by
// blanks, each holding whole characters of the charset (UTF-8, or the
// double-byte GB2312, Big5 and EUC-KR); the header line's own folding breaks
// the line between them. CR and LF always go inside an encoded word, so the
// result never breaks the header line on its own.
std::string EncodeHeaderText(std::string_view text, std::string_view extraChars, const HeaderCharset& charset);

// "address", or the name (quoted, or encoded when it holds characters
// outside printable ASCII), a blank and "<address>".
std::string EncodeAddressForHeader(const EmailAddress& address, const HeaderCharset& charset);

// The items of the list in that form, joined by ", ".
std::string EncodeAddressListForHeader(const EmailAddressList& list, const HeaderCharset& charset);

// The Sender form of an address: its AddressText, except that a display name
// with bytes above 127 goes out as encoded words, since a header must stay
// 7-bit.
std::string EncodeSenderForHeader(const EmailAddress& address, const HeaderCharset& charset);

}  // namespace corvasse
