#pragma once
// The one way the core ends: tear the tunnel down (at most 5 s), then exit with code 0.
#include <chrono>
#include <memory>

#include "rpc/app_state.h"

namespace kest::rpc {

// The first caller runs the shutdown and does not return; a later caller returns at once.
void shutdown_once(const std::shared_ptr<AppState>& state);

// For a later caller that must not go on (main, whose return would end the process): waits
// while the shutdown that came first runs to its end, which ends the process.
[[noreturn]] void await_running_shutdown();

// Exits with code 0 after ending the children the core started and letting the lines on their
// way reach the front end: the children it still waits on (an engine before its report, a
// system tool) are ended at once, every other engine still running at the limit. Nothing else
// would end them once the core is gone. What the exit waits for gets until a second past the
// limit at the most, so the core always exits.
[[noreturn]] void exit_core(AppState& state, std::chrono::steady_clock::time_point limit);

// Thread body started by the "shutdown" method after its response.
void shutdown_thread(std::shared_ptr<AppState> state);

} // namespace kest::rpc
