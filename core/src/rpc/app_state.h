#pragma once
// The RPC host's shared state: one per process, alive until the process ends.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "apps/app_caches.h"
#include "rpc/unwritten_lines.h"
#include "vpn/controller.h"

namespace kest::rpc {

struct AppState {
    // unwritten: the count that the status callbacks of the controller's events keep too.
    explicit AppState(
        std::shared_ptr<vpn::VpnController> c,
        std::shared_ptr<UnwrittenLines> unwritten = std::make_shared<UnwrittenLines>())
        : controller(std::move(c)), unwritten_lines(std::move(unwritten)) {}

    std::shared_ptr<vpn::VpnController> controller;
    std::mutex output_lock; // one line at a time on standard output
    std::shared_ptr<UnwrittenLines> unwritten_lines;

    apps::AppCaches apps;

    std::once_flag shutdown_guard;
    std::atomic<bool> stop_requested{false};

    // Numbers the request lines as they are read, and the shutdown's own disconnect after them:
    // tunnel commands are taken in this order.
    std::uint64_t take_arrival_number() { return arrivals.fetch_add(1) + 1; }
    std::atomic<std::uint64_t> arrivals{0};
};

} // namespace kest::rpc
