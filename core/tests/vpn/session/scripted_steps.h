#pragma once
// A machine for the connect sequence and the live replacement to work on: every step is
// recorded with the values it was given, and the test scripts what the steps answer.
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "support/fake_engine.h"
#include "vpn/session/connect_session.h"

namespace kest::vpn {

using List = std::vector<std::string>;

struct ScriptedSteps : ConnectSteps {
    std::mutex mutex;
    List trace;
    Expected<config::Outbound> outbound = Json{{"type", "vless"}, {"server", "127.0.0.1"}};
    std::vector<text::IpAddress> dns_servers;
    std::string picked_dns;
    Expected<void> written{};
    std::deque<CommandResult> starts; // one answer per start; Done when none is left
    std::optional<std::string> proxy;
    std::function<void()> during_first_start = [] {};
    std::function<void()> during_preresolve = [] {};
    std::function<void()> during_cleanup = [] {};
    // The engine of the session that ran before, and what the steps saw of it: "running" or
    // "stopped", one per reset and clean-up.
    std::shared_ptr<testing::EngineSide> old_engine;
    List old_engine_seen;
    List cleanup_pending_seen;
    int start_count = 0;

    void note(std::string step) {
        std::lock_guard lock(mutex);
        trace.push_back(std::move(step));
    }

    void see_old_engine(const std::string& step) {
        if (old_engine)
            old_engine_seen.push_back(step + (old_engine->input_closed ? " stopped" : " running"));
    }

    void reset_connections(const config::RoutePlan& plan) override {
        see_old_engine("reset:");
        note("reset " + Json(plan.process_names.items()).dump());
    }
    void cleanup_orphans(VpnController& c) override {
        see_old_engine("cleanup:");
        cleanup_pending_seen.push_back(c.cleanup_pending() ? "pending" : "clear");
        note("cleanup");
        during_cleanup();
    }
    Expected<config::Outbound> parse_share_link(std::string_view link) override {
        note("parse " + std::string(link));
        return outbound;
    }
    void preresolve_server(config::Outbound& o) override {
        note("preresolve");
        o["server"] = "192.0.2.7";
        during_preresolve();
    }
    std::string control_secret() override {
        note("secret");
        return "s3cr3t";
    }
    std::uint16_t control_port() override {
        note("port");
        return 4321;
    }
    std::vector<text::IpAddress> system_dns_servers() override {
        note("dns servers");
        return dns_servers;
    }
    std::string pick_system_dns() override {
        note("pick dns");
        return picked_dns;
    }
    std::string config_path() override { return "/data/vpn_config.json"; }
    Expected<void> write_config(const config::Outbound& o, const config::RoutePlan&,
                                const std::string& secret, std::uint16_t port,
                                const std::string& resolver, const std::string& path) override {
        note("write " + o["server"].get<std::string>() + " " + secret + " " + std::to_string(port) +
             " [" + resolver + "] " + path);
        return written;
    }
    CommandResult start_engine(VpnController&, const std::string& path, const std::string& secret,
                               std::uint16_t port, const config::RoutePlan&,
                               const std::string& resolver) override {
        note("start " + path + " " + secret + " " + std::to_string(port) + " [" + resolver + "]");
        if (++start_count == 1)
            during_first_start();
        if (starts.empty())
            return Done{};
        CommandResult r = starts.front();
        starts.pop_front();
        return r;
    }
    std::optional<std::string> loopback_system_proxy() override {
        note("proxy");
        return proxy;
    }
};

} // namespace kest::vpn
