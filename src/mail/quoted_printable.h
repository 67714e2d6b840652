#pragma once
// Quoted-printable encoding (RFC 2045) of message text.

#include <string>
#include <string_view>

namespace corvasse {

class QuotedPrintableEncoder {
public:
    // An output line is broken with a soft line break ("=") as soon as it
    // holds more than this many characters.
    static constexpr size_t kSoftBreakColumn = 71;

    // Encodes text that carries its own line ends (CR LF copied as they are).
    // "=" and every byte outside "!".."~" other than blanks are escaped as
    // "=XX"; a blank or TAB before a line end is escaped so that it survives
    // transport, and a full stop starting an output line is escaped so that no
    // line of the result can end an SMTP DATA block.
    static std::string Encode(std::string_view text);
};

}  // namespace corvasse
