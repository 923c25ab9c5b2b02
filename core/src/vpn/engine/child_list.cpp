#include "vpn/engine/child_list.h"

#include <algorithm>
#include <string>
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

std::vector<std::uint32_t> ChildList::running() {
    std::lock_guard lock(mutex_);
    std::vector<std::uint32_t> pids;
    for (const Entry& entry : entries_)
        if (!entry.process->try_wait())
            pids.push_back(entry.process->pid());
    return pids;
}

ChildList::Ending ChildList::end_all(std::chrono::steady_clock::time_point deadline,
                                     std::chrono::steady_clock::time_point give_up) {
    auto wait_for_all = [this](std::chrono::steady_clock::time_point until) {
        while (std::chrono::steady_clock::now() < until && !all_ended())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    };
    wait_for_all(deadline);
    Ending ending;
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
        for (Entry& entry : entries_)
            ending.terminated += end_entry(entry) ? 1 : 0;
    }
    wait_for_all(give_up);
    ending.left_running = running();
    return ending;
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

void end_children_for_exit(std::chrono::steady_clock::time_point engines_deadline,
                           std::chrono::steady_clock::time_point give_up) {
    auto log_left = [](const ChildList::Ending& ending) {
        for (std::uint32_t pid : ending.left_running)
            log_line(LogTag::Vpn, fill_text(texts::child_left_running, {std::to_string(pid)}));
    };
    // An engine before its report is on both lists: ended here first, it is not logged below.
    log_left(children_in_flight().end_all(std::chrono::steady_clock::time_point::min(), give_up));
    ChildList::Ending engines = live_engines().end_all(engines_deadline, give_up);
    for (std::size_t killed = engines.terminated; killed > 0; --killed)
        log_line(LogTag::Vpn, texts::engine_killed);
    log_left(engines);
}

} // namespace kest::vpn
