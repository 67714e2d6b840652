#include "common/utf8_text.h"

#include <algorithm>

namespace corvasse {

namespace {

// The length of the sequence a lead byte starts, and the range its second
// byte must lie in (narrower than 80..BF where the shortest form or the
// surrogate and U+10FFFF limits demand it); 0 for a byte that cannot lead.
struct Utf8Lead {
    size_t length;
    unsigned char secondLow;
    unsigned char secondHigh;
};

Utf8Lead ReadLead(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return {2, 0x80, 0xBF};
    if (lead == 0xE0) return {3, 0xA0, 0xBF};
    if (lead == 0xED) return {3, 0x80, 0x9F};
    if (lead >= 0xE1 && lead <= 0xEF) return {3, 0x80, 0xBF};
    if (lead == 0xF0) return {4, 0x90, 0xBF};
    if (lead >= 0xF1 && lead <= 0xF3) return {4, 0x80, 0xBF};
    if (lead == 0xF4) return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

bool InRange(char c, unsigned char low, unsigned char high) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= low && byte <= high;
}

}  // namespace

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

size_t Utf8CharacterLength(std::string_view text) {
    if (text.empty()) return 0;
    const auto byte = static_cast<unsigned char>(text[0]);
    if (byte < 0x80) return 1;
    const Utf8Lead lead = ReadLead(byte);
    if (lead.length == 0 || text.size() < lead.length) return 0;
    if (!InRange(text[1], lead.secondLow, lead.secondHigh)) return 0;
    for (size_t k = 2; k < lead.length; ++k) {
        if (!InRange(text[k], 0x80, 0xBF)) return 0;
    }
    return lead.length;
}

bool IsValidUtf8(std::string_view text) {
    while (!text.empty()) {
        const size_t length = Utf8CharacterLength(text);
        if (length == 0) return false;
        text.remove_prefix(length);
    }
    return true;
}

std::string Utf8OrLatin1(std::string_view text) {
    if (IsValidUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            // Latin-1 is the first 256 code points: two bytes each above 127.
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

}  // namespace corvasse
