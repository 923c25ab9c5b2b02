#include "vpn/engine/child_list.h"

#include <algorithm>
#include <thread>

#include "util/log.h"
#include "vpn/texts.h"

namespace kest::vpn {

ChildList::Registration ChildList::add(platform::Process& process) {
    std::lock_guard lock(mutex_);
    if (ended_) {
        process.terminate(1);
        return {};
    }
    entries_.push_back(Entry{&process});
    return Registration(this, &process);
}

std::vector<ChildList::Entry>::iterator ChildList::find(const platform::Process* process) {
    return std::find_if(entries_.begin(), entries_.end(),
                        [&](const Entry& entry) { return entry.process == process; });
}

bool ChildList::end_entry(Entry& entry) {
    if (entry.terminated)
        return false;
    entry.terminated = true;
    if (entry.process->try_wait())
        return false;
    entry.process->terminate(1);
    return true;
}

bool ChildList::terminate(platform::Process& process) {
    std::lock_guard lock(mutex_);
    auto it = find(&process);
    if (it != entries_.end())
        return end_entry(*it);
    Entry unlisted{&process};
    return end_entry(unlisted);
}

bool ChildList::all_ended() {
    std::lock_guard lock(mutex_);
    return std::all_of(entries_.begin(), entries_.end(),
                       [](const Entry& entry) { return entry.process->try_wait().has_value(); });
}

std::size_t ChildList::end_all(std::chrono::steady_clock::time_point deadline) {
    while (std::chrono::steady_clock::now() < deadline && !all_ended())
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    std::lock_guard lock(mutex_);
    ended_ = true;
    std::size_t count = 0;
    for (Entry& entry : entries_)
        count += end_entry(entry) ? 1 : 0;
    for (const Entry& entry : entries_)
        entry.process->wait();
    return count;
}

void ChildList::remove(platform::Process* process) {
    std::lock_guard lock(mutex_);
    if (auto it = find(process); it != entries_.end())
        entries_.erase(it);
}

// Never destroyed: a detached thread may still take its entry off at the process's end.
ChildList& children_in_flight() {
    static auto* list = new ChildList;
    return *list;
}

ChildList& live_engines() {
    static auto* list = new ChildList;
    return *list;
}

void end_children_for_exit(std::chrono::steady_clock::time_point engines_deadline) {
    // An engine before its report is on both lists: ended here first, it is not logged below.
    (void)children_in_flight().end_all(std::chrono::steady_clock::time_point::min());
    for (std::size_t killed = live_engines().end_all(engines_deadline); killed > 0; --killed)
        log_line(LogTag::Vpn, texts::engine_killed);
}

} // namespace kest::vpn
