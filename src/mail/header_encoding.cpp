#include "mail/header_encoding.h"

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

// Writes encoded words for one run of text, folding them so that none grows
// beyond kEncodedWordMaxLength.
class EncodedWordWriter {
public:
    EncodedWordWriter(const HeaderCharset& charset, std::string& out)
        : opening_("=?" + charset.CharSet + "?" + std::string(1, charset.EncodingLetter) + "?"), out_(out) {}

    void Open() {
        out_ += opening_;
        length_ = opening_.size() + 2;
    }

    void Add(std::string_view piece) {
        if (length_ + piece.size() > kEncodedWordMaxLength) {
            Close();
            out_ += "\r\n\t";
            Open();
        }
        out_ += piece;
        length_ += piece.size();
    }

    void Close() { out_ += "?="; }

private:
    std::string opening_;
    std::string& out_;
    size_t length_ = 0;
};

void WriteQ(std::string_view run, std::string_view extraChars, EncodedWordWriter& writer) {
    for (char c : run) {
        if (c == ' ') {
            writer.Add("_");
        } else if (NeedsEncoding(c, extraChars) || c == '=' || c == '?' || c == '_') {
            std::string escape;
            AppendHexEscape(escape, "=", static_cast<unsigned char>(c));
            writer.Add(escape);
        } else {
            writer.Add(std::string_view(&c, 1));
        }
    }
}

void WriteB(std::string_view run, EncodedWordWriter& writer) {
    for (size_t i = 0; i < run.size(); i += 3) writer.Add(EncodeBase64(run.substr(i, 3)));
}

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
    EncodedWordWriter writer(charset, out);
    auto writeRun = [&](std::string_view run) {
        writer.Open();
        if (charset.EncodingLetter == 'B') {
            WriteB(run, writer);
        } else {
            WriteQ(run, extraChars, writer);
        }
        writer.Close();
    };
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
