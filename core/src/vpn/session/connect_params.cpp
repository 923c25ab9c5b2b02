#include "vpn/session/connect_params.h"

#include <array>

#include "json/record.h"

namespace kest::vpn {
namespace {

Expected<void> read_routing_app(json::Cursor& cursor, RoutingApp& app) {
    const std::array fields = {json::field("name", app.name),
                               json::field("exe_path", app.exe_path)};
    return json::decode_record(cursor, "struct RoutingApp", fields);
}

json::Field apps_field(std::vector<RoutingApp>& apps) {
    return {"apps", [&apps](json::Cursor& cursor) -> Expected<void> {
                std::vector<RoutingApp> list;
                auto read = json::read_array(cursor, [&](json::Cursor& c) -> Expected<void> {
                    RoutingApp app;
                    if (auto r = read_routing_app(c, app); !r)
                        return r;
                    list.push_back(std::move(app));
                    return {};
                });
                if (!read)
                    return read;
                apps = std::move(list);
                return {};
            }};
}

} // namespace

Expected<ConnectParams> decode_connect_params(const Json& params) {
    ConnectParams p;
    const std::array fields = {json::field("link", p.link), json::field("mode", p.mode),
                               apps_field(p.apps), json::field("sites", p.sites),
                               json::field("reload", p.reload)};
    if (auto r = json::decode_record_value(params, "struct ConnectParams", fields); !r)
        return unexpected(r.error());
    return p;
}

} // namespace kest::vpn
