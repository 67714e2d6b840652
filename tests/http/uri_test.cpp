#include "http/uri.h"

#include <gtest/gtest.h>

#include "http/http_errors.h"
#include "support/expect_throw.h"

namespace corvasse {
namespace {

struct Parts {
    std::string protocol, username, password, host, port, path, resource, query, fragment;
};

void ExpectParts(const Uri& uri, const Parts& want) {
    EXPECT_EQ(uri.Protocol, want.protocol) << uri.Text;
    EXPECT_EQ(uri.Username, want.username) << uri.Text;
    EXPECT_EQ(uri.Password, want.password) << uri.Text;
    EXPECT_EQ(uri.Host, want.host) << uri.Text;
    EXPECT_EQ(uri.Port, want.port) << uri.Text;
    EXPECT_EQ(uri.Path, want.path) << uri.Text;
    EXPECT_EQ(uri.Resource, want.resource) << uri.Text;
    EXPECT_EQ(uri.Query, want.query) << uri.Text;
    EXPECT_EQ(uri.Fragment, want.fragment) << uri.Text;
}

TEST(UriTest, SplitsAbsoluteUrls) {
    ExpectParts(Uri("http://user:pw@www.example.com:8080/a/b/doc.html?x=1#top"),
                {"http", "user", "pw", "www.example.com", "8080", "/a/b/", "doc.html", "?x=1", "top"});
    ExpectParts(Uri("http://host"), {"http", "", "", "host", "", "/", "", "", ""});
    ExpectParts(Uri("http://host/dir"), {"http", "", "", "host", "", "/", "dir", "", ""});
    ExpectParts(Uri("HTTP://host/dir/"), {"HTTP", "", "", "host", "", "/dir/", "", "", ""});
    // No "/" after the host: the query stays in the host.
    ExpectParts(Uri("http://host?q=1"), {"http", "", "", "host?q=1", "", "/", "", "", ""});
    // Without "?", the first "=" starts the query, and slashes after it are query text.
    ExpectParts(Uri("http://h/a/b=c/d"), {"http", "", "", "h", "", "/a/", "b", "=c/d", ""});
    // A "#" inside the query ends it.
    ExpectParts(Uri("http://h/p?a=1#frag"), {"http", "", "", "h", "", "/", "p", "?a=1", "frag"});
    // Nothing is decoded or lower-cased.
    ExpectParts(Uri("http://H/%41b/C%20d"), {"http", "", "", "H", "", "/%41b/", "C%20d", "", ""});
}

TEST(UriTest, AnIPv6HostKeepsItsBracketsAndItsColons) {
    ExpectParts(Uri("http://[::1]:8080/page"), {"http", "", "", "[::1]", "8080", "/", "page", "", ""});
    ExpectParts(Uri("http://[2001:db8::1]/a/"), {"http", "", "", "[2001:db8::1]", "", "/a/", "", "", ""});
    ExpectParts(Uri("https://[::ffff:192.0.2.1]"), {"https", "", "", "[::ffff:192.0.2.1]", "", "/", "", "", ""});
    ExpectParts(Uri("http://u:p@[fe80::1%25lo]:81/x?q#f"),
                {"http", "u", "p", "[fe80::1%25lo]", "81", "/", "x", "?q", "f"});
    // Without its closing bracket the text is no IPv6 host: the first ":" ends it.
    ExpectParts(Uri("http://[::1/x"), {"http", "", "", "[", ":1", "/", "x", "", ""});
}

TEST(UriTest, UserInfoRules) {
    ExpectParts(Uri("http://bob@h/"), {"http", "bob", "", "h", "", "/", "", "", ""});
    // A password without a user name is dropped.
    ExpectParts(Uri("http://:secret@h/"), {"http", "", "", "h", "", "/", "", "", ""});
    // The first "@" ends the user info; the first ":" of it ends the name.
    ExpectParts(Uri("ftp://a:b:c@d@h:21/x"), {"ftp", "a", "b:c", "d@h", "21", "/", "x", "", ""});
}

TEST(UriTest, BackslashesAreSlashes) {
    Uri uri("http:\\\\host\\dir\\page.html");
    EXPECT_EQ(uri.Text, "http://host/dir/page.html");
    ExpectParts(uri, {"http", "", "", "host", "", "/dir/", "page.html", "", ""});
}

TEST(UriTest, RelativeReferences) {
    ExpectParts(Uri("/x/y.html?z"), {"", "", "", "", "", "/x/", "y.html", "?z", ""});
    ExpectParts(Uri("../up/"), {"", "", "", "", "", "../up/", "", "", ""});
    // Only the query is searched for a fragment in the relative form.
    ExpectParts(Uri("page.html#sec"), {"", "", "", "", "", "", "page.html#sec", "", ""});
    ExpectParts(Uri("page.html?a#sec"), {"", "", "", "", "", "", "page.html", "?a", "sec"});
}

TEST(UriTest, ParseClearsEarlierFields) {
    Uri uri("http://u:p@h:1/a/b?c#d");
    uri.Parse("rel");
    ExpectParts(uri, {"", "", "", "", "", "", "rel", "", ""});
    uri.Parse("");
    EXPECT_EQ(uri.Resource, "");
    EXPECT_EQ(uri.Text, "");
}

TEST(MergePathTest, ResolvesRelativePaths) {
    EXPECT_EQ(MergePath("/a/b/", "../c/"), "/a/c/");
    EXPECT_EQ(MergePath("/dir/", ""), "/dir/");
    EXPECT_EQ(MergePath("/a/", "./b"), "/a/./b");
    EXPECT_EQ(MergePath("/a/./b", ""), "/a/./b/");
    EXPECT_EQ(MergePath("/old/", "/new/x"), "/new/x");
    EXPECT_EQ(MergePath("/a/b", "c/"), "/a/b/c/");
    EXPECT_EQ(MergePath("/a//b/", "c"), "/a/b/c");
    EXPECT_EQ(MergePath("/a/b/c/", "../../"), "/a/");
    EXPECT_EQ(MergePath("/", "../../x/"), "/x/");
    EXPECT_EQ(MergePath("", "x/"), "x/");
    EXPECT_EQ(MergePath("", ""), "");
}

TEST(EncodeRequestTargetTest, EscapesOnlyWhatCannotStandOnARequestLine) {
    const struct {
        const char* target;
        const char* sent;
    } cases[] = {
        {"/a/b.html?x=1&y=%41~!$'()*+,;=:@", "/a/b.html?x=1&y=%41~!$'()*+,;=:@"},
        {"/Gr\xC3\xB6\xC3\x9F"
         "e fehlt/",
         "/Gr%C3%B6%C3%9Fe%20fehlt/"},
        {"/latin1/\xF6", "/latin1/%F6"},
        {"/?q=a\tb\r\n\x7F\x01", "/?q=a%09b%0D%0A%7F%01"},
        {"/already%20escaped/100%", "/already%20escaped/100%"},
        {"/\"<>\\^`{|}#", "/\"<>\\^`{|}#"},
    };
    for (const auto& c : cases) EXPECT_EQ(EncodeRequestTarget(c.target), c.sent) << c.target;
}

}  // namespace
}  // namespace corvasse
