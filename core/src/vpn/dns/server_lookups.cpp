#include "vpn/dns/server_lookups.h"

#include "vpn/dns/doh_http_agent.h"
#include "vpn/dns/doh_response.h"

namespace kest::vpn {

std::string address_from_doh_reply(int status, std::string_view body) {
    if (status != 200)
        return "";
    auto response = parse_doh_response(body);
    if (!response)
        return "";
    return first_ipv4_answer(*response);
}

void resolve_doh(std::string url, Channel<std::string>::Sender result) {
    auto reply = doh_http_agent().get(url, {{"Accept", "application/dns-json"}}, doh_body_limit);
    result.send(reply ? address_from_doh_reply(reply->status, reply->body) : std::string());
}

void resolve_system(std::string host, HostResolver resolve, Channel<std::string>::Sender result) {
    std::string address;
    if (auto list = resolve(host)) {
        for (const text::IpAddress& a : *list)
            if (const auto* v4 = std::get_if<text::Ipv4Bytes>(&a)) {
                address = text::ipv4_text(*v4);
                break;
            }
    }
    result.send(std::move(address));
}

} // namespace kest::vpn
