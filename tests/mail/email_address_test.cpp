#include "mail/email_address.h"

#include <gtest/gtest.h>

#include "mail/email_address_list.h"
#include "mail/mail_errors.h"
#include "support/expect_throw.h"

namespace corvasse {
namespace {

EmailAddress Parse(std::string_view text) {
    EmailAddress address;
    address.SetText(text);
    return address;
}

TEST(EmailAddressTest, ParsesTheCommonForms) {
    struct Case {
        const char* text;
        const char* address;
        const char* name;
    } cases[] = {
        {"  joe@example.org ", "joe@example.org", ""},
        {"joe", "joe", ""},
        {"<joe@example.org>", "joe@example.org", ""},
        {"Joe Bloggs <joe@example.org>", "joe@example.org", "Joe Bloggs"},
        {"\"Bloggs, Joe\" <joe@example.org>", "joe@example.org", "Bloggs, Joe"},
        {"\"Joe \\\"JB\\\" Bloggs\" <joe@example.org>", "joe@example.org", "Joe \"JB\" Bloggs"},
        {"joe@example.org (Joe Bloggs)", "joe@example.org", ""},
        {"Joe <joe @ example.org>", "joe@example.org", "Joe"},
        {"Joe (the boss) <joe@example.org>", "joe@example.org", "Joe"},
    };
    for (const Case& c : cases) {
        EmailAddress address = Parse(c.text);
        EXPECT_EQ(address.Address, c.address) << c.text;
        EXPECT_EQ(address.Name, c.name) << c.text;
    }
}

TEST(EmailAddressTest, AtSignAfterBracketedAddressIsRefused) {
    test::ExpectThrowWithMessage<EmailParseError>([&] { Parse("<joe@example.org> x@y"); }, "@ Outside address");
}

TEST(EmailAddressTest, BracketedAddressForms) {
    EmailAddress address;
    EXPECT_EQ(address.BracketedAddress(), "");
    address.Name = "Joe";
    EXPECT_EQ(address.BracketedAddress(), "<>");
    address.Address = "joe";  // no at sign
    EXPECT_EQ(address.BracketedAddress(), "<>");
    address.Address = "joe@example.org";
    EXPECT_EQ(address.BracketedAddress(), "<joe@example.org>");
    address.Name.clear();
    EXPECT_EQ(address.BracketedAddress(), "joe@example.org");
    address.Address = "first.last@example.org";  // a full stop needs no quotes
    EXPECT_EQ(address.BracketedAddress(), "first.last@example.org");
    address.Address = "odd\"one x@example.org";
    EXPECT_EQ(address.BracketedAddress(), "<\"odd\\\"one x\"@example.org>");
    address.Address = "a@b@example.org";  // split at the last at sign
    EXPECT_EQ(address.BracketedAddress(), "<\"a@b\"@example.org>");
}

TEST(EmailAddressTest, AddressTextQuotesNamesOnlyWhenNeeded) {
    EmailAddress address;
    address.Address = "joe@example.org";
    EXPECT_EQ(address.AddressText(), "joe@example.org");
    address.Name = "Joe Bloggs";
    EXPECT_EQ(address.AddressText(), "Joe Bloggs <joe@example.org>");
    address.Name = "Bloggs, Joe";
    EXPECT_EQ(address.AddressText(), "\"Bloggs, Joe\" <joe@example.org>");
    address.Name = "JOE@EXAMPLE.ORG";  // the address again: left out
    EXPECT_EQ(address.AddressText(), "<joe@example.org>");
    EXPECT_EQ(address.Text(), address.AddressText());
}

TEST(EmailAddressListTest, SplitsAtCommasOutsideQuotesAndComments) {
    EmailAddressList list;
    list.AddressListText("\"Bloggs, Joe\" <joe@example.org>, ann@example.org (Ann, the admin),<bob@example.org>");
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list[0].Name, "Bloggs, Joe");
    EXPECT_EQ(list[0].Address, "joe@example.org");
    EXPECT_EQ(list[1].Address, "ann@example.org");
    EXPECT_EQ(list[2].Address, "bob@example.org");
}

TEST(EmailAddressListTest, GroupsEmptyItemsAndReplacement) {
    EmailAddressList list;
    list.AddressListText("friends: a@example.org, b@example.org; , ,c@example.org");
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list[0].Address, "a@example.org");
    EXPECT_EQ(list[1].Address, "b@example.org");
    EXPECT_EQ(list[2].Address, "c@example.org");
    list.AddressListText("<alerts@example.org>");
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list[0].Address, "alerts@example.org");
    EXPECT_EQ(list[0].Name, "");
    list.AddressListText("   ");
    EXPECT_EQ(list.Count(), 0);
}

}  // namespace
}  // namespace corvasse
