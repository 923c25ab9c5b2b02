#pragma once
// Watches the engine of one session and, when it ends on its own, takes the session down and
// tells the front end that the tunnel is gone.
#include <chrono>
#include <cstdint>
#include <memory>

#include "vpn/supervision/restore_run.h"

namespace kest::vpn {

class VpnController;

struct CrashWatchSettings {
    std::chrono::milliseconds poll{250};
    RestoreSettings restore;
};

// Looks at the engine every poll until the session token changes, the session is stopped, or
// the engine has ended; in that last case: the session taken down, the orphan clean-up marked
// due, the restore run, the crash log line and a "disconnected" state with an empty message,
// the last only while no newer session has been installed.
void engine_crash_watcher(std::shared_ptr<VpnController> controller, std::uint64_t token,
                          CrashWatchSettings settings);

} // namespace kest::vpn
