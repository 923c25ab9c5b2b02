#include "vpn/engine/api_client.h"

#include "net/http_profiles.h"

namespace kest::vpn {

std::shared_ptr<net::HttpAgent> make_control_agent() {
    return net::make_http_agent(net::control_profile());
}

ApiClient make_api_client(std::string secret, std::uint16_t port) {
    return ApiClient{std::move(secret), make_control_agent(), port};
}

std::optional<std::string> fetch_connections_body(const ApiClient& client) {
    if (client.secret.empty() || !client.agent)
        return std::nullopt;
    std::uint16_t port = client.port == 0 ? default_control_port : client.port;
    auto reply =
        client.agent->get("http://127.0.0.1:" + std::to_string(port) + "/connections",
                          {{"Authorization", "Bearer " + client.secret}}, connections_body_limit);
    if (!reply || reply->status != 200)
        return std::nullopt;
    return std::move(reply->body);
}

} // namespace kest::vpn
