#pragma once
// After an engine crash the engine itself is run once with "--restore", to give the system back
// what the crashed engine had changed (its own names in the system's settings).
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "vpn/engine/engine_path.h"

namespace kest::vpn {

struct RestoreSettings {
    std::function<std::optional<std::string>()> exe_path = engine_exe_path;
    std::chrono::milliseconds poll{20};
    // A restore run still going at this point is ended.
    std::chrono::milliseconds limit{3000};
};

// Runs the engine with "--restore" (no streams, no window) and waits for it up to the limit,
// ending it there. Without an engine file nothing runs and nothing is logged; otherwise one
// log line says whether it ran.
void run_restore(const RestoreSettings& settings);

} // namespace kest::vpn
