#include "rpc/dispatcher.h"

#include <stdexcept>
#include <string>

#include "apps/app_list_json.h"
#include "apps/installed_scan.h"
#include "apps/running_scan.h"
#include "base/detached_thread.h"
#include "platform/memory.h"
#include "rpc/output.h"
#include "rpc/rule_sets.h"
#include "rpc/shutdown.h"
#include "rpc/texts.h"
#include "rpc/totals.h"
#include "vpn/engine/api_client.h"
#include "vpn/session/connect_request.h"

namespace kest::rpc {
namespace {

enum class Method {
    Ping,
    Connect,
    Traffic,
    Memstats,
    Shutdown,
    ScanApps,
    Disconnect,
    GeoUpdate,
    IsConnected,
    ScanRunning,
    PrewarmApps,
    ReleaseAppsCache,
    Unknown,
};

// Names are compared as bytes; the length picks the few candidates first.
Method method_of(std::string_view name) {
    switch (name.size()) {
    case 4:
        if (name == "ping")
            return Method::Ping;
        break;
    case 7:
        if (name == "connect")
            return Method::Connect;
        if (name == "traffic")
            return Method::Traffic;
        break;
    case 8:
        if (name == "memstats")
            return Method::Memstats;
        if (name == "shutdown")
            return Method::Shutdown;
        break;
    case 9:
        if (name == "scan_apps")
            return Method::ScanApps;
        break;
    case 10:
        if (name == "disconnect")
            return Method::Disconnect;
        if (name == "geo_update")
            return Method::GeoUpdate;
        break;
    case 12:
        if (name == "is_connected")
            return Method::IsConnected;
        if (name == "scan_running")
            return Method::ScanRunning;
        if (name == "prewarm_apps")
            return Method::PrewarmApps;
        break;
    case 18:
        if (name == "release_apps_cache")
            return Method::ReleaseAppsCache;
        break;
    }
    return Method::Unknown;
}

Json ok_result() {
    return Json{{"ok", true}};
}

Json traffic(AppState& state) {
    const Json zero = {{"down", 0}, {"ok", false}, {"up", 0}};
    std::optional<vpn::ApiClient> client = state.controller->control_client();
    if (!client || client->secret.empty())
        return zero;
    auto body = vpn::fetch_connections_body(*client);
    if (!body)
        return zero;
    auto totals = parse_totals(*body);
    if (!totals)
        return zero;
    return {{"down", totals->download_total}, {"ok", true}, {"up", totals->upload_total}};
}

Json memstats() {
    return {{"rss", platform::working_set_size()}, {"threads", 0}};
}

Json is_connected(AppState& state) {
    return {{"connected", state.controller->engine_held()}};
}

Json disconnect(AppState& state, std::uint64_t arrival) {
    (void)vpn::submit_disconnect(state.controller, arrival);
    platform::trim_working_set();
    return ok_result();
}

Json release_apps_cache(AppState& state) {
    {
        std::lock_guard lock(state.apps.apps_cache_lock);
        state.apps.apps_cache.reset();
    }
    {
        std::lock_guard lock(state.apps.icon_cache_lock);
        state.apps.icon_cache.reset();
    }
    platform::trim_working_set();
    return ok_result();
}

Json apps_result(const std::vector<apps::AppEntry>& list) {
    return {{"apps", apps::apps_to_json(list)}};
}

// Holds the shared state for as long as the scan runs; only the filled caches remain.
void prewarm_apps_thread(std::shared_ptr<AppState> state) {
    try {
        (void)apps::scan_installed_apps(state->apps);
    } catch (...) {
        // No request waits for this scan; a fault ends the thread, not the process.
    }
}

Json prewarm_apps(const std::shared_ptr<AppState>& state) {
    if (auto started = start_detached(prewarm_apps_thread, state); !started)
        throw std::runtime_error(started.error()); // answered as a fault of this request
    return ok_result();
}

Answered unknown_method(AppState& state, const Request& request) {
    send_response(state, request.id, nullptr, std::string(kUnknownMethod) + request.method);
    return {};
}

Answered shutdown(const std::shared_ptr<AppState>& state, const Request& request) {
    send_response(*state, request.id, ok_result(), "");
    // The front end has been told the core is shutting down, so it must: when the system
    // refuses the thread, this request thread runs the shutdown itself.
    if (!start_detached(shutdown_thread, state))
        shutdown_once(state);
    return {};
}

} // namespace

DispatchResult dispatch(const std::shared_ptr<AppState>& state, Request request) {
    switch (method_of(request.method)) {
    case Method::Ping:
        return ok_result();
    case Method::Traffic:
        return traffic(*state);
    case Method::Memstats:
        return memstats();
    case Method::Shutdown:
        return shutdown(state, request);
    case Method::Disconnect:
        return disconnect(*state, request.arrival);
    case Method::IsConnected:
        return is_connected(*state);
    case Method::ScanApps:
        return apps_result(apps::scan_installed_apps(state->apps));
    case Method::ScanRunning:
        return apps_result(apps::scan_running_apps(state->apps));
    case Method::PrewarmApps:
        return prewarm_apps(state);
    case Method::ReleaseAppsCache:
        return release_apps_cache(*state);
    case Method::GeoUpdate:
        return Json{{"updated", update_rule_sets(request.params)}};
    case Method::Connect:
        return vpn::handle_connect(std::move(request.params), state->controller,
                                   vpn::loopback_system_proxy, request.arrival);
    case Method::Unknown:
        break;
    }
    return unknown_method(*state, request);
}

} // namespace kest::rpc
