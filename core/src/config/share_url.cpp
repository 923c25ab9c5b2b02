#include "config/share_url.h"

#include <algorithm>
#include <charconv>

#include "config/texts.h"
#include "text/ascii.h"
#include "text/utf8.h"

namespace kest::config {
namespace {

std::string link_error(std::string_view what) {
    std::string text(kBadLink);
    text.append(what);
    return text;
}

// "<what> «<quoted>»": the quoted piece is shown exactly as the link has it.
std::string link_error_quoting(std::string_view what, std::string_view quoted) {
    std::string text = link_error(what);
    text.append(" «");
    text.append(quoted);
    text.append("»");
    return text;
}

bool is_control(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
}

bool has_control_character(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size())
        if (is_control(text::decode_utf8(text, pos)))
            return true;
    return false;
}

// Two hexadecimal digits as one byte; from_chars takes no sign for an unsigned number.
std::optional<char> escaped_byte(std::string_view digits) {
    unsigned value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (ec != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return char(value);
}

// A malformed pair is dropped rather than failing the link: share links in the wild carry
// junk parameters that the outbound never reads.
void parse_query(std::string_view text, std::map<std::string, std::string>& query) {
    while (!text.empty()) {
        std::size_t amp = text.find('&');
        std::string_view piece = text.substr(0, amp);
        text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
        if (piece.empty())
            continue;
        std::size_t eq = piece.find('=');
        auto key = decode_form_component(piece.substr(0, eq));
        auto value = decode_form_component(eq == std::string_view::npos ? std::string_view()
                                                                        : piece.substr(eq + 1));
        if (key && value)
            query.try_emplace(std::move(*key), std::move(*value));
    }
}

} // namespace

Expected<std::string> percent_decode(std::string_view component) {
    if (component.find('%') == std::string_view::npos)
        return std::string(component);
    std::string out;
    out.reserve(component.size());
    for (std::size_t i = 0; i < component.size(); ++i) {
        if (component[i] != '%') {
            out.push_back(component[i]);
            continue;
        }
        if (i + 2 >= component.size())
            return unexpected(link_error_quoting(kTruncatedEscapeIn, component));
        auto byte = escaped_byte(component.substr(i + 1, 2));
        if (!byte)
            return unexpected(link_error_quoting(kBadEscapeIn, component));
        out.push_back(*byte);
        i += 2;
    }
    if (!text::is_valid_utf8(out))
        return unexpected(link_error(kNotUtf8));
    return out;
}

Expected<std::string> decode_form_component(std::string_view component) {
    std::string spaced(component);
    std::replace(spaced.begin(), spaced.end(), '+', ' ');
    return percent_decode(spaced);
}

Expected<ParsedUrl> parse_share_url(std::string_view text) {
    std::size_t scheme_end = text.find("://");
    if (scheme_end == std::string_view::npos)
        return unexpected(link_error(kNoScheme));
    std::string_view rest = text.substr(scheme_end + 3);
    // Checked on the raw text, so an escaped control character still reaches its field.
    if (has_control_character(rest))
        return unexpected(link_error(kControlCharacter));

    std::size_t authority_end = rest.find_first_of("/?");
    std::string_view authority = rest.substr(0, authority_end);
    std::string_view tail =
        authority_end == std::string_view::npos ? std::string_view() : rest.substr(authority_end);
    std::size_t question = tail.find('?');
    std::string_view query_text =
        question == std::string_view::npos ? std::string_view() : tail.substr(question + 1);

    ParsedUrl url;
    // Split before decoding, so an escaped "@" or ":" stays inside its part.
    std::string_view host_port = authority;
    if (std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        std::string_view userinfo = authority.substr(0, at);
        host_port = authority.substr(at + 1);
        std::size_t colon = userinfo.find(':');
        auto user = percent_decode(userinfo.substr(0, colon));
        if (!user)
            return unexpected(std::move(user.error()));
        url.user = std::move(*user);
        if (colon != std::string_view::npos) {
            auto password = percent_decode(userinfo.substr(colon + 1));
            if (!password)
                return unexpected(std::move(password.error()));
            url.password = std::move(*password);
        }
    }

    std::string_view raw_host = host_port;
    std::string_view port;
    if (host_port.starts_with('[')) {
        std::size_t close = host_port.find(']');
        if (close == std::string_view::npos)
            return unexpected(link_error(kUnclosedIpv6Bracket));
        raw_host = host_port.substr(1, close - 1);
        std::string_view after = host_port.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':')
                return unexpected(link_error(kJunkAfterIpv6));
            port = after.substr(1);
        }
    } else if (std::size_t colon = host_port.rfind(':'); colon != std::string_view::npos) {
        raw_host = host_port.substr(0, colon);
        port = host_port.substr(colon + 1);
    }
    if (!port.empty() && !text::is_ascii_digits(port))
        return unexpected(link_error_quoting(kBadPort, port));
    auto host = percent_decode(raw_host);
    if (!host)
        return unexpected(std::move(host.error()));
    url.host = std::move(*host);
    url.port = std::string(port);

    parse_query(query_text, url.query);
    return url;
}

} // namespace kest::config
