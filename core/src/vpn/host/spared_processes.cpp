#include "vpn/host/spared_processes.h"

#include <algorithm>

namespace kest::vpn {

Expected<SparedProcesses::Started> SparedProcesses::spawn(const platform::SpawnOptions& options) {
    std::lock_guard lock(mutex_);
    auto child = platform::spawn(options);
    if (!child)
        return unexpected(child.error());
    const std::uint32_t pid = child->process->pid();
    pids_.push_back(pid);
    return Started{std::move(*child), Registration(this, pid)};
}

bool SparedProcesses::contains(std::uint32_t pid) {
    std::lock_guard lock(mutex_);
    return std::find(pids_.begin(), pids_.end(), pid) != pids_.end();
}

void SparedProcesses::remove(std::uint32_t pid) {
    std::lock_guard lock(mutex_);
    auto it = std::find(pids_.begin(), pids_.end(), pid);
    if (it != pids_.end())
        pids_.erase(it);
}

SparedProcesses& spared_processes() {
    // Never destroyed: a detached crash watcher may still take its entry off at the end.
    static auto* list = new SparedProcesses;
    return *list;
}

} // namespace kest::vpn
