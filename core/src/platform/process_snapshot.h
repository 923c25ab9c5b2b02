#pragma once
// The list of running processes as the system's process snapshot gives it.
#include <cstdint>
#include <string>
#include <vector>

namespace kest::platform {

struct SnapshotProcess {
    std::uint32_t pid = 0;
    std::string exe_name; // the snapshot's file name of the executable, e.g. "vuvezozire.exe"
};

// In snapshot order. Empty when the snapshot cannot be taken or holds no first entry; callers
// treat both alike.
std::vector<SnapshotProcess> process_snapshot();

} // namespace kest::platform
