#pragma once
// One reply of a line-oriented mail protocol: a code and the text lines that
// came with it. SMTP replies carry a three-digit code ("250"), POP3 replies a
// status word ("+OK", "-ERR").

#include <string>
#include <vector>

namespace corvasse {

class RfcReply {
public:
    // The reply code; 0 when there is none.
    int NumericCode() const { return numericCode_; }
    // A code above 0 also becomes the text code (its decimal text).
    void SetNumericCode(int code);

    // The code as it was received ("250", "+OK").
    const std::string& TextCode() const { return textCode_; }
    // A non-empty text also sets the numeric code: its value, or 0 when it is
    // not a number.
    void SetTextCode(const std::string& code);

    // The text lines of the reply, codes removed.
    std::vector<std::string> Text;

    // Code 0, no text code, no lines.
    void Clear();

    // The text code, then a blank and the first text line when there is one.
    std::string DisplayName() const;

    // Fills the reply from the lines of one reply as they were read. The code
    // is taken from the first line ("250-" counts as "250"); continuation lines
    // that repeat the code give their text after it, others their whole text
    // with leading blanks removed.
    void ParseReplyLines(const std::vector<std::string>& lines);

private:
    int numericCode_ = 0;
    std::string textCode_;
};

// The reply text as error messages carry it: every line followed by CR LF.
std::string ReplyTextWithLineEnds(const RfcReply& reply);

}  // namespace corvasse
