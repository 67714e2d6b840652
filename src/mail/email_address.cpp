#include "mail/email_address.h"

#include <cstring>

#include "common/byte_string.h"
#include "mail/mail_errors.h"

namespace corvasse {

namespace {

bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

std::string WithoutBlanks(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (!IsBlankOrTab(c)) out += c;
    }
    return out;
}

// Reads a quoted string that starts at text[i] == '"' into `out`, resolving
// backslash escapes; returns the index after the closing quote.
size_t ReadQuoted(std::string_view text, size_t i, std::string& out) {
    for (++i; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            out += text[++i];
        } else if (text[i] == '"') {
            return i + 1;
        } else {
            out += text[i];
        }
    }
    return i;
}

}  // namespace

std::optional<size_t> SkipComment(std::string_view text, size_t i) {
    int depth = 0;
    for (; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == '(') {
            ++depth;
        } else if (text[i] == ')' && --depth == 0) {
            return i + 1;
        }
    }
    return std::nullopt;
}

bool IsAtomChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return c != '\0' && std::strchr("!#$%&'*+-/=?_`{|}~", c) != nullptr;
}

std::string QuoteString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::string EmailAddress::AddressText() const {
    if (Name.empty() || EqualsNoCase(Name, Address)) return BracketedAddress();
    bool plain = true;
    for (char c : Name) {
        if (!IsAtomChar(c) && c != ' ') {
            plain = false;
            break;
        }
    }
    return (plain ? Name : QuoteString(Name)) + " " + BracketedAddress();
}

std::string EmailAddress::BracketedAddress() const {
    const std::string empty = Name.empty() ? std::string() : std::string("<>");
    size_t at = Address.rfind('@');
    if (Address.empty() || at == std::string::npos) return empty;
    std::string_view local = std::string_view(Address).substr(0, at);
    std::string_view domain = std::string_view(Address).substr(at);
    size_t odd = 0;
    while (odd < local.size() && IsAtomChar(local[odd])) ++odd;
    if (odd < local.size() && local[odd] != '.') {
        return "<" + QuoteString(local) + std::string(domain) + ">";
    }
    std::string text = std::string(local) + std::string(domain);
    return Name.empty() ? text : "<" + text + ">";
}

void EmailAddress::SetText(std::string_view input) {
    Address.clear();
    Name.clear();
    const std::string text = Trim(input);
    if (text.find_first_of("(\"< @\t") == std::string::npos) {
        Address = text;
        return;
    }
    std::string quotedName;
    bool haveQuotedName = false;
    std::string plain;  // text outside quotes, comments and brackets
    std::string bracketed;
    bool haveBracketed = false;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"') {
            haveQuotedName = true;
            i = ReadQuoted(text, i, quotedName);
        } else if (c == '(') {
            i = SkipComment(text, i).value_or(text.size());
        } else if (c == '<' && !haveBracketed) {
            size_t close = text.find('>', i + 1);
            size_t end = close == std::string::npos ? text.size() : close;
            bracketed = WithoutBlanks(std::string_view(text).substr(i + 1, end - i - 1));
            haveBracketed = true;
            i = close == std::string::npos ? text.size() : close + 1;
        } else if (c == '@' && haveBracketed) {
            throw EmailParseError("@ Outside address");
        } else {
            if (!haveBracketed) plain += c;
            ++i;
        }
    }
    if (haveBracketed) {
        Address = bracketed;
        Name = haveQuotedName ? quotedName : Trim(plain);
    } else {
        Address = WithoutBlanks(plain);
        Name = quotedName;
    }
}

}  // namespace corvasse
