#include "vpn/supervision/engine_crash_watcher.h"

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
        // A connect may have brought a new tunnel up during the restore run: then the front end
        // has already been told the state, and a late "disconnected" would contradict it.
        (void)controller->tell_state_for_session(token, VpnState::Disconnected, "");
        return;
    }
}

} // namespace kest::vpn
