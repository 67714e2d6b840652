#include "mail/header_encoding.h"

#include <algorithm>
#include <clocale>

#include "common/base64.h"
#include "common/byte_string.h"
#include "common/utf8_text.h"

namespace corvasse {

namespace {

bool IsWhite(char c) { return c == ' ' || c == '\t'; }

bool NeedsEncoding(char c, std::string_view extraChars) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 32 || byte >= 127 || extraChars.find(c) != std::string_view::npos;
}

// Charsets whose characters beyond ASCII take two bytes, a lead byte from
// 0x81 on and one more.
constexpr std::string_view kDoubleByteCharsets[] = {"GB2312", "Big5", "EUC-KR"};

// The bytes of the character at the start of `text` in the charset: a
// well-formed UTF-8 sequence, a double-byte pair, else one byte.
size_t CharacterLength(std::string_view text, std::string_view charSet) {
    if (EqualsNoCase(charSet, "UTF-8") || EqualsNoCase(charSet, "UTF8")) {
        return std::max<size_t>(Utf8CharacterLength(text), 1);
    }
    const auto lead = static_cast<unsigned char>(text[0]);
    for (std::string_view doubleByte : kDoubleByteCharsets) {
        if (EqualsNoCase(charSet, doubleByte) && lead >= 0x81 && text.size() >= 2) return 2;
    }
    return 1;
}

// Writes one run of text as encoded words of whole characters, each word at
// most kEncodedWordMaxLength long (RFC 2047 section 5 forbids splitting a
// character between two words). Words are separated by a blank: breaking the
// line there is left to the folding of the header line, so that a header is
// folded once, by the one rule that knows its columns.
class EncodedWordWriter {
public:
    EncodedWordWriter(const HeaderCharset& charset, std::string_view extraChars, std::string& out)
        : charset_(charset),
          extraChars_(extraChars),
          opening_("=?" + charset.CharSet + "?" + std::string(1, charset.EncodingLetter) + "?"),
          out_(out) {}

    void Write(std::string_view run) {
        while (!run.empty()) {
            const std::string_view character = run.substr(0, CharacterLength(run, charset_.CharSet));
            run.remove_prefix(character.size());
            if (!word_.empty() && !Fits(character)) Flush();
            word_ += character;
            qLength_ += QLength(character);
        }
        Flush();
    }

private:
    bool IsB() const { return charset_.EncodingLetter == 'B'; }

    // Inside a Q word, besides what RFC 2047 asks for: the folding of the
    // header line breaks at blanks and commas and never inside double
    // quotes, so neither may stand in a word as it is.
    bool NeedsEscape(char c) const {
        return NeedsEncoding(c, extraChars_) || c == '=' || c == '?' || c == '_' || c == ',' || c == '"';
    }

    size_t QLength(std::string_view bytes) const {
        size_t length = 0;
        for (char c : bytes) length += c != ' ' && NeedsEscape(c) ? 3 : 1;
        return length;
    }

    bool Fits(std::string_view character) const {
        const size_t content = IsB() ? (word_.size() + character.size() + 2) / 3 * 4 : qLength_ + QLength(character);
        return opening_.size() + 2 + content <= kEncodedWordMaxLength;
    }

    void Flush() {
        if (wroteWord_) out_ += ' ';
        wroteWord_ = true;
        out_ += opening_;
        if (IsB()) {
            out_ += EncodeBase64(word_);
        } else {
            for (char c : word_) {
                if (c == ' ') {
                    out_ += '_';
                } else if (NeedsEscape(c)) {
                    AppendHexEscape(out_, "=", static_cast<unsigned char>(c));
                } else {
                    out_ += c;
                }
            }
        }
        out_ += "?=";
        word_.clear();
        qLength_ = 0;
    }

    const HeaderCharset& charset_;
    std::string_view extraChars_;
    std::string opening_;
    std::string& out_;
    std::string word_;  // the bytes of the word being collected
    size_t qLength_ = 0;
    bool wroteWord_ = false;
};

}  // namespace

HeaderCharset SelectHeaderCharset(std::string_view localeName) {
    const std::string name = ToLowerAscii(localeName);
    HeaderCharset charset{"", 'B', TransferMode::EightBit};
    if (name.starts_with("zh")) {
        const bool simplified = name.starts_with("zh_cn") || name.starts_with("zh_sg");
        charset.CharSet = simplified ? "GB2312" : "Big5";
    } else if (name.starts_with("ja")) {
        charset.CharSet = "ISO-2022-JP";
        charset.Mode = TransferMode::Iso2022Jp;
    } else if (name.starts_with("ko")) {
        charset.CharSet = "EUC-KR";
    } else {
        charset.CharSet = "ISO-8859-1";
        charset.EncodingLetter = 'Q';
    }
    return charset;
}

HeaderCharset DefaultHeaderCharset() {
    static const HeaderCharset charset = [] {
        const char* name = std::setlocale(LC_CTYPE, nullptr);
        return SelectHeaderCharset(name != nullptr ? name : "");
    }();
    return charset;
}

std::string EncodeHeaderText(std::string_view text, std::string_view extraChars, const HeaderCharset& charset) {
    if (charset.EncodingLetter == '8') return std::string(text);
    std::string out;
    auto writeRun = [&](std::string_view run) { EncodedWordWriter(charset, extraChars, out).Write(run); };
    constexpr size_t kNoRun = std::string_view::npos;
    size_t runStart = kNoRun;
    size_t i = 0;
    while (i < text.size()) {
        // One word: blanks, then everything up to the next blank. CR and LF
        // are not blanks here: they must end up inside an encoded word.
        const size_t wordStart = i;
        while (i < text.size() && IsWhite(text[i])) ++i;
        const size_t contentStart = i;
        bool needs = false;
        for (; i < text.size() && !IsWhite(text[i]); ++i) needs = needs || NeedsEncoding(text[i], extraChars);
        needs = needs || i - contentStart > kBareHeaderWordMaxLength;
        if (needs) {
            if (runStart == kNoRun) {
                out += text.substr(wordStart, contentStart - wordStart);
                runStart = contentStart;
            }
        } else {
            if (runStart != kNoRun) {
                writeRun(text.substr(runStart, wordStart - runStart));
                runStart = kNoRun;
            }
            out += text.substr(wordStart, i - wordStart);
        }
    }
    if (runStart != kNoRun) writeRun(text.substr(runStart));
    return out;
}

std::string EncodeAddressForHeader(const EmailAddress& address, const HeaderCharset& charset) {
    if (address.Name.empty()) return address.Address;
    bool printable = true;
    for (char c : address.Name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < ' ' || byte > '~') printable = false;
    }
    const std::string name =
        printable ? QuoteString(address.Name) : EncodeHeaderText(address.Name, kAddressSpecials, charset);
    return name + " <" + address.Address + ">";
}

std::string EncodeAddressListForHeader(const EmailAddressList& list, const HeaderCharset& charset) {
    std::string out;
    for (const EmailAddress& address : list) {
        if (!out.empty()) out += ", ";
        out += EncodeAddressForHeader(address, charset);
    }
    return out;
}

std::string EncodeSenderForHeader(const EmailAddress& address, const HeaderCharset& charset) {
    // AddressText leaves out a name equal to the address; so does this.
    if (IsAscii(address.Name) || EqualsNoCase(address.Name, address.Address)) return address.Text();
    return EncodeHeaderText(address.Name, kAddressSpecials, charset) + " " + address.BracketedAddress();
}

}  // namespace corvasse
