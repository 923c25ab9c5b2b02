#pragma once
// Removal of orphaned engines and stale TUN adapters left by earlier runs.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/expected.h"
#include "platform/admin.h"
#include "platform/process_terminate.h"
#include "util/data_dir.h"
#include "vpn/host/process_calls.h"
#include "vpn/host/run_hidden.h"
#include "vpn/host/spared_processes.h"

namespace kest::vpn {

// Whether a clean-up is due: set by a failed start or reload and by an engine crash, cleared by
// the clean-up once it has run.
using CleanupPending = std::atomic<bool>;

// Acts only while the clean-up is pending, and clears the flag on every path once it has run:
// a survivor waits until the flag is set again.
void cleanup_orphans(CleanupPending& pending);

// What one clean-up looks at: the product's own folders and the device tool.
struct OrphanCleanupSetup {
    std::vector<std::string> own_folders;
    std::string pnputil;
    std::chrono::milliseconds tool_time_limit = 60s;
};

// The running core's setup: own_folders_for the running executable and the environment, the
// system's pnputil_path.
OrphanCleanupSetup running_orphan_cleanup_setup();

// The calls a clean-up makes; a default-constructed value is the running system.
struct OrphanCleanupCalls {
    ProcessCalls processes;
    std::function<bool(std::uint32_t pid, int exit_code)> terminate = platform::terminate_process;
    std::function<bool()> is_administrator = platform::is_administrator;
    // Engines of our own that are no orphans: a restore run the core still waits for.
    std::function<bool(std::uint32_t pid)> spared = [](std::uint32_t pid) {
        return spared_processes().contains(pid);
    };
    std::function<Expected<std::string>(const std::string&, const std::vector<std::string>&,
                                        std::chrono::milliseconds)>
        run_tool = run_hidden;
    LogSink log = vpn_log;
};

// The same with the given setup and calls.
void cleanup_orphans(CleanupPending& pending, const OrphanCleanupSetup& setup,
                     const OrphanCleanupCalls& calls);

// The folders whose engines are the product's own, in order: the running executable's folder
// (left out without one), the data folder, and "Kest Connect" in LOCALAPPDATA (when set and not
// empty) or else in ".cache" of the home folder.
std::vector<std::string> own_folders_for(std::optional<std::string_view> running_exe,
                                         const EnvLookup& env, char sep);

struct EngineCounts {
    std::size_t ended = 0;
    std::size_t foreign = 0;
};

// Ends the engines ("sing-box" and "vuvezozire" executables) running from below one of the
// folders, counts the others as foreign and leaves them; the core itself and the spared
// processes are never touched. An engine whose path cannot be read is foreign; one that cannot
// be ended, or is spared, is counted nowhere.
EngineCounts end_orphan_engines(const std::vector<std::string>& own_folders,
                                const OrphanCleanupCalls& calls);

// "SystemRoot" (even when empty, else "C:\Windows") with "System32" and the tool's file name
// ("pnputil.exe" on Windows) appended, joined by sep.
std::string pnputil_path_from(std::optional<std::string_view> system_root, char sep,
                              std::string_view file_name);
std::string pnputil_path();

} // namespace kest::vpn
