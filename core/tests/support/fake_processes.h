#pragma once
// An in-memory process list for the walks over running processes: entries as the snapshot
// gives them, and the full path of each one that can be queried.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "vpn/host/process_calls.h"

namespace kest::testing {

struct FakeProcesses {
    std::vector<platform::SnapshotProcess> processes;
    std::map<std::uint32_t, std::string> paths; // missing: the process cannot be queried
    int snapshots = 0;                          // how often the list was taken

    // Calls over this list, for a core with self_pid whose paths use "\". The object must
    // outlive them.
    vpn::ProcessCalls calls(std::uint32_t self_pid);
};

} // namespace kest::testing
