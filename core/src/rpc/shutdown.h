#pragma once
// The one way the core ends: tear the tunnel down (at most 5 s), then exit with code 0.
#include <chrono>
#include <memory>

#include "rpc/app_state.h"

namespace kest::rpc {

// The first caller does not return; a later caller returns at once.
void shutdown_once(const std::shared_ptr<AppState>& state);

// Exits with code 0 after ending the children the core started: the ones it still waits on
// (an engine before its report, a system tool) at once, every other engine still running at the
// deadline. Nothing else would end them once the core is gone.
[[noreturn]] void exit_core(std::chrono::steady_clock::time_point engines_deadline);

// Thread body started by the "shutdown" method after its response.
void shutdown_thread(std::shared_ptr<AppState> state);

} // namespace kest::rpc
