#include "vpn/engine/children_in_flight.h"

#include <algorithm>

namespace kest::vpn {

ChildrenInFlight::Registration ChildrenInFlight::add(platform::Process& process) {
    std::lock_guard lock(mutex_);
    if (ended_) {
        process.terminate(1);
        return {};
    }
    processes_.push_back(&process);
    return Registration(this, &process);
}

void ChildrenInFlight::end_all() {
    std::lock_guard lock(mutex_);
    ended_ = true;
    for (platform::Process* process : processes_)
        process->terminate(1);
}

void ChildrenInFlight::remove(platform::Process* process) {
    std::lock_guard lock(mutex_);
    auto it = std::find(processes_.begin(), processes_.end(), process);
    if (it != processes_.end())
        processes_.erase(it);
}

ChildrenInFlight& children_in_flight() {
    // Never destroyed: a detached thread may still take its entry off at the process's end.
    static auto* list = new ChildrenInFlight;
    return *list;
}

} // namespace kest::vpn
