#include "mail/quoted_printable.h"

#include "common/byte_string.h"

namespace corvasse {

namespace {

void AppendEscape(std::string& out, unsigned char byte) { AppendHexEscape(out, "=", byte); }

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

std::string QuotedPrintableEncoder::Encode(std::string_view text) {
    std::string out;
    // Length of the output line being built; line ends start a new one.
    size_t column = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (IsLineEnd(c)) {
            out += c;
            column = 0;
            continue;
        }
        size_t before = out.size();
        if (c == ' ' || c == '\t') {
            // Looks past the end of the caller's chunk too: a blank is never
            // left at the end of a line.
            if (i + 1 < text.size() && IsLineEnd(text[i + 1])) {
                AppendEscape(out, byte);
            } else {
                out += c;
            }
        } else if (c == '.' && column == 0) {
            AppendEscape(out, byte);
        } else if (byte >= '!' && byte <= '~' && c != '=') {
            out += c;
        } else {
            AppendEscape(out, byte);
        }
        column += out.size() - before;
        if (column > kSoftBreakColumn) {
            out += "=\r\n";
            column = 0;
        }
    }
    return out;
}

}  // namespace corvasse
