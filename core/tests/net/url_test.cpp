#include "net/url.h"

#include <gtest/gtest.h>

namespace kest::net {
namespace {

TEST(Url, SplitsWhatARequestNeeds) {
    struct Case {
        const char* text;
        const char* scheme;
        const char* host;
        int port;
        const char* target;
    };
    const Case cases[] = {
        {"http://127.0.0.1:9787/connections", "http", "127.0.0.1", 9787, "/connections"},
        {"HTTPS://Dns.Example/resolve?name=a.b&type=A", "https", "dns.example", 443,
         "/resolve?name=a.b&type=A"},
        {"http://example.com", "http", "example.com", 80, "/"},
        {"http://example.com:/x", "http", "example.com", 80, "/x"},
        {"http://example.com?q", "http", "example.com", 80, "/?q"},
        {"https://[2001:db8::1]:8443/p#frag", "https", "2001:db8::1", 8443, "/p"},
        {"http://h/a/./b/../c", "http", "h", 80, "/a/c"},
        {"http://h/a b/\xD0\xBF?x=\"1\"", "http", "h", 80, "/a%20b/%D0%BF?x=%221%22"},
        {"http://h/already%20escaped", "http", "h", 80, "/already%20escaped"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto url = parse_url(c.text);
        ASSERT_TRUE(url) << url.error();
        EXPECT_EQ(url->scheme, c.scheme);
        EXPECT_EQ(url->host, c.host);
        EXPECT_EQ(url->port, c.port);
        EXPECT_EQ(url->target(), c.target);
    }
    EXPECT_EQ(parse_url("https://[::1]:8443/p")->text(), "https://[::1]:8443/p");
}

TEST(Url, RefusesWhatItCannotRequest) {
    for (const char* text :
         {"", "example.com/x", "ftp://example.com/", "http:///path", "http://user:pw@example.com/",
          "http://example.com:0/", "http://example.com:65536/", "http://example.com:8x/",
          "http://[::1/", "http://ex ample.com/", "http://\xD0\xBF.ru/"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(parse_url(text));
    }
}

TEST(Url, ResolvesRedirectLocations) {
    auto base = *parse_url("http://a.example:8080/dir/page?old=1");
    struct Case {
        const char* location;
        const char* expected;
    };
    const Case cases[] = {
        {"https://b.example/x", "https://b.example:443/x"},
        {"//c.example/y", "http://c.example:80/y"},
        {"/root?q=2", "http://a.example:8080/root?q=2"},
        {"next", "http://a.example:8080/dir/next"},
        {"../up", "http://a.example:8080/up"},
        {"../../../../too-far", "http://a.example:8080/too-far"},
        {"?only=query", "http://a.example:8080/dir/page?only=query"},
        {"", "http://a.example:8080/dir/page?old=1"},
        {"#fragment", "http://a.example:8080/dir/page?old=1"},
        {"./", "http://a.example:8080/dir/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        auto url = resolve_url(base, c.location);
        ASSERT_TRUE(url) << url.error();
        EXPECT_EQ(url->text(), c.expected);
    }
    EXPECT_FALSE(resolve_url(base, "javascript:alert(1)"));
}

TEST(Url, SameOriginComparesSchemeHostAndPort) {
    auto a = *parse_url("http://h.example/x");
    EXPECT_TRUE(a.same_origin(*parse_url("http://H.EXAMPLE:80/other")));
    EXPECT_FALSE(a.same_origin(*parse_url("https://h.example/x")));
    EXPECT_FALSE(a.same_origin(*parse_url("http://h.example:81/x")));
    EXPECT_FALSE(a.same_origin(*parse_url("http://g.example/x")));
}

} // namespace
} // namespace kest::net
