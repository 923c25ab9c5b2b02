#pragma once
// The children the core has started and is still waiting on, which nothing else would end if
// the core exited now: an engine before its start report, a system tool that has not returned.
// The shutdown ends them on its way out. An engine that has been asked to stop is not among
// them: it is given its time to leave the network as it found it.
#include <mutex>
#include <vector>

#include "base/list_entry.h"
#include "platform/process.h"

namespace kest::vpn {

class ChildrenInFlight {
public:
    // Keeps one process on the list while it lives. It must end before the process object
    // goes or passes to another owner.
    using Registration = ListEntry<ChildrenInFlight, platform::Process*>;

    // Puts the process on the list. Once the list has been ended, the process is terminated at
    // once instead: the core is on its way out and nobody would end it later.
    [[nodiscard]] Registration add(platform::Process& process);

    // Terminates every process on the list (exit code 1) and every one added later. The lock
    // is held while terminating, so that no registration ends (and no process object goes)
    // under the termination; terminating does not wait for anything.
    void end_all();

private:
    friend Registration;
    void remove(platform::Process* process);

    std::mutex mutex_;
    std::vector<platform::Process*> processes_;
    bool ended_ = false;
};

// The core's one list.
ChildrenInFlight& children_in_flight();

} // namespace kest::vpn
