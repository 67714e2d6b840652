#include "mail/email_address_list.h"

#include <string>

#include "common/byte_string.h"

namespace corvasse {

EmailAddress& EmailAddressList::Add() { return items_.emplace_back(); }

void EmailAddressList::AddressListText(std::string_view text) {
    items_.clear();
    if (Trim(text).empty()) return;
    if (text.find_first_of(":;(\",\t ") == std::string_view::npos) {
        Add().SetText(text);
        return;
    }
    std::vector<std::string> pieces;
    std::string piece;
    bool inQuote = false;
    bool inBrackets = false;
    int commentDepth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((inQuote || commentDepth > 0) && c == '\\' && i + 1 < text.size()) {
            piece += c;
            piece += text[++i];
            continue;
        }
        if (inQuote) {
            inQuote = c != '"';
        } else if (c == '(') {
            ++commentDepth;
        } else if (c == ')' && commentDepth > 0) {
            --commentDepth;
        } else if (commentDepth == 0) {
            if (c == '"') {
                inQuote = true;
            } else if (c == '<') {
                inBrackets = true;
            } else if (c == '>') {
                inBrackets = false;
            } else if ((c == ',' || c == ';') && !inBrackets) {
                pieces.push_back(std::move(piece));
                piece.clear();
                continue;
            } else if (c == ':' && !inBrackets) {
                piece.clear();  // a group name
                continue;
            }
        }
        piece += c;
    }
    pieces.push_back(std::move(piece));
    for (const std::string& p : pieces) {
        EmailAddress address;
        address.SetText(p);
        const std::string shown = address.AddressText();
        if (!shown.empty() && shown != "<>") items_.push_back(std::move(address));
    }
}

}  // namespace corvasse
