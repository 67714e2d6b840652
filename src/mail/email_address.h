#pragma once
// One e-mail address with an optional display name.

#include <optional>
#include <string>
#include <string_view>

namespace corvasse {

class EmailAddress {
public:
    std::string Address;
    std::string Name;

    // The address as a Sender header shows it: the bracketed address alone,
    // or preceded by the name (quoted unless it is made of atom characters
    // and blanks). A name equal to the address (any case) is left out.
    std::string AddressText() const;

    // The address as it goes between angle brackets; a local part with
    // characters outside the atom set is quoted. Without a name the brackets
    // are left out. Empty for an address without "@" and no name, "<>" with
    // a name.
    std::string BracketedAddress() const;

    // Reading gives AddressText.
    std::string Text() const { return AddressText(); }
    // Parses "Name <local@domain>", "\"Name\" <address>", "address (comment)"
    // or a bare address into Name and Address. Throws EmailParseError
    // "@ Outside address" for an "@" after a bracketed address.
    void SetText(std::string_view text);
};

// True for the characters an RFC 822 atom may hold (letters, digits and
// ! # $ % & ' * + - / = ? _ ` { | } ~).
bool IsAtomChar(char c);

// Skips the comment that starts at text[i] == '(' (comments nest, a backslash
// escapes the next character); returns the index after its closing ")", or
// nothing when the text ends first.
std::optional<size_t> SkipComment(std::string_view text, size_t i);

// The text with a backslash before every backslash and double quote, between
// double quotes.
std::string QuoteString(std::string_view text);

}  // namespace corvasse
