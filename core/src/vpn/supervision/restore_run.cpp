#include "vpn/supervision/restore_run.h"

#include <thread>

#include "platform/fs.h"
#include "platform/process.h"
#include "util/log.h"
#include "vpn/host/spared_processes.h"
#include "vpn/texts.h"

namespace kest::vpn {

void run_restore(const RestoreSettings& settings) {
    auto exe = settings.exe_path();
    if (!exe || !platform::file_exists(*exe))
        return;
    platform::SpawnOptions options;
    options.program = *exe;
    options.args = {"--restore"};
    options.pipes = false;
    options.no_window = true;
    // Listed as spared while it runs: a connect right after the crash cleans up orphans, and
    // the restore run is the engine file too.
    auto spawned = spared_processes().spawn(options);
    if (!spawned) {
        log_line(LogTag::Vpn, fill_text(texts::restore_not_started, {spawned.error()}));
        return;
    }
    platform::Process& process = *spawned->child.process;
    const auto deadline = std::chrono::steady_clock::now() + settings.limit;
    while (!process.try_wait()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            process.terminate(1);
            process.wait();
            break;
        }
        std::this_thread::sleep_for(settings.poll);
    }
    log_line(LogTag::Vpn, texts::names_restored);
}

} // namespace kest::vpn
