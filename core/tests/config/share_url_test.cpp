#include "config/share_url.h"

#include <gtest/gtest.h>

#include <string>

namespace kest::config {
namespace {

// One line per parse, so a table row shows every field at once when it fails.
std::string describe(const ParsedUrl& url) {
    std::string out = "host=" + url.host + " port=" + url.port + " user=" + url.user;
    out += url.password ? " password=" + *url.password : " password=<absent>";
    out += " query={";
    for (const auto& [key, value] : url.query)
        out += key + "=" + value + ";";
    return out + "}";
}

std::string parse_described(const std::string& link) {
    auto url = parse_share_url(link);
    return url ? describe(*url) : "error: " + url.error();
}

TEST(ParseUrl, SplitsTheLinkIntoItsParts) {
    struct Case {
        std::string link;
        std::string expected;
    };
    const Case cases[] = {
        {"x://example.com", "host=example.com port= user= password=<absent> query={}"},
        {"x://", "host= port= user= password=<absent> query={}"},
        {"://h", "host=h port= user= password=<absent> query={}"},
        {"x\t://h", "host=h port= user= password=<absent> query={}"},
        // userinfo
        {"x://u:p:q@h:443", "host=h port=443 user=u password=p:q query={}"},
        {"x://u:@h", "host=h port= user=u password= query={}"},
        {"x://a@b@h", "host=h port= user=a@b password=<absent> query={}"},
        {"x://%40u%3A:p%40@h", "host=h port= user=@u: password=p@ query={}"},
        {"x://a+b:c+d@h+1", "host=h+1 port= user=a+b password=c+d query={}"},
        {"x://u/x@h", "host=u port= user= password=<absent> query={}"},
        {"x://u?x@h", "host=u port= user= password=<absent> query={x@h=;}"},
        // host and port
        {"x://[::1]:8443", "host=::1 port=8443 user= password=<absent> query={}"},
        {"x://[::1]", "host=::1 port= user= password=<absent> query={}"},
        {"x://[::1]:", "host=::1 port= user= password=<absent> query={}"},
        {"x://u@[2001:db8::1]:0", "host=2001:db8::1 port=0 user=u password=<absent> query={}"},
        {"x://h:1:2", "host=h:1 port=2 user= password=<absent> query={}"},
        {"x://h:", "host=h port= user= password=<absent> query={}"},
        {"x://h:99999", "host=h port=99999 user= password=<absent> query={}"},
        {"x://Host.Example", "host=Host.Example port= user= password=<absent> query={}"},
        {"x://%D0%BF%D1%80", "host=пр port= user= password=<absent> query={}"},
        {"x://сервер.рф:1", "host=сервер.рф port=1 user= password=<absent> query={}"},
        // query
        {"x://h/p?a=1&a=2&&b", "host=h port= user= password=<absent> query={a=1;b=;}"},
        {"x://h?a=%zz&a=2", "host=h port= user= password=<absent> query={a=2;}"},
        {"x://h?%zz=1&v=%4&k", "host=h port= user= password=<absent> query={k=;}"},
        {"x://h?k=a+b%2B", "host=h port= user= password=<absent> query={k=a b+;}"},
        {"x://h?K=1&k=2", "host=h port= user= password=<absent> query={K=1;k=2;}"},
        {"x://h?a=b=c", "host=h port= user= password=<absent> query={a=b=c;}"},
        {"x://h/a?b=1?c", "host=h port= user= password=<absent> query={b=1?c;}"},
        {"x://h?q=1#frag", "host=h port= user= password=<absent> query={q=1#frag;}"},
        {"x://h?q=%0A", "host=h port= user= password=<absent> query={q=\n;}"},
        {"x://h?q=%C3%28", "host=h port= user= password=<absent> query={}"},
        {"x://h?q=\xC2\xA0", "host=h port= user= password=<absent> query={q=\xC2\xA0;}"},
        {"x://h/path/only", "host=h port= user= password=<absent> query={}"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parse_described(c.link), c.expected) << c.link;
}

TEST(ParseUrl, RefusesBrokenLinksWithTheFirstFault) {
    struct Case {
        std::string link;
        std::string error;
    };
    const Case cases[] = {
        {"example.com", "некорректная ссылка: нет схемы"},
        {"x:/h", "некорректная ссылка: нет схемы"},
        {"x://h\tx", "некорректная ссылка: управляющий символ"},
        {"x://h/p\x7F", "некорректная ссылка: управляющий символ"},
        {"x://h?a=\xC2\x85", "некорректная ссылка: управляющий символ"},
        {"x://h?a=\xC2\x9F", "некорректная ссылка: управляющий символ"},
        {"x://h#\n", "некорректная ссылка: управляющий символ"},
        {"x://[::1", "некорректная ссылка: незакрытая скобка в адресе IPv6"},
        {"x://[::1]x", "некорректная ссылка: мусор после адреса IPv6"},
        {"x://h:44a3", "некорректная ссылка: неверный порт «44a3»"},
        {"x://[::1]:8a", "некорректная ссылка: неверный порт «8a»"},
        {"x://h:-1", "некорректная ссылка: неверный порт «-1»"},
        {"x://h: 1", "некорректная ссылка: неверный порт « 1»"},
        {"x://h%4", "некорректная ссылка: обрезанная escape-последовательность в «h%4»"},
        {"x://h%", "некорректная ссылка: обрезанная escape-последовательность в «h%»"},
        {"x://h%G1", "некорректная ссылка: неверная escape-последовательность в «h%G1»"},
        {"x://%C3%28", "некорректная ссылка: строка не в UTF-8"},
        {"x://%ED%A0%80", "некорректная ссылка: строка не в UTF-8"},
        {"x://%4@h", "некорректная ссылка: обрезанная escape-последовательность в «%4»"},
        {"x://u:p%zz@h", "некорректная ссылка: неверная escape-последовательность в «p%zz»"},
        // When several parts are broken, the earlier step speaks.
        {"x://%zz:%4@[::1", "некорректная ссылка: неверная escape-последовательность в «%zz»"},
        {"x://u:%4@[::1", "некорректная ссылка: обрезанная escape-последовательность в «%4»"},
        {"x://[::1]x:bad", "некорректная ссылка: мусор после адреса IPv6"},
        {"x://h%zz:44a", "некорректная ссылка: неверный порт «44a»"},
        {"nope\t", "некорректная ссылка: нет схемы"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parse_described(c.link), "error: " + c.error) << c.link;
}

TEST(PercentDecode, DecodesEscapesAndQuotesTheWholeComponent) {
    EXPECT_EQ(*percent_decode(""), "");
    EXPECT_EQ(*percent_decode("a+b"), "a+b");
    EXPECT_EQ(*percent_decode("%41%6a%2b%00"), std::string("Aj+\0", 4));
    EXPECT_EQ(*decode_form_component("a+b%2B+"), "a b+ ");
    EXPECT_EQ(*decode_form_component("%D0%BF"), "п");
    // The quoted component is the text the decoder was given, "+" already turned to spaces.
    EXPECT_EQ(decode_form_component("a+%2").error(),
              "некорректная ссылка: обрезанная escape-последовательность в «a %2»");
    EXPECT_EQ(percent_decode("%%41").error(),
              "некорректная ссылка: неверная escape-последовательность в «%%41»");
}

} // namespace
} // namespace kest::config
