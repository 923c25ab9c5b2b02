#pragma once
// The engine process for one session: started with its pipes, its output served, its start
// report read.
#include <chrono>
#include <string>

#include "base/expected.h"
#include "vpn/engine/engine_handle.h"
#include "vpn/engine/vpn_error.h"

namespace kest::vpn {

// Starts the engine file at exe with the configuration at config_path (its only argument), its
// standard output and error served by threads of their own, and waits up to report_timeout for
// its start report. The running engine's handle after a good report; otherwise the failure,
// with the engine stopped: kind "spawn" (no engine file, or no process), "start" (no report,
// or none that decodes) or the report's own kind ("start" when it has none). Until the report
// the engine is on the list of children the core waits on. A thread the system refuses is
// thrown, after the engine has been stopped.
Expected<EngineHandle, VpnError> launch_engine(const std::string& exe,
                                               const std::string& config_path,
                                               std::chrono::milliseconds report_timeout);

} // namespace kest::vpn
