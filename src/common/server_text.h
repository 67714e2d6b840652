#pragma once
// Text that a server chose (a status line, an error's message, a
// certificate's names) made fit for a mail, the log, the pane, a terminal
// and a notice: a line break or any other control character could end a
// mail line early and start a MIME part of the server's making, or steer a
// terminal that shows the service's output.

#include <cstddef>
#include <string>
#include <string_view>

namespace corvasse {

// How much of a server's text the alert report keeps: enough for any real
// status line or error, short of a mail line's 998 octets.
inline constexpr size_t kReportServerTextMaxBytes = 300;
// What ends a text that was cut.
inline constexpr std::string_view kCutTextEnd = "...";

// The text with every control character a blank: CR LF counts as one, and
// every other C0 control, DEL and each C1 control (U+0080 to U+009F) as one
// each. Text that is valid UTF-8 has its C1 controls as two-byte sequences;
// any other text is read as Latin-1, one character per byte, so the bytes
// 0x80 to 0x9F are the controls there. All other bytes stay as they are.
std::string BlankedControls(std::string_view text);

// BlankedControls of the text, cut to at most maxBytes: a longer text keeps
// what fits before kCutTextEnd, never part of a UTF-8 sequence (the text
// counts as UTF-8 or Latin-1 as in BlankedControls).
std::string ShortServerText(std::string_view text, size_t maxBytes = kReportServerTextMaxBytes);

}  // namespace corvasse
