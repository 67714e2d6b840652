#include "mail/mailbox_list.h"

#include <algorithm>
#include <optional>

#include "common/byte_string.h"
#include "mail/email_address.h"

namespace corvasse {

namespace {

bool IsAddressAtomChar(char c) { return IsAtomChar(c) || static_cast<unsigned char>(c) >= 0x80; }

// Blanks, and the control characters a pasted or hand-edited text may carry,
// only separate words.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7f; }

struct Token {
    enum class Kind { Atom, Quoted, Literal, Special };
    Kind kind;
    // An atom's or quoted string's text (quotes and escapes resolved), a
    // domain literal with its brackets, or the special character.
    std::string text;
    // Blanks or a comment came before it.
    bool spaced = false;

    bool Is(char special) const { return kind == Kind::Special && text.size() == 1 && text[0] == special; }
    bool IsWord() const { return kind == Kind::Atom || kind == Kind::Quoted; }
};

// One element of the list: its tokens and its text as typed.
struct Element {
    std::vector<Token> tokens;
    std::string_view text;
};

[[noreturn]] void Refuse(std::string_view element, std::string_view why) { throw MailboxListError(Trim(element), why); }

// Splits the text into elements at the commas outside quotes, comments and
// domain literals, each cut into tokens; comments are dropped.
std::vector<Element> Elements(std::string_view text) {
    std::vector<Element> elements;
    Element element;
    size_t start = 0;
    bool spaced = false;
    auto rest = [&] { return text.substr(start); };
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (IsBlank(c)) {
            spaced = true;
            ++i;
        } else if (c == '(') {
            const std::optional<size_t> end = SkipComment(text, i);
            if (!end) Refuse(rest(), "a comment \"(\" without its \")\"");
            i = *end;
            spaced = true;
        } else if (c == '"') {
            Token token{Token::Kind::Quoted, "", spaced};
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size()) ++i;
                if (text[i] == '\r' || text[i] == '\n') Refuse(rest(), "a line break inside quotes");
                token.text += text[i];
            }
            if (i >= text.size()) Refuse(rest(), "a quote without its closing quote");
            ++i;
            element.tokens.push_back(std::move(token));
            spaced = false;
        } else if (c == '[') {
            const size_t close = text.find(']', i);
            if (close == std::string_view::npos) Refuse(rest(), "a \"[\" without its \"]\"");
            element.tokens.push_back({Token::Kind::Literal, std::string(text.substr(i, close + 1 - i)), spaced});
            i = close + 1;
            spaced = false;
        } else if (c == ',') {
            element.text = text.substr(start, i - start);
            elements.push_back(std::move(element));
            element = Element{};
            start = ++i;
            spaced = false;
        } else if (IsAddressAtomChar(c)) {
            Token token{Token::Kind::Atom, "", spaced};
            while (i < text.size() && IsAddressAtomChar(text[i])) token.text += text[i++];
            element.tokens.push_back(std::move(token));
            spaced = false;
        } else {
            element.tokens.push_back({Token::Kind::Special, std::string(1, c), spaced});
            ++i;
            spaced = false;
        }
    }
    element.text = rest();
    elements.push_back(std::move(element));
    return elements;
}

std::string Shown(const Token& token) {
    return token.kind == Token::Kind::Quoted ? QuoteString(token.text) : token.text;
}

// local-part "@" domain from tokens [begin, end).
std::string AddressOf(const Element& element, size_t begin, size_t end) {
    const std::vector<Token>& t = element.tokens;
    std::string local;
    size_t i = begin;
    bool lastWasWord = false;
    for (; i < end && !t[i].Is('@'); ++i) {
        if (t[i].IsWord()) {
            if (lastWasWord) {
                Refuse(element.text, "a name goes before its address in angle brackets (Name <local@domain>)");
            }
            lastWasWord = true;
        } else if (t[i].Is('.')) {
            lastWasWord = false;
        } else {
            Refuse(element.text, "\"" + Shown(t[i]) + "\" cannot stand in an address");
        }
        local += t[i].text;
    }
    if (i == end) Refuse(element.text, "no \"@\" in the address");
    if (local.empty()) Refuse(element.text, "nothing before the \"@\"");
    ++i;
    std::string domain;
    if (i < end && t[i].kind == Token::Kind::Literal) {
        domain = t[i++].text;
    } else {
        bool wantAtom = true;
        for (; i < end && (wantAtom ? t[i].kind == Token::Kind::Atom : t[i].Is('.')); ++i, wantAtom = !wantAtom) {
            domain += t[i].text;
        }
        if (domain.empty()) Refuse(element.text, "no domain after the \"@\"");
        if (wantAtom) Refuse(element.text, "the domain ends with a \".\"");
    }
    if (i < end) {
        if (t[i].Is('@')) Refuse(element.text, "more than one \"@\"");
        if (t[i].IsWord()) Refuse(element.text, "two addresses need a comma between them");
        Refuse(element.text, "\"" + Shown(t[i]) + "\" after the domain");
    }
    return local + "@" + domain;
}

std::optional<Mailbox> MailboxOf(const Element& element) {
    const std::vector<Token>& t = element.tokens;
    if (t.empty()) return std::nullopt;
    for (const Token& token : t) {
        if (token.Is(':') || token.Is(';')) {
            Refuse(element.text, "a group (NAME: addresses;) is not taken here; list its addresses");
        }
    }
    const auto open = std::find_if(t.begin(), t.end(), [](const Token& token) { return token.Is('<'); });
    if (open == t.end()) {
        if (std::any_of(t.begin(), t.end(), [](const Token& token) { return token.Is('>'); })) {
            Refuse(element.text, "a \">\" without its \"<\"");
        }
        return Mailbox{AddressOf(element, 0, t.size()), ""};
    }
    Mailbox mailbox;
    for (auto word = t.begin(); word != open; ++word) {
        if (!word->IsWord() && !word->Is('.')) {
            Refuse(element.text, "\"" + Shown(*word) + "\" cannot stand in a name; quote the name");
        }
        if (word->spaced && !mailbox.name.empty()) mailbox.name += ' ';
        mailbox.name += word->text;
    }
    const auto close = std::find_if(open, t.end(), [](const Token& token) { return token.Is('>'); });
    if (close == t.end()) Refuse(element.text, "a \"<\" without its \">\"");
    if (close + 1 != t.end()) Refuse(element.text, "text after the \">\"");
    const size_t begin = static_cast<size_t>(open - t.begin()) + 1;
    const size_t end = static_cast<size_t>(close - t.begin());
    if (begin == end) Refuse(element.text, "no address between \"<\" and \">\"");
    mailbox.address = AddressOf(element, begin, end);
    return mailbox;
}

}  // namespace

MailboxListError::MailboxListError(std::string_view element, std::string_view why)
    : EmailParseError("\"" + std::string(element) + "\": " + std::string(why)) {}

std::vector<Mailbox> ParseMailboxList(std::string_view text) {
    std::vector<Mailbox> mailboxes;
    for (const Element& element : Elements(text)) {
        if (std::optional<Mailbox> mailbox = MailboxOf(element)) mailboxes.push_back(std::move(*mailbox));
    }
    return mailboxes;
}

std::string SmtpPathAddress(std::string_view address) {
    const size_t at = address.rfind('@');
    if (at == std::string_view::npos) return std::string(address);
    const std::string_view local = address.substr(0, at);
    const bool plain = !local.empty() &&
                       std::all_of(local.begin(), local.end(), [](char c) { return c == '.' || IsAddressAtomChar(c); });
    return plain ? std::string(address) : QuoteString(local) + std::string(address.substr(at));
}

}  // namespace corvasse
