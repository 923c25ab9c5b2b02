#pragma once
// The RPC host's shared state: one per process, alive until the process ends.
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "apps/app_entry.h"
#include "vpn/controller.h"

namespace kest::rpc {

struct AppState {
    explicit AppState(std::shared_ptr<vpn::VpnController> c) : controller(std::move(c)) {}

    std::shared_ptr<vpn::VpnController> controller;
    std::mutex output_lock; // one line at a time on standard output

    std::mutex apps_cache_lock;
    std::optional<std::vector<apps::AppEntry>> apps_cache;
    std::mutex icon_cache_lock;
    std::optional<std::map<std::string, std::string>> icon_cache; // exe path -> icon text
    std::mutex scan_lock;

    std::once_flag shutdown_guard;
    std::atomic<bool> stop_requested{false};
};

} // namespace kest::rpc
