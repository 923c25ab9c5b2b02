#include "vpn/engine_crash_watcher.h"

#include <thread>

#include "util/log.h"
#include "vpn/controller.h"
#include "vpn/texts.h"

namespace kest::vpn {

void engine_crash_watcher(std::shared_ptr<VpnController> controller, std::uint64_t token,
                          CrashWatchSettings settings) {
    for (;;) {
        std::this_thread::sleep_for(settings.poll);
        switch (controller->watch_engine(token)) {
        case EngineWatch::Running:
            continue;
        case EngineWatch::Gone:
            return;
        case EngineWatch::Crashed:
            break;
        }
        controller->mark_cleanup_pending();
        run_restore(settings.restore);
        log_line(LogTag::Vpn, texts::engine_crashed);
        controller->status_sink().on_state(VpnState::Disconnected, "");
        return;
    }
}

} // namespace kest::vpn
