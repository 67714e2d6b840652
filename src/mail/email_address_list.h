#pragma once
// An ordered list of e-mail addresses (recipients, copies, reply-to).

#include <string_view>
#include <vector>

#include "mail/email_address.h"

namespace corvasse {

class EmailAddressList {
public:
    // Appends an empty item and returns it.
    EmailAddress& Add();
    void Clear() { items_.clear(); }
    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }
    EmailAddress& operator[](int index) { return items_.at(static_cast<size_t>(index)); }
    const EmailAddress& operator[](int index) const { return items_.at(static_cast<size_t>(index)); }
    std::vector<EmailAddress>::const_iterator begin() const { return items_.begin(); }
    std::vector<EmailAddress>::const_iterator end() const { return items_.end(); }

    // Replaces the list by the addresses of a comma-separated text. Commas
    // inside double quotes and comments do not separate; a group name ending
    // in ":" is dropped and ";" ends a group; items that come out empty are
    // dropped. Throws EmailParseError as EmailAddress::SetText does.
    void AddressListText(std::string_view text);

private:
    std::vector<EmailAddress> items_;
};

}  // namespace corvasse
