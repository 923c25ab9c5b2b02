#include "config/share_link.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>

#include "config/share_url.h"
#include "config/texts.h"
#include "text/ascii.h"
#include "text/ip_address.h"
#include "text/lowercase.h"
#include "text/utf8.h"
#include "text/white_space.h"

namespace kest::config {
namespace {

enum class LinkKind { Vless, Hysteria2, Hysteria, Naive };

std::optional<LinkKind> recognise_kind(std::string_view lowered) {
    if (lowered.starts_with("vless://"))
        return LinkKind::Vless;
    if (lowered.starts_with("hy2://") || lowered.starts_with("hysteria2://"))
        return LinkKind::Hysteria2;
    if (lowered.starts_with("hysteria://"))
        return LinkKind::Hysteria;
    if (lowered.find("naive") != std::string_view::npos)
        return LinkKind::Naive;
    return std::nullopt;
}

// Drops whole code points: the prefix was matched on the lowercase form, whose byte length
// may differ from the link's own.
std::string_view drop_code_points(std::string_view text, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t i = 0; i < count && pos < text.size(); ++i)
        text::decode_utf8(text, pos);
    return text.substr(pos);
}

std::string_view query_value(const ParsedUrl& url, std::string_view key) {
    auto it = url.query.find(std::string(key));
    return it == url.query.end() ? std::string_view() : std::string_view(it->second);
}

bool is_flag(std::string_view value) {
    return value == "1" || text::equals_ignoring_ascii_case(value, "true");
}

// Optional sign, one or more ASCII digits, within the signed 64-bit range.
std::optional<std::int64_t> parse_integer(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-'))
        digits.remove_prefix(1);
    if (!text::is_ascii_digits(digits))
        return std::nullopt;
    if (text.front() == '+')
        text.remove_prefix(1);
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::int64_t nonzero_or(std::string_view text, std::int64_t fallback) {
    auto value = parse_integer(text);
    return value && *value != 0 ? *value : fallback;
}

// The keys every kind writes; the port falls back to the kind's default when it is empty or
// too large, and is otherwise written as it stands (0 and values above 65535 included).
Outbound common_keys(const ParsedUrl& url, std::string_view type, std::int64_t default_port) {
    auto port = parse_integer(url.port);
    return {{"type", type},
            {"tag", "proxy"},
            {"server", url.host},
            {"server_port", port ? *port : default_port}};
}

Expected<Outbound> build_vless(const ParsedUrl& url) {
    std::string transport = text::to_lower(query_value(url, "type"));
    if (transport.empty())
        transport = "tcp";
    if (transport != "tcp" && transport != "raw")
        return unexpected(std::string(kTransportBefore) + transport + std::string(kTransportAfter));

    Outbound out = common_keys(url, "vless", 0);
    out["uuid"] = url.user;
    out["packet_encoding"] = "xudp";
    if (auto flow = query_value(url, "flow"); !flow.empty())
        out["flow"] = flow;

    std::string_view security = query_value(url, "security");
    if (security == "tls" || security == "reality") {
        Json tls = {{"enabled", true}, {"insecure", false}};
        if (auto sni = query_value(url, "sni"); !sni.empty())
            tls["server_name"] = sni;
        if (auto fp = query_value(url, "fp"); !fp.empty())
            tls["utls"] = {{"enabled", true}, {"fingerprint", fp}};
        if (security == "reality")
            tls["reality"] = {{"enabled", true},
                              {"public_key", query_value(url, "pbk")},
                              {"short_id", query_value(url, "sid")}};
        out["tls"] = std::move(tls);
    }
    return out;
}

Outbound build_hysteria2(const ParsedUrl& url) {
    Outbound out = common_keys(url, "hysteria2", 443);
    out["password"] = url.password && !url.password->empty() ? *url.password : url.user;
    if (text::equals_ignoring_ascii_case(query_value(url, "obfs"), "salamander"))
        out["obfs"] = {{"type", "salamander"}, {"password", query_value(url, "obfs-password")}};
    std::string_view sni = query_value(url, "sni");
    out["tls"] = {{"enabled", true},
                  {"server_name", sni.empty() ? std::string_view(url.host) : sni},
                  {"insecure", is_flag(query_value(url, "insecure"))}};
    return out;
}

Outbound build_hysteria(const ParsedUrl& url) {
    Outbound out = common_keys(url, "hysteria", 443);
    out["up_mbps"] = nonzero_or(query_value(url, "upmbps"), 20);
    out["down_mbps"] = nonzero_or(query_value(url, "downmbps"), 100);
    if (auto auth = query_value(url, "auth"); !auth.empty())
        out["auth_str"] = auth;
    if (auto obfs = query_value(url, "obfsParam"); !obfs.empty())
        out["obfs"] = obfs;
    std::string_view peer = query_value(url, "peer");
    Json tls = {{"enabled", true},
                {"server_name", peer.empty() ? std::string_view(url.host) : peer},
                {"insecure", is_flag(query_value(url, "insecure"))}};
    if (std::string_view alpn = query_value(url, "alpn"); !alpn.empty()) {
        Json list = Json::array();
        for (std::size_t start = 0;;) {
            std::size_t comma = alpn.find(',', start);
            list.push_back(alpn.substr(start, comma - start));
            if (comma == std::string_view::npos)
                break;
            start = comma + 1;
        }
        tls["alpn"] = std::move(list);
    }
    out["tls"] = std::move(tls);
    return out;
}

Outbound build_naive(const ParsedUrl& url, const ShareLinkOptions& options) {
    Outbound out = common_keys(url, "naive", 443);
    out["username"] = url.user;
    out["password"] = url.password.value_or("");
    out["tls"] = {{"enabled", true}, {"server_name", url.host}};
    if (is_flag(query_value(url, "uot")) && !options.udp_over_tcp_disabled)
        out["udp_over_tcp"] = {{"enabled", true}, {"version", 2}};
    bool quic = is_flag(query_value(url, "quic"));
    if (quic)
        out["quic"] = true;
    if (auto cc = query_value(url, "quic_congestion_control"); !cc.empty())
        out["quic_congestion_control"] = cc;
    if (!quic)
        out["insecure_concurrency"] = 2;
    return out;
}

// A link may name the server by host in the URL and by address in its fragment: the engine then
// dials the address and keeps the host name for TLS.
void apply_fragment_address(std::string_view link, Outbound& out) {
    std::size_t hash = link.find('#');
    if (hash == std::string_view::npos)
        return;
    std::string_view address = text::trim_white_space(link.substr(hash + 1));
    if (!text::is_ip_text(address))
        return;
    const Json& server = out["server"];
    if (!server.is_string() || text::is_ip_text(server.get_ref<const std::string&>()))
        return;
    auto tls = out.find("tls");
    if (tls == out.end() || !tls->is_object())
        return;
    auto enabled = tls->find("enabled");
    if (enabled == tls->end() || !enabled->is_boolean() || !enabled->get<bool>())
        return;
    auto name = tls->find("server_name");
    if (name == tls->end() || !name->is_string() || name->get_ref<const std::string&>().empty())
        (*tls)["server_name"] = server;
    out["server"] = address;
}

} // namespace

Expected<Outbound> parse_share_link(std::string_view link, const ShareLinkOptions& options) {
    std::string_view trimmed = text::trim_white_space(link);
    auto kind = recognise_kind(text::to_lower(trimmed));
    if (!kind)
        return unexpected(std::string(kUnsupportedProtocol));

    std::string_view before_fragment = trimmed.substr(0, trimmed.find('#'));
    std::string_view rest;
    switch (*kind) {
    case LinkKind::Vless:
        rest = drop_code_points(before_fragment, 8);
        break;
    case LinkKind::Hysteria2:
        rest = drop_code_points(before_fragment,
                                text::to_lower(before_fragment).starts_with("hy2://") ? 6 : 12);
        break;
    case LinkKind::Hysteria:
        rest = drop_code_points(before_fragment, 11);
        break;
    case LinkKind::Naive: {
        std::string lowered = text::to_lower(before_fragment);
        if (lowered.starts_with("naive+quic://"))
            return unexpected(std::string(kNaiveQuicUnsupported));
        if (lowered.starts_with("naive+https://"))
            rest = drop_code_points(before_fragment, 14);
        else if (lowered.starts_with("naive://"))
            rest = drop_code_points(before_fragment, 8);
        else
            rest = before_fragment;
        break;
    }
    }

    auto url = parse_share_url("https://" + std::string(rest));
    if (!url)
        return unexpected(std::move(url.error()));

    Expected<Outbound> built = Json::object();
    switch (*kind) {
    case LinkKind::Vless:
        built = build_vless(*url);
        break;
    case LinkKind::Hysteria2:
        built = build_hysteria2(*url);
        break;
    case LinkKind::Hysteria:
        built = build_hysteria(*url);
        break;
    case LinkKind::Naive:
        built = build_naive(*url, options);
        break;
    }
    if (!built)
        return built;
    apply_fragment_address(trimmed, *built);
    return built;
}

} // namespace kest::config
