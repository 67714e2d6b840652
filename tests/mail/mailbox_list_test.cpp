#include "mail/mailbox_list.h"

#include <gtest/gtest.h>

#include "support/thrown.h"

namespace corvasse {
namespace {

// Each mailbox as "name|address", separated by "; ", or what was thrown.
std::string Parsed(std::string_view text) {
    std::string out;
    const std::string thrown = test::Thrown([&] {
        for (const Mailbox& mailbox : ParseMailboxList(text)) {
            out += (out.empty() ? "" : "; ") + mailbox.name + "|" + mailbox.address;
        }
    });
    return thrown.empty() ? out : thrown;
}

TEST(MailboxListTest, ReadsWhatPeopleType) {
    const std::pair<const char*, const char*> cases[] = {
        {"a@example.org", "|a@example.org"},
        {"  a@example.org\t", "|a@example.org"},
        {"Ops Team <ops@example.org>, b@example.org", "Ops Team|ops@example.org; |b@example.org"},
        {"\"Smith, J\" <j@example.org>, k@example.org", "Smith, J|j@example.org; |k@example.org"},
        {"a@example.org (night, shift), b@example.org", "|a@example.org; |b@example.org"},
        {"Joe (the boss) <joe@example.org>", "Joe|joe@example.org"},
        {"J. R. Smith <jrs@example.org>", "J. R. Smith|jrs@example.org"},
        {"\"a \\\"b\\\" c\" <abc@example.org>", "a \"b\" c|abc@example.org"},
        {"\"john doe\"@example.org", "|john doe@example.org"},
        {"first..last.@example.org", "|first..last.@example.org"},
        {"a@[192.0.2.1]", "|a@[192.0.2.1]"},
        {"<a@example.org>,, b@example.org,", "|a@example.org; |b@example.org"},
        {"jörg@bücher.example", "|jörg@bücher.example"},
        {" , , ", ""},
        {"(nobody)", ""},
        {"Ops Team ops@example.org",
         "MailboxListError: \"Ops Team ops@example.org\": a name goes before its address in angle brackets "
         "(Name <local@domain>)"},
        {"a@example.org b@example.org",
         "MailboxListError: \"a@example.org b@example.org\": two addresses need a comma between them"},
        {"ok@example.org, nobody", "MailboxListError: \"nobody\": no \"@\" in the address"},
        {"@example.org", "MailboxListError: \"@example.org\": nothing before the \"@\""},
        {"a@", "MailboxListError: \"a@\": no domain after the \"@\""},
        {"a@example.org.", "MailboxListError: \"a@example.org.\": the domain ends with a \".\""},
        {"a@b@example.org", "MailboxListError: \"a@b@example.org\": more than one \"@\""},
        {"Ops <ops@example.org", "MailboxListError: \"Ops <ops@example.org\": a \"<\" without its \">\""},
        {"<ops@example.org> x", "MailboxListError: \"<ops@example.org> x\": text after the \">\""},
        {"Ops <>", "MailboxListError: \"Ops <>\": no address between \"<\" and \">\""},
        {"\"Ops <ops@example.org>", "MailboxListError: \"\"Ops <ops@example.org>\": a quote without its closing quote"},
        {"a@example.org (x", "MailboxListError: \"a@example.org (x\": a comment \"(\" without its \")\""},
        {"Team: a@example.org;",
         "MailboxListError: \"Team: a@example.org;\": a group (NAME: addresses;) is not taken here; list its "
         "addresses"},
    };
    for (const auto& [text, parsed] : cases) EXPECT_EQ(Parsed(text), parsed) << text;
}

TEST(MailboxListTest, PathQuotesOnlyALocalPartThatNeedsIt) {
    EXPECT_EQ(SmtpPathAddress("a.b@example.org"), "a.b@example.org");
    EXPECT_EQ(SmtpPathAddress("jörg@example.org"), "jörg@example.org");
    EXPECT_EQ(SmtpPathAddress("john doe@example.org"), "\"john doe\"@example.org");
    EXPECT_EQ(SmtpPathAddress("a\"b@example.org"), "\"a\\\"b\"@example.org");
}

}  // namespace
}  // namespace corvasse
