#pragma once
// Processes of the core's own that look like orphaned engines to the clean-up and are not: the
// restore run after a crash is the engine file run once more, and the core still waits for
// it. Ending it early would leave the system's names half given back, and it ends by itself
// within its limit anyway.
#include <cstdint>
#include <mutex>
#include <vector>

#include "base/expected.h"
#include "base/list_entry.h"
#include "platform/process.h"

namespace kest::vpn {

class SparedProcesses {
public:
    // Keeps one process on the list while it lives.
    using Registration = ListEntry<SparedProcesses, std::uint32_t>;

    struct Started {
        platform::Child child;
        Registration registration;
    };

    // Starts the program and lists its process in one step: a clean-up that asks meanwhile
    // waits for the start, so it never meets the process unlisted.
    Expected<Started> spawn(const platform::SpawnOptions& options);

    bool contains(std::uint32_t pid);

private:
    friend Registration;
    void remove(std::uint32_t pid);

    std::mutex mutex_;
    std::vector<std::uint32_t> pids_;
};

// The core's one list.
SparedProcesses& spared_processes();

} // namespace kest::vpn
