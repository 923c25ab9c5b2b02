// The resolver configuration text (resolv.conf); portable so that both builds test it.
#include <algorithm>

#include "platform/adapters.h"

namespace kest::platform {
namespace {

bool blank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view skip_blanks(std::string_view s) {
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view first_word(std::string_view s) {
    std::size_t end = 0;
    while (end < s.size() && !blank(s[end]) && s[end] != '\r')
        ++end;
    return s.substr(0, end);
}

std::optional<SocketAddressRecord> nameserver_address(std::string_view word) {
    SocketAddressRecord r;
    if (auto v4 = text::parse_ipv4_text(word)) {
        r.family = family_ipv4;
        std::copy(v4->begin(), v4->end(), r.bytes.begin());
        return r;
    }
    if (auto v6 = text::parse_ipv6_text(word.substr(0, word.find('%')))) {
        r.family = family_ipv6;
        r.bytes = *v6;
        return r;
    }
    return std::nullopt;
}

} // namespace

std::vector<SocketAddressRecord> resolver_config_nameservers(std::string_view text) {
    constexpr std::string_view keyword = "nameserver";
    std::vector<SocketAddressRecord> out;
    while (!text.empty()) {
        std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        if (!line.starts_with(keyword))
            continue;
        std::string_view rest = line.substr(keyword.size());
        if (rest.empty() || !blank(rest.front()))
            continue;
        if (auto address = nameserver_address(first_word(skip_blanks(rest))))
            out.push_back(*address);
    }
    return out;
}

} // namespace kest::platform
