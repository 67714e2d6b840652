#pragma once
// The lines of a one-part plain-text message as the mail layer writes it
// (what follows DATA, before the final "."), written out once for every test
// that checks a whole message: the header block, the MIME frame and the
// 7bit text part.
//
//     const auto expected = test::AlertMessageLines({.ownAddress = "me@example.org",
//                                                    .sendTo = "alerts@example.org",
//                                                    .sender = "alice <alerts@example.org>",
//                                                    .report = {test::kAnyReportDate, "Watching address: ..."}});
//     test::ExpectMessageLines(test::SplitCrLfLines(mail.content), expected);

#include <string>
#include <string_view>
#include <vector>

namespace corvasse::test {

// The lines of a text, each ended by lineEnd; a last line without one counts
// too, and a final lineEnd adds no empty line.
std::vector<std::string> SplitLines(std::string_view text, std::string_view lineEnd = "\n");
inline std::vector<std::string> SplitCrLfLines(std::string_view text) { return SplitLines(text, "\r\n"); }

// Expected lines that stand for any line of their kind, as the time of
// sending is never known in advance: a Date header, the alert report's date.
inline constexpr const char* kAnyDateHeader = "(any Date header)";
inline constexpr const char* kAnyReportDate = "(any report date)";
inline constexpr const char* kReportDatePattern = R"(\d\d/\d\d/\d{4}, \d\d:\d\d (AM|PM))";

struct TextMessage {
    // From, Subject, To, Cc: the header lines before the MIME frame.
    std::vector<std::string> addressHeaders = {};
    std::string charSet = "iso-8859-1";
    // The Sender header's value.
    std::string sender = {};
    // The whole Date line.
    std::string date = kAnyDateHeader;
    // The text part's lines as they go on the wire (full stops doubled).
    std::vector<std::string> text = {};
};

// The header block: the address headers, Content-Type with the boundary and
// the charset, MIME-Version, Sender and Date.
std::vector<std::string> HeaderLines(const TextMessage& message);
// The header block, a blank line, the preamble and the one text part.
std::vector<std::string> MessageLines(const TextMessage& message);

// An alert of the watch: from the user's own address (also its name) to the
// first recipient, its text the report and the footer.
struct AlertMessage {
    std::string ownAddress = {};
    std::string sendTo = {};
    std::string sender = {};
    std::string charSet = "iso-8859-1";
    // The report's lines, as the log holds them.
    std::vector<std::string> report = {};
};

std::vector<std::string> AlertMessageLines(const AlertMessage& alert);

// Compares line by line; kAnyDateHeader and kAnyReportDate match by pattern.
void ExpectMessageLines(const std::vector<std::string>& received, const std::vector<std::string>& expected);

}  // namespace corvasse::test
