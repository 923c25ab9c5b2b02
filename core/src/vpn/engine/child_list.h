#pragma once
// Lists of the children the core has started, which nothing would end if the core exited now:
// the core ends them on its way out, so that none outlives it (an engine would keep the TUN
// adapter and the system's routes with nobody supervising it).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "base/list_entry.h"
#include "platform/process.h"

namespace kest::vpn {

class ChildList {
public:
    // Keeps one process on the list while it lives. It must end before the process object
    // goes or passes to another owner.
    using Registration = ListEntry<ChildList, platform::Process*>;

    // Puts the process on the list. Once the list has been ended, the process is terminated at
    // once instead: the core is on its way out and nobody would end it later.
    [[nodiscard]] Registration add(platform::Process& process);

    // Terminates the process (exit code 1) unless it has ended or has been terminated through
    // the list before; true when this call terminated it. So one that two threads end at the
    // same moment is terminated, and reported, once. A process not on the list is terminated
    // unless it has ended.
    bool terminate(platform::Process& process);

    struct Ending {
        std::size_t terminated = 0;              // by this call
        std::vector<std::uint32_t> left_running; // still running at give_up
    };

    // Gives the processes on the list until the deadline to end on their own, then terminates
    // every one still running (exit code 1), and every one added later, and waits for the end
    // of all until give_up: a process that a terminate does not end (one stuck in a driver
    // call) must not hold the caller for good. The lock is held only for each look and while
    // terminating, so that no process object goes under them.
    Ending end_all(std::chrono::steady_clock::time_point deadline,
                   std::chrono::steady_clock::time_point give_up);

private:
    friend Registration;
    struct Entry {
        platform::Process* process;
        bool terminated = false;
    };
    void remove(platform::Process* process);
    bool all_ended();
    std::vector<std::uint32_t> running();
    // Under the lock.
    std::vector<Entry>::iterator find(const platform::Process* process);
    // Under the lock: marks the entry terminated and terminates its process unless it has
    // ended; true when it terminated it, false also when the entry was terminated before.
    bool end_entry(Entry& entry);

    std::mutex mutex_;
    std::vector<Entry> entries_;
    bool ended_ = false;
};

// A process that is on a list for as long as it lives, wherever it is passed.
class ListedProcess final : public platform::Process {
public:
    // Listed as itself, so that the list knows it under the pointer its owners hold.
    ListedProcess(std::unique_ptr<platform::Process> process, ChildList& list)
        : process_(std::move(process)), entry_(list.add(*this)) {}
    std::uint32_t pid() const override { return process_->pid(); }
    std::optional<int> try_wait() override { return process_->try_wait(); }
    int wait() override { return process_->wait(); }
    void terminate(int exit_code) override { process_->terminate(exit_code); }

private:
    std::unique_ptr<platform::Process> process_;
    ChildList::Registration entry_; // after the process: off the list before the process goes
};

// Children the core still waits on: an engine before its start report, a system tool that has
// not returned. Ended at once when the core exits.
ChildList& children_in_flight();

// Every engine from its start until its process object goes: held, stopping or handed to the
// reaper. The core's exit gives them what is left of its own time limit.
ChildList& live_engines();

// Ends both lists on the way out: the children in flight at once, the engines at the deadline,
// each engine terminated then logged as the engine stop logs one it kills. What has not ended
// by give_up is logged and left.
void end_children_for_exit(std::chrono::steady_clock::time_point engines_deadline,
                           std::chrono::steady_clock::time_point give_up);

} // namespace kest::vpn
