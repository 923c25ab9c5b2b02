#pragma once
// The main thread's loop: one request per line of standard input, each on its own thread.
#include <memory>

#include "rpc/app_state.h"
#include "rpc/request.h"

namespace kest::rpc {

// Returns when input ends, fails, delivers a line that is not UTF-8, or after a line once a
// shutdown has been requested.
void run_request_loop(const std::shared_ptr<AppState>& state);

void request_thread(Request request, std::shared_ptr<AppState> state);

} // namespace kest::rpc
