#include "common/server_text.h"

#include "common/utf8_text.h"

namespace corvasse {

namespace {

bool IsC0OrDel(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

bool IsC1(unsigned char byte) { return byte >= 0x80 && byte <= 0x9F; }

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string BlankedControls(std::string_view text) {
    const bool utf8 = IsValidUtf8(text);
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += ' ';
            ++i;
        } else if (IsC0OrDel(byte) || (!utf8 && IsC1(byte))) {
            out += ' ';
        } else if (utf8 && byte == 0xC2 && i + 1 < text.size() && IsC1(static_cast<unsigned char>(text[i + 1]))) {
            out += ' ';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string ShortServerText(std::string_view text, size_t maxBytes) {
    std::string plain = BlankedControls(text);
    if (plain.size() <= maxBytes) return plain;
    size_t keep = maxBytes >= kCutTextEnd.size() ? maxBytes - kCutTextEnd.size() : 0;
    // In UTF-8, back to the start of the character the cut falls in; in
    // Latin-1 every byte is a character of its own.
    if (IsValidUtf8(plain)) {
        while (keep > 0 && IsUtf8Continuation(plain[keep])) --keep;
    }
    plain.resize(keep);
    plain += kCutTextEnd;
    return plain;
}

}  // namespace corvasse
